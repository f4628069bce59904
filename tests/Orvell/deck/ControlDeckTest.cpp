#include "Orvell/deck/ControlDeckPanelController.h"
#include "Orvell/deck/ControlDeckView.h"
#include "OrvellKitUI/GlassButton.h"
#include "OrvellKitUI/PlayButton.h"
#include "Orvell/core/ScreenObserver.h"
#include "OrvellKitUI/SpeedSlider.h"
#include "Orvell/tray/TrayMenu.h"
#include "OrvellKitUI/SessionReadouts.h"
#include "OrvellKitUI/SpeedSlider.h"
#include "library/LibraryFilter.h"
#include "settings/PreferenceKeys.h"

#include "support/ManualScheduler.h"
#include "support/QtPrinters.h"
#include "support/TestEnvironment.h"

#include <QSignalSpy>

#include <QAccessible>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

// The items the menu shows, in order.
QList<QAction *> shown(QMenu *menu) {
    QList<QAction *> out;
    for (QAction *a : menu->actions())
        if (a->isVisible())
            out << a;
    return out;
}

// What the menu shows.
QStringList titles(QMenu *menu) {
    QStringList out;
    for (QAction *a : menu->actions())
        if (a->isVisible())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

// A shown deck over one laptop display whose free area a test changes.
struct DeckOnOneScreen {
    TestEnvironment app;
    ManualScheduler clock;
    ScreenFacts screen = [] {
        ScreenFacts s;
        s.name = QStringLiteral("eDP-1");
        s.frame = QRectF(0, 0, 1512, 982);
        s.visibleFrame = s.frame;
        return s;
    }();
    ScreenObserver screens{app.env->prefs(), clock,
                           {[this] { return std::vector<ScreenFacts>{screen}; },
                            [] { return QPointF(); }}};
    ControlDeckPanelController deck{*app.env, screens};
    DeckOnOneScreen() { deck.setVisible(true); }
};

} // namespace

TEST(TrayMenu, theMenuOpensBesideThePanelThatHoldsTheTray) {
    const QSize menu(300, 200);
    // A bottom panel 44 px high: a click in its tray opens the menu above it.
    const QRect overBottomPanel(0, 0, 1920, 1036);
    EXPECT_EQ(TrayMenu::menuPlace({1712, 1058}, menu, overBottomPanel), QPoint(1620, 836));
    EXPECT_EQ(TrayMenu::menuPlace({40, 1058}, menu, overBottomPanel), QPoint(40, 836));
    // A top bar: below it, kept on the screen at the right edge.
    const QRect underTopBar(0, 32, 1920, 1048);
    EXPECT_EQ(TrayMenu::menuPlace({1900, 10}, menu, underTopBar), QPoint(1620, 32));
    // A panel on the right side.
    EXPECT_EQ(TrayMenu::menuPlace({1900, 500}, menu, QRect(0, 0, 1872, 1080)), QPoint(1572, 500));
    // A click in the free part (an old tray's icon): at the click, or above it near the bottom.
    EXPECT_EQ(TrayMenu::menuPlace({500, 400}, menu, overBottomPanel), QPoint(500, 400));
    EXPECT_EQ(TrayMenu::menuPlace({500, 1000}, menu, overBottomPanel), QPoint(500, 800));
    // A menu taller than the free part starts at its top.
    EXPECT_EQ(TrayMenu::menuPlace({500, 1058}, QSize(300, 1200), overBottomPanel), QPoint(500, 0));
}

TEST(TrayMenu, theMenuSaysWhatEachItemWouldDoWhenItOpens) {
    TestEnvironment app;
    AppEnvironment &env = *app.env;
    for (const Script &s : std::vector<Script>(env.store().scripts()))
        env.store().deleteScript(s.id); // the welcome script
    TrayMenu item(env, QDBusConnection(QStringLiteral("no bus")));
    env.panels().setIslandVisible(true);
    item.refresh();
    EXPECT_EQ(titles(item.menu()),
              (QStringList{"Play\tCtrl+Alt+Super+Space", "Restart\tCtrl+Alt+Super+R", "Sections", "-",
                           "Show Controls\tCtrl+Alt+Super+K", "Hide Island\tCtrl+Alt+Super+T", "-",
                           "Scripts", QString::fromUtf8("Library\u2026"), "-",
                           QString::fromUtf8("Settings\u2026"), "Shortcuts: X11 key grabs", "-",
                           "Quit Orvell"}))
        << titles(item.menu()).join(" | ").toStdString();
    QMenu *scripts = shown(item.menu()).at(7)->menu();
    ASSERT_NE(scripts, nullptr);
    EXPECT_EQ(titles(scripts), QStringList{"No Scripts"});
    EXPECT_FALSE(scripts->actions().at(0)->isEnabled());

    // Two scripts, playing, the deck shown, a new shortcut for Restart.
    env.store().create("First", "one", false);
    const Script second = env.store().create("Second", "two", true);
    env.scroll().play();
    env.panels().setControlDeckVisible(true);
    env.panels().setIslandVisible(false);
    HotKeyBinding restart = env.shortcutRegistry().binding(HotKeyAction::restart);
    restart.keyCode = 17; // T's code in the stored key space
    restart.modifierFlags = HotKeyBinding::control | HotKeyBinding::shift;
    ASSERT_EQ(env.shortcutRegistry().assign(restart, HotKeyAction::restart), std::nullopt);
    emit item.menu()->aboutToShow();
    EXPECT_TRUE(shown(item.menu()).at(0)->text().startsWith("Pause\t"));
    EXPECT_EQ(shown(item.menu()).at(1)->text(), "Restart\tCtrl+Shift+T");
    EXPECT_TRUE(shown(item.menu()).at(4)->text().startsWith("Hide Controls\t"));
    EXPECT_TRUE(shown(item.menu()).at(5)->text().startsWith("Show Island\t"));
    // The library's order (here by title), favourites starred,
    // a long title shortened and whole in its tooltip.
    env.settings().setValue(PreferenceKeys::librarySort,
                            LibrarySorts::names.name(LibrarySort::title));
    const Script longOne = env.store().create(QString("An Extremely Long Title ").repeated(6), "x", false);
    env.store().toggleFavorite(second.id);
    emit item.menu()->aboutToShow();
    ASSERT_EQ(scripts->actions().size(), 3);
    EXPECT_TRUE(scripts->actions().at(0)->text().endsWith(QChar(0x2026)));
    EXPECT_EQ(scripts->actions().at(0)->toolTip(), longOne.title);
    EXPECT_EQ(scripts->actions().at(1)->text(), "First");
    EXPECT_EQ(scripts->actions().at(2)->text(), QString::fromUtf8("\u2605 Second"));
    scripts->actions().at(1)->trigger();
    emit item.menu()->aboutToShow();
    EXPECT_TRUE(scripts->actions().at(1)->isChecked());
    EXPECT_FALSE(scripts->actions().at(2)->isChecked());
    scripts->actions().at(2)->trigger();
    emit item.menu()->aboutToShow();
    EXPECT_TRUE(scripts->actions().at(2)->isChecked());
    env.store().select(second.id);
    env.scroll().play();
    // Choosing another script selects it, and stops and rewinds the reading.
    scripts->actions().at(1)->trigger();
    EXPECT_NE(env.store().selectedID(), second.id);
    EXPECT_FALSE(env.scroll().isPlaying());
    shown(item.menu()).at(0)->trigger();
    EXPECT_TRUE(env.scroll().isPlaying());
    // The panel toggles go the way every command goes.
    QSignalSpy island(&env.commands(), &PrompterCommands::islandToggleRequested);
    shown(item.menu()).at(5)->trigger();
    EXPECT_EQ(island.count(), 1);
}

TEST(ControlDeck, placedAboveTheBottomOrFlushWhenTheScreenIsShort) {
    const QRectF visible(0, 24, 1512, 958);
    EXPECT_EQ(ControlDeckPanelController::placement(visible, QSize(400, 200)),
              QPoint(556, 24 + 958 - 200 - 32));
    // A deck exactly as tall as the free area sits flush with its bottom.
    EXPECT_EQ(ControlDeckPanelController::placement(visible, QSize(400, 958)), QPoint(556, 24));
    // Taller than the room under the margin: the margin shrinks to what is left.
    EXPECT_EQ(ControlDeckPanelController::placement(visible, QSize(400, 940)).y(), 24);
    EXPECT_EQ(ControlDeckPanelController::placement(visible, QSize(400, 930)).y(),
              24 + 958 - 930 - 28);
}

TEST(ControlDeck, followsTheFreeAreaUntilTheUserPlacesIt) {
    DeckOnOneScreen world;
    ScreenFacts &screen = world.screen;
    ScreenObserver &screens = world.screens;
    ManualScheduler &clock = world.clock;
    ControlDeckPanelController &deck = world.deck;
    ASSERT_NE(deck.view(), nullptr);
    const QPoint before = deck.view()->pos();
    EXPECT_EQ(before, ControlDeckPanelController::placement(screen.visibleFrame, deck.view()->size()));

    // A bottom panel appears (a late panel start, a wake from suspend).
    screen.visibleFrame = QRectF(0, 0, 1512, 940);
    screens.scheduleReplace();
    clock.advance(1);
    EXPECT_EQ(deck.view()->pos(), before - QPoint(0, 42));

    // Where the user put it, it stays.
    deck.view()->move(100, 100);
    emit deck.view()->dragged(QPoint(100, 100));
    screen.visibleFrame = QRectF(0, 0, 1512, 900);
    screens.scheduleReplace();
    clock.advance(1);
    EXPECT_EQ(deck.view()->pos(), QPoint(100, 100));
}

TEST(ControlDeck, itsShadowLiesAroundTheCardAndMovesNothing) {
    DeckOnOneScreen world;
    ScreenObserver &screens = world.screens;
    ManualScheduler &clock = world.clock;
    ControlDeckPanelController &deck = world.deck;
    ControlDeckView *view = deck.view();
    ASSERT_NE(view, nullptr);
    const QRect card = view->cardRect().translated(view->pos());
    const QRect controls = view->playButton()->geometry().translated(view->pos());

    view->setShadowStyle(Shadows::controlDeck());
    const QMargins bleed = view->shadowMargins();
    EXPECT_GT(bleed.bottom(), bleed.top());
    EXPECT_EQ(view->width(), ControlDeckView::deckWidth + bleed.left() + bleed.right());
    // The card and what is on it stay where they were; the window grew around them.
    EXPECT_EQ(view->cardRect().translated(view->pos()), card);
    EXPECT_EQ(view->playButton()->geometry().translated(view->pos()), controls);
    screens.scheduleReplace();
    clock.advance(1);
    EXPECT_EQ(view->cardRect().translated(view->pos()), card);

    // The position kept is the card's, whatever margin a start has.
    QSignalSpy dragged(view, &ControlDeckView::dragged);
    const QPoint grab = view->cardRect().topLeft() + QPoint(6, 60);
    QTest::mousePress(view, Qt::LeftButton, {}, grab);
    QTest::mouseMove(view, grab + QPoint(30, 20));
    QTest::mouseRelease(view, Qt::LeftButton, {}, grab + QPoint(30, 20));
    ASSERT_EQ(dragged.count(), 1);
    EXPECT_EQ(dragged.at(0).at(0).toPoint(), view->cardRect().topLeft() + view->pos());
    // A press in the margin is not a press on the deck.
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(1, view->height() - 2));
    QTest::mouseMove(view, QPoint(40, view->height() - 2));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(40, view->height() - 2));
    EXPECT_EQ(dragged.count(), 1);
}

TEST(ControlDeck, itsControlsDriveThePrompterAndSayWhatTheyDo) {
    TestEnvironment app;
    AppEnvironment &env = *app.env;
    ManualScheduler clock;
    ScreenObserver screens(env.prefs(), clock);
    ControlDeckPanelController deck(env, screens);
    bool reported = false;
    QObject::connect(&deck, &ControlDeckPanelController::visibilityChanged,
                     [&](bool visible) { reported = visible; });
    deck.setVisible(true);
    ASSERT_NE(deck.view(), nullptr);
    EXPECT_TRUE(reported);
    ControlDeckView *view = deck.view();
    EXPECT_EQ(view->width(), ControlDeckView::deckWidth);
    EXPECT_TRUE(view->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(view->windowFlags() & Qt::WindowDoesNotAcceptFocus);

    view->playButton()->click();
    EXPECT_TRUE(env.scroll().isPlaying());
    EXPECT_EQ(view->playButton()->accessibleName(), "Pause");
    env.scroll().setOffset(50);
    view->restartButton()->click();
    EXPECT_EQ(env.scroll().offset(), 0);
    QTest::mousePress(view->speedSlider(), Qt::LeftButton, {},
                      QPoint(view->speedSlider()->width() - 1, 5));
    EXPECT_EQ(env.scroll().t(), 1);
    EXPECT_EQ(env.prefs().reading().speedT(), 1);

    EXPECT_EQ(view->islandToggle()->toolTip(),
              "Show / Hide Island (Ctrl+Alt+Super+T from any app)");
    EXPECT_EQ(view->hideButton()->toolTip(), "Hide Controls (Ctrl+Alt+Super+K brings them back)");
    // Every control has a name for assistive technology.
    for (QWidget *w : view->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(view) ||
            !(qobject_cast<QAbstractButton *>(w) || qobject_cast<SpeedSlider *>(w)))
            continue;
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->metaObject()->className();
    }

    // The menu rides on the deck only where there is no tray.
    EXPECT_FALSE(view->menuButton()->isVisibleTo(view));
    QMenu menu;
    deck.setMenu(&menu);
    EXPECT_TRUE(view->menuButton()->isVisibleTo(view));

    // A position dragged to is remembered for the next launch.
    emit view->dragged(QPoint(120, 300));
    deck.setVisible(false);
    EXPECT_FALSE(deck.isVisible());
    ControlDeckPanelController again(env, screens);
    again.setVisible(true);
    EXPECT_EQ(again.view()->pos(), QPoint(120, 300));
    view->hideButton()->click();
}

TEST(ControlDeck, withThePaceGuideOnTheReadoutsSayTheTargetAndTheSpeedWaits) {
    TestEnvironment app;
    AppEnvironment &env = *app.env;
    const Script talk = env.store().create("Talk", QString("word ").repeated(300), true);
    ControlDeckView deck(env);
    // The speed: 300 words at the default 150 a minute.
    EXPECT_EQ(deck.readouts()->estimateText(), QString::fromUtf8("2:00  \u00B7  150 wpm"));
    EXPECT_TRUE(deck.speedSlider()->isEnabled());

    env.prefs().reading().setPaceGuideEnabled(true);
    const double target = env.pace().targetSeconds();
    ASSERT_GT(target, 0);
    EXPECT_EQ(deck.readouts()->estimateText(), ReadEstimate::forDuration(300, target).sessionLine());
    EXPECT_FALSE(deck.speedSlider()->isEnabled());
    EXPECT_FALSE(deck.speedSlider()->toolTip().isEmpty());
    // A target set for the script is what the deck says.
    const auto [lo, hi] = env.pace().allowedRange();
    env.store().setTarget(std::round((lo + hi) / 2), talk.id);
    EXPECT_EQ(deck.readouts()->estimateText(),
              ReadEstimate::forDuration(300, env.pace().targetSeconds()).sessionLine());

    env.prefs().reading().setPaceGuideEnabled(false);
    EXPECT_EQ(deck.readouts()->estimateText(), QString::fromUtf8("2:00  \u00B7  150 wpm"));
    EXPECT_TRUE(deck.speedSlider()->isEnabled());
}

TEST(ControlDeck, voiceFollowThatCannotListenIsSaidOnTheDeck) {
    TestEnvironment app;
    AppEnvironment &env = *app.env;
    ControlDeckView deck(env);
    QToolButton *warning = deck.voiceProblemButton();
    EXPECT_FALSE(warning->isVisibleTo(&deck));
    const QString reason = env.voice().unavailableReason();
    if (reason.isEmpty())
        GTEST_SKIP() << "voice follow can listen on this machine";
    env.prefs().reading().setVoiceFollowEnabled(true);
    EXPECT_TRUE(warning->isVisibleTo(&deck));
    EXPECT_TRUE(warning->toolTip().startsWith(reason)) << warning->toolTip().toStdString();
    QSignalSpy settings(&deck, &ControlDeckView::settingsRequested);
    warning->click();
    EXPECT_EQ(settings.count(), 1);
    env.prefs().reading().setVoiceFollowEnabled(false);
    EXPECT_FALSE(warning->isVisibleTo(&deck));
}

TEST(ControlDeck, playPulsesUntilItIsFirstUsedAndTheModesAreSaidUnderTheTransport) {
    TestEnvironment app;
    AppEnvironment &env = *app.env;
    ManualScheduler clock;
    ScreenFacts screen;
    screen.name = QStringLiteral("eDP-1");
    screen.frame = screen.visibleFrame = QRectF(0, 0, 1512, 982);
    ScreenObserver screens(env.prefs(), clock,
                           {[&] { return std::vector<ScreenFacts>{screen}; }, [] { return QPointF(); }});
    {
        ControlDeckPanelController deck(env, screens);
        deck.setVisible(true);
        ASSERT_NE(deck.view(), nullptr);
        EXPECT_TRUE(deck.view()->playButton()->isPulsing());
        env.scroll().setContentHeight(1000);
        env.scroll().play();
        EXPECT_FALSE(deck.view()->playButton()->isPulsing());
        env.scroll().pause();
    }
    // Once played, never again.
    ControlDeckPanelController deck(env, screens);
    deck.setVisible(true);
    EXPECT_FALSE(deck.view()->playButton()->isPulsing());

    QLabel *status = deck.view()->modeStatusLabel();
    EXPECT_FALSE(status->isVisibleTo(deck.view()));
    env.prefs().reading().setPaceGuideEnabled(true);
    EXPECT_TRUE(status->isVisibleTo(deck.view()));
    EXPECT_EQ(status->text(), "Pace guide on");
    // The deck grows upwards, keeping its bottom above the screen's edge.
    const int bottom = deck.view()->geometry().bottom();
    env.prefs().reading().setVoiceFollowEnabled(true);
    EXPECT_TRUE(status->text().startsWith("Voice follow") || status->text() == env.voice().unavailableReason())
        << status->text().toStdString();
    EXPECT_EQ(deck.view()->geometry().bottom(), bottom);
    env.prefs().reading().setVoiceFollowEnabled(false);
    EXPECT_EQ(status->text(), "Voice follow off");
}
