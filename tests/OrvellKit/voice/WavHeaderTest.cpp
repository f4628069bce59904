#include "voice/AudioSource.h"
#include "voice/WavFileSource.h"

#include "support/QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Header {
    quint16 format = 1;
    quint16 channels = 1;
    quint32 rate = 16000;
    quint16 blockAlign = 2;
    quint16 bits = 16;
    quint32 claimedData = 0; // 0: what follows
};

// A WAV file whose header says what `h` says, followed by `frames` of a
// 440 Hz tone (as 16-bit samples, whatever the header claims).
QByteArray wav(const Header &h, int frames) {
    QByteArray out("RIFF\0\0\0\0WAVEfmt ", 16);
    const auto put16 = [&](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        out.append(b, 2);
    };
    const auto put32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    };
    put32(16);
    put16(h.format);
    put16(h.channels);
    put32(h.rate);
    put32(h.rate * h.blockAlign);
    put16(h.blockAlign);
    put16(h.bits);
    out.append("data", 4);
    const int samples = frames * std::max<int>(1, h.channels);
    put32(h.claimedData ? h.claimedData : static_cast<quint32>(samples * 2));
    for (int i = 0; i < samples; ++i)
        put16(
            static_cast<quint16>(static_cast<qint16>(8000 * std::sin(i * 2 * M_PI * 440 / 16000))));
    return out;
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
