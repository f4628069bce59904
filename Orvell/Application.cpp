#include "Orvell/Application.h"

#include "Orvell/core/AppEnvironment.h"
#include "Orvell/deck/ControlDeckView.h"
#include "OrvellKitUI/SchemePalette.h"
#include "Orvell/island/FrameClock.h"
#include "Orvell/island/IslandPanel.h"
#include "settings/PreferenceKeys.h"
#include "Platform/x11/X11Window.h"
#include "base/Metrics.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

Application::Application(AppEnvironment &env, QObject *parent)
    : QObject(parent)
    , m_env(env)
    , m_screens(env.prefs(), Scheduler::eventLoop())
    , m_library(env) {
    // Closing windows never quits; quitting (from a menu, a signal or the
    // session's end) writes what is still pending, and keeps aside what the
    // disk still refuses.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { m_env.saveBeforeQuitting(); });
    m_library.onQuit = [this] { requestQuit(); };
    m_library.panels = [this] {
        std::vector<QRect> out;
        if (m_island && m_island->layout())
            out.push_back(m_island->layout()->windowFrame.toAlignedRect());
        if (m_deck && m_deck->view() && m_deck->isVisible())
            out.push_back(m_deck->view()->window()->frameGeometry());
        return out;
    };
}

QString Application::unsavedQuestion(const ScriptStore &store) {
    if (!store.hasUnsaved())
        return QString();
    const qsizetype n = store.unsavedScripts().size();
    const QString what = n == 0   ? QStringLiteral("The library index could not be saved")
                         : n == 1 ? QStringLiteral("1 script could not be saved")
                                  : QStringLiteral("%1 scripts could not be saved").arg(n);
    return what + QStringLiteral(": ") + store.unsavedReason() + QLatin1Char('.');
}

void Application::requestQuit() {
    ScriptStore &store = m_env.store();
    store.flushPendingSynchronously();
    const QString question = unsavedQuestion(store);
    if (question.isEmpty()) {
        QCoreApplication::quit();
        return;
    }
    auto *ask = new QMessageBox(QMessageBox::Warning, QStringLiteral("Quit Orvell?"), question,
                                QMessageBox::NoButton);
    ask->setInformativeText(
        QStringLiteral("If you quit anyway, Orvell keeps what is not saved in %1 and puts it "
                       "back in the library the next time it starts.")
            .arg(QDir::toNativeSeparators(m_env.unsavedFolders().value(0))));
    ask->addButton(QStringLiteral("Keep Orvell Open"), QMessageBox::RejectRole);
    QPushButton *quit = ask->addButton(QStringLiteral("Quit Anyway"), QMessageBox::DestructiveRole);
    ask->setAttribute(Qt::WA_DeleteOnClose);
    connect(ask, &QMessageBox::finished, this, [ask, quit] {
        if (ask->clickedButton() == quit)
            QCoreApplication::quit();
    });
    ask->open();
}

Application::~Application() = default;

void Application::installIsland() {
    AppEnvironment &env = m_env;
    Preferences &prefs = env.prefs();
    IslandPanelController::Providers providers;
    providers.config = [&prefs] {
        return IslandLayout::Config{prefs.islandWidth(), prefs.notchCoverHeight(),
                                    Metrics::panelHeight, prefs.islandPlacement()};
    };
    providers.aboveFullScreen = [&prefs] { return prefs.aboveFullScreen(); };
    providers.mayRaise = [this](QWindow *window) { return mayRaise(window); };
    providers.makePanel = [&env] {
        return new IslandPanel(env.island(), env.scroll(), env.viewport());
    };
    m_island = std::make_unique<IslandPanelController>(m_screens, env.island(), providers);
    IslandPanelController *island = m_island.get();

    connect(island, &IslandPanelController::visibilityChanged, this, [&env](bool visible) {
        // Hiding the island ends the reading; showing it does not start one.
        if (!visible)
            env.scroll().goIdle();
        env.panels().setIslandVisible(visible);
    });
    connect(island, &IslandPanelController::panelCreated, this, [this, &env, island](IslandPanel *panel) {
        panel->winId(); // the frame clock follows the native window
        env.scroll().attach(std::make_shared<FrameClock>(panel->windowHandle()));
        connect(panel, &IslandPanel::dragCommitted, island, [&env, island](QPoint topLeft) {
            if (const auto at = island->dragPosition(topLeft))
                env.prefs().placeIsland(at->x, at->y, at->centredX);
        });
        connect(panel, &IslandPanel::hideClicked, &env.commands(),
                [&env] { env.commands().handle(HotKeyAction::toggleIsland); });
        connect(panel, &IslandPanel::resetPositionClicked, &env.prefs(), [&env] {
            env.prefs().setIslandPlacement(IslandPlacement::topCenter());
        });
        // What the reading modes say is seen where the reader looks.
        connect(&env.modeStatus(), &ModeStatus::notice, panel, [panel](const ModeStatus::Line &l) {
            panel->showNotice(l.text, l.problem);
        });
        panel->idleHint = [&env] {
            return QStringLiteral("Orvell: %1 plays your script from any app. Click for the "
                                  "controls.")
                .arg(env.shortcutRegistry().binding(HotKeyAction::playPause).displayString());
        };
        connect(panel, &IslandPanel::pillClicked, this, [this] {
            if (m_deck)
                m_deck->setVisible(true);
        });
    });
    connect(&env.commands(), &PrompterCommands::islandToggleRequested, island,
            &IslandPanelController::toggle);
    connect(&m_screens, &ScreenObserver::replaced, island, [island] { island->reposition(false); });

    island->install();
    env.panels().setIslandVisible(island->isVisible());
}

void Application::comeForward() {
    m_library.show();
}

void Application::installControls() {
    AppEnvironment &env = m_env;
    m_deck = std::make_unique<ControlDeckPanelController>(env, m_screens);
    ControlDeckPanelController *deck = m_deck.get();
    connect(deck, &ControlDeckPanelController::visibilityChanged, &env.panels(),
            &PanelToggles::setControlDeckVisible);
    connect(&env.commands(), &PrompterCommands::controlDeckToggleRequested, deck,
            &ControlDeckPanelController::toggle);
    connect(deck, &ControlDeckPanelController::saveProblemClicked, this,
            [this] { m_library.show(); });
    connect(deck, &ControlDeckPanelController::settingsRequested, this, [this] {
        m_library.show();
        m_library.showSettings();
    });

    m_trayMenu = std::make_unique<TrayMenu>(env);
    TrayMenu *item = m_trayMenu.get();
    connect(item, &TrayMenu::libraryRequested, this, [this] { m_library.show(); });
    connect(item, &TrayMenu::quitRequested, this, &Application::requestQuit);
    connect(item, &TrayMenu::trayChanged, this, &Application::placeMenu);
    connect(item, &TrayMenu::settingsRequested, this, [this] {
        m_library.show();
        m_library.showSettings();
    });
    placeMenu();
}

void Application::placeMenu() {
    const bool inTray = m_trayMenu->showInTray();
    if (m_inTray == inTray)
        return;
    m_inTray = inTray;
    m_deck->setMenu(inTray ? nullptr : m_trayMenu->menu());
    // With no tray the deck is the only way to the menu: show it once.
    if (!inTray && !m_deck->isVisible())
        m_deck->setVisible(true);
}

bool Application::mayRaise(QWindow *window) const {
    if (!X11Window::isAvailable())
        return true;
    if (m_lock.isActive())
        return false;
    if (m_env.prefs().aboveFullScreen() || !window || !window->screen())
        return true;
    const QScreen *screen = window->screen();
    const QRect area(screen->geometry().topLeft() * screen->devicePixelRatio(),
                     screen->geometry().size() * screen->devicePixelRatio());
    return !X11Window::fullScreenWindowOn(area);
}

void Application::installLevels() {
    if (!X11Window::isAvailable())
        return;
    Preferences &prefs = m_env.prefs();
    X11Window::setRaiseCondition([this](QWindow *window) { return mayRaise(window); });
    connect(&m_lock, &ScreenLock::activeChanged, this, [](bool active) {
        if (!active)
            X11Window::raiseKept();
    });
    connect(&prefs, &Preferences::aboveFullScreenChanged, this, [] { X11Window::raiseKept(); });
}

void Application::launch() {
    m_screens.start();
    installLevels();
    installIsland();
    installControls();

    m_env.shortcutRegistry().start();
    offerGnomeShortcuts();

    // Any change of the island's settings lays it out again.
    Preferences &prefs = m_env.prefs();
    const auto relayout = [this] {
        if (m_island)
            m_island->reposition(true);
    };
    connect(&prefs, &Preferences::islandPlacementChanged, this, relayout);
    connect(&prefs, &Preferences::islandWidthChanged, this, relayout);
    connect(&prefs, &Preferences::notchCoverHeightChanged, this, relayout);
    connect(&prefs, &Preferences::aboveFullScreenChanged, this, relayout);

    welcome();
    connect(&m_scheme, &ColorScheme::changed, this, &Application::followColorScheme);

    // Scripts kept aside at the last quit are back: say so where it is seen.
    const auto showRestored = [this] {
        if (!m_env.restoredNotice().isEmpty())
            m_library.show();
    };
    connect(&m_env, &AppEnvironment::restoredNoticeChanged, this, showRestored);
    showRestored();

    // Displays may have changed while the computer slept.
    connect(&m_sleep, &SleepWatcher::resumed, &m_screens, &ScreenObserver::scheduleReplace);

    // The screen stays awake while the script plays, and a minute after.
    m_awakeRelease.setSingleShot(true);
    m_awakeRelease.setInterval(awakeAfterPauseMs);
    connect(&m_awakeRelease, &QTimer::timeout, this,
            [this] { m_env.screenAwake().setHeld(false); });
    connect(&m_env.scroll(), &ScrollEngine::isPlayingChanged, this, &Application::keepAwake);
    connect(&m_env.prefs().reading(), &ReadingPreferences::keepScreenAwakeChanged, this,
            &Application::keepAwake);

    m_sweepTimer.setInterval(sweepIntervalMs);
    m_sweepTimer.setTimerType(Qt::CoarseTimer);
    connect(&m_sweepTimer, &QTimer::timeout, this, &Application::sweep);
    m_sweepTimer.start();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive)
            sweep();
    });
}

void Application::welcome() {
    // The first start shows where the script appears and where it is played:
    // the island opens on the welcome script for a while, and the deck comes
    // up (its Play pulses until it is first used).
    SettingsStore &settings = m_env.settings();
    if (settings.boolValue(PreferenceKeys::welcomed))
        return;
    settings.setValue(PreferenceKeys::welcomed, true);
    if (IslandPanel *panel = m_island ? m_island->panel() : nullptr)
        panel->showPreview(welcomePreviewMs);
    m_deck->setVisible(true);
}

void Application::followColorScheme() {
    // The library, its dialogs and the menus follow the desktop's light or
    // dark choice; the island and the deck are dark whatever it is.
    if (!m_ownPalette)
        m_ownPalette = QApplication::palette();
    switch (m_scheme.preference()) {
    case ColorScheme::Preference::dark:
        QApplication::setPalette(SchemePalette::dark());
        break;
    case ColorScheme::Preference::light:
        QApplication::setPalette(SchemePalette::light());
        break;
    case ColorScheme::Preference::none:
        QApplication::setPalette(*m_ownPalette);
        break;
    }
}

void Application::offerGnomeShortcuts() {
    // GNOME on Wayland gives apps no global shortcuts; GNOME's own keyboard
    // settings can run orvell-cli instead. Asked once, changed only on a yes.
    GlobalShortcuts &service = m_env.shortcuts();
    const QLatin1StringView offered = PreferenceKeys::gnomeShortcutsOffered;
    if (!service.canInstall() || service.isInstalled() || m_env.settings().boolValue(offered))
        return;
    m_env.settings().setValue(offered, true);
    auto *ask = new QMessageBox(
        QMessageBox::Question, QStringLiteral("Orvell's shortcuts on GNOME"),
        QStringLiteral("GNOME does not let apps have global shortcuts, so Orvell's keys (such as "
                       "Ctrl+Alt+Super+Space for Play / Pause) would only work while an Orvell "
                       "window has the focus.\n\nOrvell can add them to GNOME's keyboard "
                       "settings, where they run orvell-cli and work from any app. You can remove "
                       "them again in Orvell's Shortcuts settings."),
        QMessageBox::NoButton);
    QPushButton *add = ask->addButton(QStringLiteral("Add Shortcuts"), QMessageBox::AcceptRole);
    ask->addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
    ask->setAttribute(Qt::WA_DeleteOnClose);
    connect(ask, &QMessageBox::finished, this, [this, ask, add] {
        if (ask->clickedButton() != add)
            return;
        QString error;
        if (!m_env.shortcutRegistry().setInstalledInDesktop(true, &error))
            QMessageBox::warning(nullptr, QStringLiteral("Orvell's shortcuts on GNOME"),
                                 QStringLiteral("GNOME's keyboard settings could not be "
                                                "changed: ") +
                                     error);
    });
    ask->open();
}

void Application::keepAwake() {
    ScreenAwake &awake = m_env.screenAwake();
    if (!m_env.prefs().reading().keepScreenAwake()) {
        m_awakeRelease.stop();
        awake.setHeld(false);
    } else if (m_env.scroll().isPlaying()) {
        m_awakeRelease.stop();
        awake.setHeld(true);
    } else if (awake.isHeld() && !m_awakeRelease.isActive()) {
        m_awakeRelease.start();
    }
}

void Application::sweep() {
    // A tray host may have started or gone away since.
    if (m_trayMenu)
        placeMenu();
    // Full-screen windows may be raised over the island; put it back on top.
    if (m_island && m_env.prefs().aboveFullScreen())
        m_island->reposition(false);
}
