// The microphone path for real: a PulseAudio server of the test's own with a
// virtual microphone that plays a recording; voice follow listens to it
// through Qt Multimedia like it listens to a person.
#include "Platform/audio/MicrophoneSource.h"
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

#include <atomic>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <optional>
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

// Writes `pcm` into the virtual microphone's pipe, on a thread of its own.
std::thread playInto(const QString &fifo, const QByteArray &pcm) {
    return std::thread([fifo, pcm] {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY);
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
}

// The virtual microphone's module arguments.
QString microphoneModule(const QString &dir) {
    return QStringLiteral("source_name=orvell_test file=%1/mic.fifo format=s16le rate=16000 "
                          "channels=1")
        .arg(dir);
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
                                    "load-module module-pipe-source %2\n"
                                    "load-module module-null-sink\n"
                                    "set-default-source orvell_test\n")
                         .arg(socket, microphoneModule(dir))
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

// One sound server for the suite: Qt Multimedia keeps its connection to
// the first server it reached for the life of the process.
class MicrophoneListener : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        pulse = new PulseServer;
        started = pulse->start(folder->path());
    }
    static void TearDownTestSuite() {
        delete pulse;
        delete folder;
    }
    void SetUp() override { ASSERT_TRUE(started) << "could not start PulseAudio"; }
    static QString fifo() { return folder->filePath("mic.fifo"); }
    static int pactl(const QStringList &arguments) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(QStringLiteral("pactl"), arguments);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode()
                                                                                  : -1;
    }

    static inline QTemporaryDir *folder = nullptr;
    static inline PulseServer *pulse = nullptr;
    static inline bool started = false;
};

} // namespace

TEST_F(MicrophoneListener, hearsAVirtualMicrophoneAndMovesTheCursor) {
    if (!SpeechDecoder::isModelInstalled())
        GTEST_SKIP() << "the speech model is not installed";
    QTemporaryDir dir;

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
    std::thread writer = playInto(fifo(), recording());
    const int words = ScriptWords(QString::fromLatin1(script)).count();
    const bool followed = QTest::qWaitFor([&] { return voice.cursor() >= words / 2; }, 40000);
    writer.join();
    EXPECT_TRUE(followed) << "cursor " << voice.cursor() << " of " << words;
    scroll.pause();
    EXPECT_EQ(voice.state().kind, VoiceFollowState::Kind::off);
}

TEST_F(MicrophoneListener, hearsTheSpeakerWhileTheWindowIsBusy) {
    // The window's thread can be busy for a moment (a long import, a layout
    // of a long script); what the speaker says meanwhile must still reach
    // the recogniser, and nothing may arrive once listening stopped.
    const QByteArray pcm = recording();
    const std::size_t played = static_cast<std::size_t>(pcm.size() / 2);
    std::mutex mutex;
    std::condition_variable heard;
    std::size_t samples = 0;
    bool stopped = false, afterStop = false;
    MicrophoneSource microphone;
    QString error;
    ASSERT_TRUE(microphone.start(
        [&](const float *, std::size_t count) {
            const std::lock_guard lock(mutex);
            samples += count;
            afterStop = afterStop || stopped;
            heard.notify_all();
        },
        &error))
        << error.toStdString();
    std::thread writer = playInto(fifo(), pcm);
    {
        // This thread does not return to its event loop until nearly the
        // whole recording has been heard, or for 20 s at most.
        std::unique_lock lock(mutex);
        heard.wait_for(lock, std::chrono::seconds(20), [&] { return samples >= played * 9 / 10; });
        EXPECT_GE(samples, played * 9 / 10) << "heard " << samples << " of " << played;
    }
    writer.join();
    microphone.stop();
    {
        const std::lock_guard lock(mutex);
        stopped = true;
    }
    QCoreApplication::processEvents();
    const std::lock_guard lock(mutex);
    EXPECT_FALSE(afterStop);
}

TEST_F(MicrophoneListener, saysSoWhenTheMicrophoneGoesAway) {
    MicrophoneSource microphone;
    std::optional<QString> failure;
    microphone.onFailure = [&](const QString &why) { failure = why; };
    QString error;
    ASSERT_TRUE(microphone.start([](const float *, std::size_t) {}, &error)) << error.toStdString();
    // Unplugged: the sound server drops the source and every stream on it.
    ASSERT_EQ(pactl({"unload-module", "module-pipe-source"}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return failure.has_value(); }, 10000));
    EXPECT_EQ(failure.value_or(QString()), AudioSource::noInputMessage());
    microphone.stop();
    // Plugged in again for whatever runs next.
    EXPECT_EQ(pactl({"load-module", "module-pipe-source", microphoneModule(folder->path())}), 0);
    EXPECT_EQ(pactl({"set-default-source", "orvell_test"}), 0);
}
