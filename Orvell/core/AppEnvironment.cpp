#include "Orvell/core/AppEnvironment.h"

#include "Orvell/core/CaptureShield.h"
#include "import/DocumentConverter.h"
#include "import/ScriptImporter.h"
#include "library/UnsavedCopies.h"
#include "settings/Autostart.h"
#include "voice/SpeechListener.h"

#include <QCoreApplication>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcEnvironment, "org.orvell.Orvell.Environment")

AppEnvironment::~AppEnvironment() = default;

QString AppEnvironment::welcomeText() {
    // The island cannot be hidden from screen capture on this desktop, so
    // the welcome script says what is true here instead of promising it.
    const QString capture =
        CaptureShield::isAvailable()
            ? QStringLiteral("It stays on top of every other window, and it stays invisible in "
                             "screen recordings and screen sharing \u2014 your audience sees "
                             "your demo, not your notes.")
            : QStringLiteral("It stays on top of every other window. On this desktop it also "
                             "shows up in screen recordings and screen sharing, so share a "
                             "single window rather than the whole screen when your notes "
                             "should stay yours.");
    return QStringLiteral("Welcome to Orvell.\n\nYour script sits right below the camera, so you "
                          "can read it while looking straight down the lens. No more glancing "
                          "away mid-sentence.\n\n") +
           capture +
           QStringLiteral("\n\nPress Ctrl+Alt+Super+Space to play and pause from any app, or "
                          "click the small black bar at the top of the screen for the floating "
                          "controls, with Play, the speed and voice follow.") +
           QStringLiteral("\n\nOpen the Library from Orvell's icon in the tray \u2014 or, on a "
                          "desktop without a tray, from the menu button on the floating controls "
                          "\u2014 to write your own script, or drop ") +
           ScriptImporter::commonFormats() +
           QStringLiteral(" onto the list to import one."
                          "\n\nAdjust the speed until it matches how you actually talk, then "
                          "forget it is there.");
}

AppEnvironment::AppEnvironment(Services services, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(services.settings))
    , m_autostart(std::move(services.autostart))
    , m_shortcuts(std::move(services.shortcuts)) {
    Scheduler &scheduler = services.scheduler ? *services.scheduler : Scheduler::eventLoop();
    m_island = std::make_unique<IslandLayoutModel>(scheduler);
    m_scroll = std::make_unique<ScrollEngine>(160);
    ScriptStoreOptions storeOptions;
    storeOptions.welcomeBody = welcomeText();
    storeOptions.scheduler = &scheduler;
    storeOptions.loadInBackground = services.loadLibraryInBackground;
    m_store = std::make_unique<ScriptStore>(
        services.libraryRoot.isEmpty() ? ScriptStore::defaultRoot() : services.libraryRoot,
        storeOptions);
    m_registry = std::make_unique<ShortcutRegistry>(*m_shortcuts);
    m_panels = std::make_unique<PanelToggles>();
    m_prefs = std::make_unique<Preferences>(*m_settings, *m_autostart);
    m_registry->loadBindings = [this] { return m_prefs->hotKeyBindings(); };
    m_registry->saveBindings = [this](const QByteArray &json) { m_prefs->setHotKeyBindings(json); };
    connect(m_prefs.get(), &Preferences::hotKeyBindingsChanged, m_registry.get(),
            &ShortcutRegistry::reloadBindings);

    // Voice follow hears the speaker through the packaged speech model; where
    // it or a microphone is missing, it is simply not available.
    VoiceFollow::Recognition recognition;
    m_microphone = services.microphone;
    if (services.microphone) {
        recognition.makeListener = [microphone = services.microphone](const ScriptWords &words) {
            return std::unique_ptr<VoiceListener>(
                std::make_unique<SpeechListener>(words, microphone));
        };
        recognition.hasModel = &SpeechDecoder::hasModelFor;
        recognition.installedLocales = &SpeechDecoder::installedLocales;
    }
    m_rhythmCache = std::make_unique<RhythmCache>(RhythmCache::standard());
    m_reading = std::make_unique<ReadingSession>(*m_store, m_prefs->reading(), *m_scroll,
                                                 *m_rhythmCache, std::move(recognition), scheduler);
    m_commands =
        std::make_unique<PrompterCommands>(*m_scroll, m_reading->voice(), &m_reading->viewport());
    connect(m_registry.get(), &ShortcutRegistry::triggered, m_commands.get(), &PrompterCommands::handle);

    const DocumentConverter converter(QCoreApplication::applicationFilePath(),
                                      {QStringLiteral("convert-document")});
    m_imports = std::make_unique<ImportQueue>(*m_store, converter.asConverter());

    m_unsavedFolders = services.unsavedFolders.value_or(UnsavedCopies::folders());
    // What the last quit kept aside goes back once the library is read.
    const auto restore = [this] {
        if (const int restored = UnsavedCopies::adopt(*m_store, m_unsavedFolders)) {
            m_restoredNotice = UnsavedCopies::notice(restored);
            emit restoredNoticeChanged();
        }
    };
    if (m_store->isLoaded())
        restore();
    else
        connect(m_store.get(), &ScriptStore::loaded, this, restore);
}

void AppEnvironment::dismissRestoredNotice() {
    if (m_restoredNotice.isEmpty())
        return;
    m_restoredNotice.clear();
    emit restoredNoticeChanged();
}

bool AppEnvironment::saveBeforeQuitting() {
    // An import still running is answered with what it imported so far.
    m_imports->stopForQuit();
    if (m_store->flushPendingSynchronously())
        return true;
    QString why;
    if (!UnsavedCopies::keep(*m_store, m_unsavedFolders, &why).isEmpty())
        return true;
    qCCritical(lcEnvironment).noquote()
        << "unsaved scripts could be kept nowhere:" << m_store->unsavedReason() << "/" << why;
    return false;
}
