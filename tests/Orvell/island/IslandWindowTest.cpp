#include "Orvell/island/FrameClock.h"
#include "Orvell/island/IslandPanel.h"
#include "Orvell/island/IslandPanelController.h"
#include "Orvell/core/ScreenObserver.h"
#include "island/IslandLayoutModel.h"
#include "library/ScriptStore.h"
#include "playback/ScrollEngine.h"
#include "reading/LibrarySelection.h"
#include "reading/ScriptViewportModel.h"
#include "settings/Autostart.h"
#include "settings/Preferences.h"
#include "settings/SettingsStore.h"
#include "support/TestEnvironment.h"

#include "support/ManualScheduler.h"
#include "support/QtPrinters.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

using NoAutostart = TestEnvironment::NoAutostart;

ScreenFacts display(const QString &name, QRectF frame, bool builtIn) {
    ScreenFacts f;
    f.name = name;
    f.frame = frame;
    f.visibleFrame = frame.adjusted(0, 0, 0, -42); // a taskbar at the bottom
    f.isBuiltIn = builtIn;
    return f;
}

} // namespace

TEST(FrameClock, deliversBoundedStepsAndNothingAcrossAPause) {
    QWindow window;
    FrameClock driver(&window, [] { return 0.0; });
    std::vector<double> steps;
    driver.frame(10.0); // never started, no callback yet: only recorded
    driver.onTick = [&](double dt) { steps.push_back(dt); };
    driver.frame(10.0 + 1.0 / 60);
    driver.frame(12.5);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_NEAR(steps[0], 1.0 / 60, 1e-12);
    EXPECT_EQ(steps[1], 0.1);

    driver.start();
    EXPECT_TRUE(driver.isStarted());
    driver.stop();
    driver.start();
    driver.frame(20.0); // first frame after a start delivers nothing
    driver.frame(20.25);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[2], 0.1);
    driver.stop();

    // Without frame callbacks (X11, offscreen) a timer at the display's
    // refresh rate drives the frames, never the platform's 5 ms updates.
    EXPECT_TRUE(driver.isTimerPaced());
    EXPECT_GE(driver.period(), 1.0 / 500);
    EXPECT_LE(driver.period(), 1.0 / 20);
}

TEST(ScreenObserver, targetsResolveWithFallbacks) {
    using Target = ScreenObserver::Target;
    EXPECT_EQ(Target::fromStored("menuBar").kind, Target::Kind::withMenuBar);
    EXPECT_EQ(Target::fromStored("pointer").kind, Target::Kind::withPointer);
    EXPECT_EQ(Target::fromStored("+2"), (Target{Target::Kind::specific, {}, 2}));
    EXPECT_EQ(Target::fromStored("-3").kind, Target::Kind::builtIn);
    EXPECT_EQ(Target::fromStored("middle").kind, Target::Kind::builtIn);

    auto settings = SettingsStore::inMemory();
    NoAutostart login;
    Preferences prefs(*settings, login);
    ManualScheduler clock;
    std::vector<ScreenFacts> displays = {display("HDMI-1", QRectF(0, 0, 1920, 1080), false),
                                         display("eDP-1", QRectF(1920, 0, 1512, 982), true)};
    QPointF pointer(100, 100);
    ScreenObserver observer(prefs, clock, {[&] { return displays; }, [&] { return pointer; }});
    EXPECT_EQ(observer.resolve()->name, "eDP-1");

    prefs.setTargetDisplay("12345");
    ScreenObserver specific(prefs, clock, {[&] { return displays; }, [&] { return pointer; }});
    EXPECT_EQ(specific.resolve()->name, "HDMI-1"); // no such display: the main one
    prefs.setTargetDisplay("pointer");
    ScreenObserver byPointer(prefs, clock, {[&] { return displays; }, [&] { return pointer; }});
    pointer = QPointF(2000, 50);
    EXPECT_EQ(byPointer.resolve()->name, "eDP-1");

    displays.pop_back(); // the lid closes
    EXPECT_EQ(observer.resolve()->name, "HDMI-1");
    displays.clear();
    EXPECT_FALSE(observer.resolve());
}

TEST(ScreenObserver, aChosenDisplayStaysChosenWhenScreensAreReorderedOrReplugged) {
    auto settings = SettingsStore::inMemory();
    NoAutostart login;
    Preferences prefs(*settings, login);
    ManualScheduler clock;
    const auto monitor = [](QString output, QString model, QString serial, double x) {
        ScreenFacts d = display(output, QRectF(x, 0, 1920, 1080), false);
        d.manufacturer = "DEL";
        d.model = model;
        d.serial = serial;
        return d;
    };
    ScreenFacts laptop = display("eDP-1", QRectF(0, 0, 1512, 982), true);
    ScreenFacts left = monitor("DP-1", "U2720Q", "A1", 1512);
    ScreenFacts right = monitor("DP-2", "U2720Q", "B2", 3432);
    std::vector<ScreenFacts> displays = {laptop, left, right};
    ScreenObserver observer(prefs, clock, {[&] { return displays; }, {}});
    observer.start();
    prefs.setTargetDisplay(ScreenObserver::Target::storedFor(right));
    EXPECT_EQ(observer.resolve()->serial, "B2");

    // Another primary display: Qt lists the screens in a new order.
    displays = {right, laptop, left};
    EXPECT_EQ(observer.resolve()->serial, "B2");
    // The same monitor, plugged into the other port.
    ScreenFacts moved = right;
    moved.name = "HDMI-1";
    displays = {laptop, moved};
    EXPECT_EQ(observer.resolve()->name, "HDMI-1");
    // Gone: the usual fallback, the display that carries the panel.
    displays = {laptop, left};
    EXPECT_EQ(observer.resolve()->name, "eDP-1");
    // A display without EDID facts is known by its output.
    ScreenFacts plain = display("VGA-1", QRectF(1512, 0, 1024, 768), false);
    prefs.setTargetDisplay(ScreenObserver::Target::storedFor(plain));
    displays = {laptop, plain};
    EXPECT_EQ(observer.resolve()->name, "VGA-1");

    // Numbers written by earlier versions still mean a list position.
    prefs.setTargetDisplay("2");
    EXPECT_EQ(observer.resolve()->name, "VGA-1");
}

TEST(ScreenObserver, aBurstOfChangesPlacesAtMostThreeTimesAfterItsLastEvent) {
    auto settings = SettingsStore::inMemory();
    NoAutostart login;
    Preferences prefs(*settings, login);
    ManualScheduler clock;
    ScreenObserver observer(prefs, clock, {[] { return std::vector<ScreenFacts>(); }, {}});
    int placements = 0;
    QObject::connect(&observer, &ScreenObserver::replaced, [&] { ++placements; });
    observer.scheduleReplace();
    clock.advance(0.1);
    observer.scheduleReplace();
    EXPECT_EQ(placements, 2);
    clock.advance(0.15);
    EXPECT_EQ(placements, 3);
    clock.advance(1);
    EXPECT_EQ(placements, 4);
}

namespace {

struct PanelFixture : ::testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings = SettingsStore::inMemory();
    NoAutostart login;
    Preferences prefs{*settings, login};
    ManualScheduler clock;
    IslandLayoutModel model{clock};
    ScrollEngine scroll{160};
    ScriptStore store{dir.filePath("lib"), {true, "Hello island", &clock, {}}};
    LibrarySelection selection{store};
    ScriptViewportModel viewport{selection, prefs.reading(), scroll};
    std::vector<ScreenFacts> displays = {display("eDP-1", QRectF(0, 0, 1512, 982), true)};
    ScreenObserver screens{prefs, clock, {[this] { return displays; }, {}}};
    std::unique_ptr<IslandPanelController> controller;
    std::vector<bool> visibility;

    void SetUp() override {
        IslandPanelController::Providers providers;
        providers.config = [this] {
            return IslandLayout::Config{prefs.islandWidth(), prefs.notchCoverHeight(), 160,
                                        prefs.islandPlacement()};
        };
        providers.aboveFullScreen = [] { return false; };
        providers.makePanel = [this] { return new IslandPanel(model, scroll, viewport); };
        controller = std::make_unique<IslandPanelController>(screens, model, providers);
        QObject::connect(controller.get(), &IslandPanelController::visibilityChanged,
                         [this](bool v) { visibility.push_back(v); });
    }
};

} // namespace

TEST_F(PanelFixture, installsAtTopCentreOfTheChosenDisplayAndFollowsIt) {
    controller->install();
    ASSERT_NE(controller->panel(), nullptr);
    EXPECT_EQ(controller->panel()->frame(), QRect(756 - 200 - 73, 0, 546, 264));
    EXPECT_EQ(viewport.viewportSize(), QSizeF(364, 150));
    EXPECT_EQ(scroll.viewportHeight(), 150);
    ASSERT_TRUE(viewport.layout());
    EXPECT_EQ(scroll.contentHeight(), viewport.layout()->height());

    displays = {display("eDP-1", QRectF(100, 50, 1000, 700), true)};
    controller->reposition(false);
    EXPECT_EQ(controller->panel()->frame().topLeft(), QPoint(100 + 500 - 200 - 73, 50));

    prefs.setIslandWidth(600);
    controller->reposition(true);
    EXPECT_EQ(controller->panel()->frame().width(), 600 + 146);
    EXPECT_EQ(model.layout().bodyWidth, 600);
}

TEST_F(PanelFixture, theWindowCoversOnlyWhatIsDrawn) {
    controller->install();
    IslandPanel *panel = controller->panel();
    ASSERT_NE(panel, nullptr);
    const auto expectDrawnOnly = [&](const char *state) {
        panel->finishAnimations();
        const QRect drawn = panel->drawnRect();
        EXPECT_EQ(panel->geometry(), drawn.translated(panel->frame().topLeft())) << state;
        // Everything drawn is inside the window.
        EXPECT_TRUE(drawn.contains(panel->currentSilhouette().path().boundingRect().toRect()))
            << state;
        return drawn;
    };
    // Idle: the pill at the top centre and nothing around it.
    const QRect pill = expectDrawnOnly("idle");
    EXPECT_LT(pill.width(), 260);
    EXPECT_LT(pill.height(), 60);
    EXPECT_NEAR(panel->geometry().center().x(), 756, 1);
    EXPECT_EQ(panel->geometry().top(), 0);
    // Reading: the island grows, the window with it.
    scroll.setContentHeight(5000);
    scroll.play();
    const QRect live = expectDrawnOnly("live");
    EXPECT_GE(live.width(), 400);
    EXPECT_GT(live.height(), 150);
    scroll.pause();
    scroll.goIdle();
    EXPECT_EQ(expectDrawnOnly("idle again"), pill);
}

TEST_F(PanelFixture, theShadowWidensTheWindowOnlyAwayFromTheTopEdge) {
    controller->install();
    IslandPanel *panel = controller->panel();
    ASSERT_NE(panel, nullptr);
    scroll.setContentHeight(5000);
    scroll.play();
    panel->finishAnimations();
    const QRect plain = panel->drawnRect();
    panel->setShadowStyle(Shadows::notchPanel());
    panel->finishAnimations();
    EXPECT_FALSE(panel->castsShadow());
    EXPECT_EQ(panel->drawnRect(), plain);

    prefs.placeIsland(300, 200, false);
    controller->reposition(true);
    panel->finishAnimations();
    ASSERT_TRUE(panel->castsShadow());
    const QRectF body = panel->currentSilhouette().path().boundingRect();
    const QRect drawn = panel->drawnRect();
    const QMargins bleed = DropShadow::bleed(Shadows::notchPanel());
    EXPECT_GE(drawn.bottom(), body.bottom() + bleed.bottom() - 1);
    EXPECT_LE(drawn.left(), body.left() - bleed.left());
    EXPECT_EQ(panel->geometry(), drawn.translated(panel->frame().topLeft()));
    // The shadow is seen, not clicked: it takes no part in the hit test.
    EXPECT_FALSE(model.layout().hitTestPath(true).contains(
        QPointF(body.center().x(), body.bottom() + bleed.bottom() / 2.0)));
}

TEST_F(PanelFixture, dragPositionsAndVisibility) {
    controller->install();
    const auto at = controller->dragPosition(QPoint(756 - 200 - 73 - 6, 5));
    ASSERT_TRUE(at);
    prefs.placeIsland(at->x, at->y, at->centredX);
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::topCenter());
    const auto lower = controller->dragPosition(QPoint(300, 8));
    prefs.placeIsland(lower->x, lower->y, lower->centredX);
    EXPECT_EQ(prefs.islandPlacement(), IslandPlacement::free(373, 8));

    EXPECT_TRUE(controller->isVisible());
    controller->setVisible(false);
    controller->setVisible(false);
    controller->setVisible(true);
    EXPECT_EQ(visibility, (std::vector<bool>{false, true}));
}

TEST_F(PanelFixture, theSilhouetteGrowsWhenLiveAndShrinksIntoThePill) {
    controller->install();
    IslandPanel *panel = controller->panel();
    panel->finishAnimations();
    EXPECT_EQ(panel->currentSilhouette().bodySize, QSizeF(180, 24));
    scroll.play();
    panel->finishAnimations();
    EXPECT_EQ(panel->currentSilhouette().bodySize, QSizeF(400, 216));
    EXPECT_EQ(panel->currentSilhouette().filletSize, 25);
    scroll.goIdle();
    panel->finishAnimations();
    EXPECT_EQ(panel->currentSilhouette().bodySize, QSizeF(180, 24));
}

TEST_F(PanelFixture, noticesAndTheWelcomeOpenTheIslandForAWhile) {
    controller->install();
    IslandPanel *panel = controller->panel();
    panel->finishAnimations();
    const QSizeF pill = panel->currentSilhouette().bodySize;
    ASSERT_FALSE(panel->isOpen());

    // Between readings a notice opens the island around it, then it closes.
    panel->showNotice(QStringLiteral("Voice follow on"), false);
    panel->finishAnimations();
    EXPECT_TRUE(panel->isOpen());
    EXPECT_EQ(panel->currentSilhouette().bodySize, QSizeF(400, 216));
    EXPECT_EQ(panel->notice(), "Voice follow on");
    panel->closeNotice();
    panel->finishAnimations();
    EXPECT_EQ(panel->currentSilhouette().bodySize, pill);

    // The first start's welcome shows the script itself.
    panel->showPreview(6000);
    panel->finishAnimations();
    EXPECT_EQ(panel->currentSilhouette().bodySize, QSizeF(400, 216));
    const QImage shown = panel->grab().toImage();
    bool lit = false; // some of the welcome's text is drawn
    for (int y = 0; y < shown.height() && !lit; y += 2)
        for (int x = 0; x < shown.width() && !lit; x += 2)
            lit = qGray(shown.pixel(x, y)) > 128;
    EXPECT_TRUE(lit);
    panel->endPreview();
    panel->finishAnimations();
    EXPECT_EQ(panel->currentSilhouette().bodySize, pill);

    // A reading that starts meanwhile keeps the island open after either ends.
    panel->showNotice(QStringLiteral("Pace guide on"), false);
    scroll.play();
    panel->closeNotice();
    panel->finishAnimations();
    EXPECT_EQ(panel->currentSilhouette().bodySize, QSizeF(400, 216));
}

TEST_F(PanelFixture, theIdlePillAnswersThePointerAndTheButtonsAreAccessible) {
    controller->install();
    IslandPanel *panel = controller->panel();
    panel->finishAnimations();
    const IslandLayout &layout = model.layout();
    // Idle, the pill takes the pointer (a click opens the controls); a
    // reading's body does, and the pill's rule is then beside the point.
    EXPECT_TRUE(layout.hitTestPath(false, true).contains(layout.pillRect().center()));
    EXPECT_FALSE(layout.hitTestPath(false, false).contains(layout.pillRect().center()));
    QSignalSpy pill(panel, &IslandPanel::pillClicked);
    const QPoint at = (layout.pillRect().center() - QPointF(panel->drawnRect().topLeft())).toPoint();
    QTest::mouseClick(panel, Qt::LeftButton, {}, at);
    EXPECT_EQ(pill.count(), 1);

    // At top centre there are no buttons, for the pointer or a screen reader.
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(panel);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->childCount(), 0);
    EXPECT_EQ(panel->controlsShown(), 0);

    // Away from it the two buttons fade in and are buttons with names and a press.
    prefs.setIslandPlacement(IslandPlacement::free(300, 40));
    controller->reposition(true);
    panel->finishAnimations();
    EXPECT_EQ(panel->controlsShown(), 1);
    ASSERT_EQ(window->childCount(), 2);
    QSignalSpy hide(panel, &IslandPanel::hideClicked);
    QSignalSpy reset(panel, &IslandPanel::resetPositionClicked);
    for (int i = 0; i < 2; ++i) {
        QAccessibleInterface *button = window->child(i);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->role(), QAccessible::Button);
        EXPECT_EQ(button->text(QAccessible::Name), IslandPanel::controlName(i));
        EXPECT_EQ(button->parent(), window);
        EXPECT_EQ(window->indexOfChild(button), i);
        EXPECT_EQ(button->rect(), model.layout().controlRect(i).toAlignedRect().translated(
                                      panel->frame().topLeft()));
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    EXPECT_EQ(hide.count(), 1);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(IslandPanel::controlName(0), "Hide the island");
    EXPECT_EQ(IslandPanel::controlName(1), "Move the island back to the top centre");

    // Back at top centre they fade out and leave the tree.
    prefs.setIslandPlacement(IslandPlacement::topCenter());
    controller->reposition(true);
    panel->finishAnimations();
    EXPECT_EQ(window->childCount(), 0);
}
