#include "Orvell/core/AppEnvironment.h"

#include "Orvell/island/CaptureShield.h"
#include "import/DocumentConverter.h"
#include "library/UnsavedCopies.h"
#include "settings/LoginItem.h"
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
           QStringLiteral("\n\nOpen the Library from Orvell's icon in the tray \u2014 or, on a "
                          "desktop without a tray, from the menu button on the floating controls "
                          "\u2014 to write your own script, or drop a .txt, .md, .rtf or .docx "
                          "file onto the list to import one."
                          "\n\nAdjust the speed until it matches how you actually talk, then "
                          "forget it is there.");
}

AppEnvironment::AppEnvironment(Services services, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(services.settings))
    , m_loginItem(std::move(services.loginItem))
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
    m_hotKeys = std::make_unique<HotKeyCenter>(*m_shortcuts);
    m_panels = std::make_unique<PanelToggles>();
    m_prefs = std::make_unique<Preferences>(*m_settings, *m_loginItem);

    m_scroll->setT(m_prefs->reading().speedT());
    m_hotKeys->loadBindings = [this] { return m_prefs->hotKeyBindings(); };
    m_hotKeys->saveBindings = [this](const QByteArray &json) { m_prefs->setHotKeyBindings(json); };
    connect(m_prefs.get(), &Preferences::hotKeyBindingsChanged, m_hotKeys.get(),
            &HotKeyCenter::reloadBindings);
    // Choosing another script stops playback and rewinds.
    m_store->onSelectionChanged = [this] {
        m_scroll->pause();
        m_scroll->restart();
    };
    m_commands = std::make_unique<PrompterCommands>(*m_scroll, m_prefs->reading(), *m_panels);
    m_selection = std::make_unique<LibrarySelection>(*m_store);
    m_viewport = std::make_unique<ScriptViewportModel>(*m_selection, m_prefs->reading(), *m_scroll);

    m_rhythmCache = std::make_unique<RhythmCache>(RhythmCache::standard());
    m_pace = std::make_unique<PaceGuide>(scheduler);
    m_pace->attach(m_prefs->reading(), *m_scroll, *m_selection, *m_rhythmCache);

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
    m_voice = std::make_unique<VoiceFollow>(std::move(recognition));
    m_voice->attach(m_prefs->reading(), *m_scroll, *m_selection);
    m_commands->toggleVoiceFollow = [this] { m_voice->toggle(); };

    // The guides lay out the same lines as the island draws.
    const auto followWidth = [this] {
        m_pace->setViewportWidth(m_viewport->viewportSize().width());
        m_voice->setViewportWidth(m_viewport->viewportSize().width());
    };
    connect(m_viewport.get(), &ScriptViewportModel::layoutChanged, this, followWidth);
    // The island shows the light of the guide that is on.
    const auto chooseGlow = [this] {
        GlowSource *source = nullptr;
        if (m_voice->isActive())
            source = m_voice.get();
        else if (m_pace->isActive())
            source = m_pace.get();
        m_viewport->setGlowSource(source);
    };
    connect(&m_prefs->reading(), &ReadingPreferences::paceGuideEnabledChanged, this, chooseGlow);
    connect(&m_prefs->reading(), &ReadingPreferences::voiceFollowEnabledChanged, this, chooseGlow);
    connect(&m_prefs->reading(), &ReadingPreferences::voiceFollowLocaleChanged, this, chooseGlow);
    chooseGlow();

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
