#include "voice/AudioSource.h"
#include "voice/WavFileSource.h"

#include "support/QtPrinters.h"
#include "support/WavBytes.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Header = WavHeader;

// `frames` of a 440 Hz tone (16-bit, whatever the header claims).
QByteArray wav(const Header &h, int frames) {
    return wavBytes(h, frames, [](int f, int) {
        return static_cast<qint16>(8000 * std::sin(f * 2 * M_PI * 440 / 16000));
    });
}

QString save(QTemporaryDir &dir, const QString &name, const QByteArray &bytes) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
}

} // namespace

TEST(WavHeaders, outOfRangeFormatsAreRefusedWithTheirReason) {
    QTemporaryDir dir;
    QString why;
    // Without the check this rate read past the resampler's history.
    Header fast;
    fast.rate = 100000000;
    EXPECT_FALSE(WavFileSource::open(save(dir, "fast.wav", wav(fast, 100)), &why));
    EXPECT_EQ(why, "unsupported sample rate 100000000 Hz (1 kHz to 384 kHz)");
    Header huge;
    huge.rate = 0xFFFFFFFF;
    EXPECT_FALSE(WavFileSource::open(save(dir, "huge.wav", wav(huge, 100)), &why));
    Header none;
    none.channels = 0;
    EXPECT_FALSE(WavFileSource::open(save(dir, "none.wav", wav(none, 100)), &why));
    EXPECT_EQ(why, "unsupported channel count 0 (1 to 32)");
    Header crooked;
    crooked.blockAlign = 3;
    EXPECT_FALSE(WavFileSource::open(save(dir, "crooked.wav", wav(crooked, 100)), &why));
    EXPECT_TRUE(why.startsWith("damaged WAV header")) << why.toStdString();
    EXPECT_FALSE(WavFileSource::open(dir.filePath("missing.wav"), &why));
}

TEST(WavHeaders, aRecordingCutShortPlaysWhatItHoldsAndStreamsLikeARead) {
    QTemporaryDir dir;
    Header cut;
    cut.claimedData = 0x7FFFFFF0; // the writer died before fixing the size
    const QString path = save(dir, "cut.wav", wav(cut, 32000));
    QString why;
    const auto whole = WavFileSource::read(path, &why);
    ASSERT_TRUE(whole) << why.toStdString();
    EXPECT_NEAR(static_cast<double>(whole->size()), 32000, 40);

    auto streamed = WavFileSource::open(path, &why);
    ASSERT_TRUE(streamed);
    streamed->setTrailingSilence(0.5);
    EXPECT_NEAR(streamed->seconds(), 2.5, 0.01);
    std::vector<float> pieces;
    streamed->start([&](const float *s, std::size_t n) { pieces.insert(pieces.end(), s, s + n); },
                    nullptr);
    while (streamed->pump(0.07)) {
    }
    ASSERT_EQ(pieces.size(), whole->size() + 8000);
    for (std::size_t i = 0; i < whole->size(); i += 997)
        EXPECT_FLOAT_EQ(pieces[i], (*whole)[i]) << i;
    EXPECT_EQ(pieces.back(), 0.0f);
}

TEST(AudioResampler, anyRateItAcceptsStaysWithinItsHistory) {
    // The extremes, pushed in pieces of every size: no read outside the
    // history (the sanitizer build checks) and the expected amount out.
    for (int rate : {AudioResampler::minRate, 8000, 96000, AudioResampler::maxRate}) {
        AudioResampler r(rate, 2);
        std::vector<float> in(static_cast<std::size_t>(rate) * 2, 0.25f), out;
        std::size_t at = 0;
        for (std::size_t piece = 1; at < in.size() / 2; piece = piece * 3 + 1) {
            const std::size_t n = std::min(piece, in.size() / 2 - at);
            r.push(in.data() + at * 2, n, out);
            at += n;
        }
        // The filter holds back what it has not seen 16 input samples past.
        EXPECT_NEAR(static_cast<double>(out.size()), 16000, 40 + 16.0 * 16000 / rate) << rate;
        EXPECT_NEAR(out[out.size() / 2], 0.25, 0.02) << rate;
    }
}
