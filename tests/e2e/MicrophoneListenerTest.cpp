// The microphone path for real: a PulseAudio server of the test's own with a
// virtual microphone that plays a recording; voice follow listens to it
// through Qt Multimedia like it listens to a person.
#include "MicrophoneSource.h"
#include "library/ScriptStore.h"
#include "pace/EspeakRenderer.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/VoiceFollow.h"
#include "settings/ReadingPreferences.h"
#include "settings/SettingsStore.h"
#include "voice/SpeechListener.h"

#include "support/FakeTickSource.h"
#include "support/ManualScheduler.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

const char *const script = "Thank you all for coming this evening. Tonight we celebrate "
                           "the volunteers who planted four thousand trees along the river.";

// The recording as the virtual microphone's raw format: 16 kHz mono s16le.
QByteArray recording() {
    const auto r = EspeakRenderer::render(QString::fromLatin1(script), QStringLiteral("en-us"), 30);
    EXPECT_TRUE(r);
    if (!r)
        return {};
    std::vector<float> mono;
    AudioResampler(static_cast<int>(r->sampleRate), 1)
        .push(r->samples.data(), r->samples.size(), mono);
    mono.resize(mono.size() + AudioSource::sampleRate, 0.0f); // a second of silence after
    QByteArray pcm(static_cast<qsizetype>(mono.size() * 2), Qt::Uninitialized);
    for (size_t i = 0; i < mono.size(); ++i) {
        const auto v = static_cast<qint16>(std::clamp(mono[i], -1.0f, 1.0f) * 32767);
        std::memcpy(pcm.data() + i * 2, &v, 2);
    }
    return pcm;
}

struct PulseServer {
    QProcess process;
    QString folder;

    bool start(const QString &dir) {
        folder = dir;
        const QString socket = qEnvironmentVariable("PULSE_SERVER").section(':', 1);
        QFile::remove(socket);
        QFile config(dir + "/test.pa");
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write(QStringLiteral("load-module module-native-protocol-unix socket=%1 "
                                    "auth-anonymous=1\n"
                                    "load-module module-pipe-source source_name=orvell_test "
                                    "file=%2/mic.fifo format=s16le rate=16000 channels=1\n"
                                    "load-module module-null-sink\n"
                                    "set-default-source orvell_test\n")
                         .arg(socket, dir)
                         .toUtf8());
        config.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir);
        env.insert("XDG_RUNTIME_DIR", dir);
        env.remove("PULSE_SERVER");
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(ORVELL_PULSEAUDIO),
                      {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                       "--log-level=error", "-F", dir + "/test.pa"});
        if (!process.waitForStarted(5000))
            return false;
        return QTest::qWaitFor([&] { return QFile::exists(socket); }, 10000);
    }
    ~PulseServer() {
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
    }
};

} // namespace

TEST(MicrophoneListener, hearsAVirtualMicrophoneAndMovesTheCursor) {
    if (!SpeechDecoder::isModelInstalled())
        GTEST_SKIP() << "the speech model is not installed";
    QTemporaryDir dir;
    PulseServer pulse;
    ASSERT_TRUE(pulse.start(dir.path())) << "could not start PulseAudio";

    ManualScheduler clock;
    auto settings = SettingsStore::inMemory();
    ReadingPreferences prefs(*settings);
    prefs.setVoiceFollowEnabled(true);
    prefs.setVoiceFollowLocale("en_US");
    ScrollEngine scroll(160);
    auto ticks = std::make_shared<FakeTickSource>();
    scroll.attach(ticks);
    ScriptStore store(dir.filePath("lib"), {false, {}, &clock, {}});
    store.create({}, QString::fromLatin1(script), true);
    VoiceFollow voice(
        {[](const ScriptWords &words) {
             return std::unique_ptr<VoiceListener>(std::make_unique<SpeechListener>(
                 words, [] { return std::unique_ptr<AudioSource>(new MicrophoneSource); }));
         },
         [](const QString &) { return true; },
         {}});
    voice.setViewportWidth(364);
    LibrarySelection selection(store);
    voice.attach(prefs, scroll, selection);
    scroll.play();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return voice.state().kind == VoiceFollowState::Kind::listening ||
                   voice.state().kind == VoiceFollowState::Kind::failed;
        },
        20000));
    ASSERT_EQ(voice.state().kind, VoiceFollowState::Kind::listening)
        << voice.state().message.toStdString();

    // The virtual microphone plays what is written into its pipe.
    const QByteArray pcm = recording();
    std::thread writer([&] {
        const int fd = ::open(QFile::encodeName(dir.filePath("mic.fifo")).constData(), O_WRONLY);
        if (fd < 0)
            return;
        for (qsizetype at = 0; at < pcm.size();) {
            const ssize_t n =
                ::write(fd, pcm.constData() + at, static_cast<size_t>(pcm.size() - at));
            if (n <= 0)
                break;
            at += n;
        }
        ::close(fd);
    });
    const int words = ScriptWords(QString::fromLatin1(script)).count();
    const bool followed = QTest::qWaitFor([&] { return voice.cursor() >= words / 2; }, 40000);
    writer.join();
    EXPECT_TRUE(followed) << "cursor " << voice.cursor() << " of " << words;
    scroll.pause();
    EXPECT_EQ(voice.state().kind, VoiceFollowState::Kind::off);
}
