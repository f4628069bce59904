#include "base/Metrics.h"
#include "island/IslandLayout.h"
#include "island/IslandLayoutModel.h"
#include "island/IslandShapes.h"
#include "island/NotchGeometry.h"
#include "support/ManualScheduler.h"

#include <QSignalSpy>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// A 1512×982 laptop panel at the desktop's origin, its taskbar at the bottom.
ScreenFacts laptop() {
    ScreenFacts s;
    s.name = QStringLiteral("eDP-1");
    s.frame = QRectF(0, 0, 1512, 982);
    s.visibleFrame = QRectF(0, 0, 1512, 940);
    s.statusBarThickness = 24;
    return s;
}

ScreenFacts withHousing() {
    ScreenFacts s = laptop();
    s.visibleFrame = QRectF(0, 38, 1512, 944);
    s.auxiliaryTopLeftArea = QRectF(0, 0, 660, 38);
    s.auxiliaryTopRightArea = QRectF(852, 0, 660, 38);
    s.safeAreaTopInset = 32;
    return s;
}

IslandLayout::Config config(IslandPlacement placement = IslandPlacement::topCenter(),
                            double width = 400, double cover = 56) {
    return {width, cover, 160, placement};
}

} // namespace

TEST(NotchGeometry, displayWithoutHousingGetsACentredPill) {
    ScreenFacts external = laptop();
    external.frame = QRectF(1512, -200, 2560, 1440);
    external.visibleFrame = QRectF(1512, -200, 2560, 1400);
    const auto g = NotchGeometry::measure(external, 180);
    EXPECT_EQ(g.kind, NotchGeometry::Kind::synthesizedPill);
    EXPECT_EQ(g.cutoutRect, QRectF(1512 + 1280 - 90, -200, 180, 24));
    EXPECT_EQ(g.menuBarHeight, 24);
    EXPECT_EQ(g.topPanel, 0);
}

TEST(NotchGeometry, theIslandHangsBelowATopPanelAndMayBeDraggedOntoIt) {
    // GNOME's 32-point top bar on a display right of the laptop: the bar's
    // clock at the top centre stays visible, the island hangs under it.
    ScreenFacts gnome = laptop();
    gnome.frame = QRectF(1512, -200, 2560, 1440);
    gnome.visibleFrame = QRectF(1512, -168, 2560, 1408);
    const auto g = NotchGeometry::measure(gnome, 180);
    EXPECT_EQ(g.topPanel, 32);
    EXPECT_EQ(g.screenFrame, QRectF(1512, -168, 2560, 1408));
    EXPECT_EQ(g.cutoutRect, QRectF(1512 + 1280 - 90, -168, 180, 24));
    const IslandLayout top = IslandLayout::make(config(), g);
    EXPECT_EQ(top.windowFrame.top(), -168);

    // Dragged up onto the bar it may stay there, but no higher than the display.
    const IslandLayout onBar = IslandLayout::make(config(IslandPlacement::free(300, -20)), g);
    EXPECT_EQ(onBar.windowFrame.top(), -168 - 20);
    const IslandLayout above = IslandLayout::make(config(IslandPlacement::free(300, -90)), g);
    EXPECT_EQ(above.windowFrame.top(), -200);
    // Clicks: the part on the bar reaches the bar, the rest the island; below
    // the bar the whole body is the island's (no menu bar lies over it there).
    const double left = onBar.windowFrame.left() + IslandLayout::bodyInset + onBar.bodyWidth / 2;
    const QPainterPath onBarHits = onBar.hitTestPath(true).translated(onBar.windowFrame.topLeft());
    EXPECT_FALSE(onBarHits.contains(QPointF(left, -168 - 20 + 10)));
    EXPECT_TRUE(onBarHits.contains(QPointF(left, -168 + 10)));
    const IslandLayout below = IslandLayout::make(config(IslandPlacement::free(300, 12)), g);
    EXPECT_TRUE(below.hitTestPath(true)
                    .translated(below.windowFrame.topLeft())
                    .contains(QPointF(below.windowFrame.left() + IslandLayout::bodyInset + below.bodyWidth / 2,
                                      -168 + 12 + 3)));

    // A work area that begins far down (a tall panel on a short display, a
    // desktop's odd report) is no top panel; a camera housing keeps its place.
    ScreenFacts odd = laptop();
    odd.visibleFrame = QRectF(0, 400, 1512, 582);
    EXPECT_EQ(NotchGeometry::measure(odd, 180).topPanel, 0);
    EXPECT_EQ(NotchGeometry::measure(withHousing(), 180).topPanel, 0);
}

TEST(NotchGeometry, reportedHousingIsUsedAsTheCutout) {
    const auto g = NotchGeometry::measure(withHousing(), 180);
    EXPECT_EQ(g.kind, NotchGeometry::Kind::hardwareNotch);
    EXPECT_EQ(g.cutoutRect, QRectF(660, 0, 192, 32));
    EXPECT_EQ(g.menuBarHeight, 38);
    ScreenFacts oneSided = withHousing();
    oneSided.auxiliaryTopRightArea = QRectF();
    EXPECT_EQ(NotchGeometry::measure(oneSided, 180).kind, NotchGeometry::Kind::synthesizedPill);
}

TEST(IslandLayout, topCenterHangsFromTheTopEdgeAroundTheCutout) {
    const auto g = NotchGeometry::measure(laptop(), 180);
    const auto l = IslandLayout::make(config(), g);
    EXPECT_EQ(l.bodyWidth, 400);
    EXPECT_EQ(l.bodyHeight, 216);
    EXPECT_EQ(l.contentTopInset, 56);
    EXPECT_EQ(l.bodyOrigin, QPointF(73, 0));
    EXPECT_EQ(l.windowFrame, QRectF(756 - 200 - 73, 0, 546, 264));
    EXPECT_EQ(l.screenTopInset, 0);
    EXPECT_EQ(l.cutoutWidth, 180);
    EXPECT_EQ(l.cutoutHeight, 24);
    EXPECT_EQ(l.menuBarHeight, 24);
}

TEST(IslandLayout, absurdSettingsAreBoundedByTheCutout) {
    const auto g = NotchGeometry::measure(laptop(), 180);
    const auto l = IslandLayout::make(config(IslandPlacement::topCenter(), -10, 0), g);
    EXPECT_EQ(l.bodyWidth, 230);
    EXPECT_EQ(l.contentTopInset, 44);
    const auto n = IslandLayout::make(
        config(IslandPlacement::topCenter(), std::numeric_limits<double>::quiet_NaN()), g);
    EXPECT_EQ(n.bodyWidth, 230);
}

TEST(IslandLayout, theIslandNeverOutgrowsItsScreen) {
    ScreenFacts small = laptop();
    small.frame = QRectF(0, 0, 640, 480);
    small.visibleFrame = QRectF(0, 0, 640, 456);
    const auto g = NotchGeometry::measure(small, 180);
    const auto l = IslandLayout::make(config(IslandPlacement::topCenter(), 900, 5000), g);
    EXPECT_EQ(l.bodyWidth, 640 - 2 * Metrics::filletSize);
    EXPECT_LE(l.bodyHeight, 480);
    EXPECT_GE(l.windowFrame.left() + Metrics::shadowBleed, small.frame.left());
}

TEST(IslandLayout, placementsAndTheirClamps) {
    const auto g = NotchGeometry::measure(laptop(), 180);
    auto originOf = [&](IslandPlacement p) { return IslandLayout::make(config(p), g); };

    EXPECT_EQ(originOf(IslandPlacement::topLeading()).windowFrame.left(), 25 - 73);
    EXPECT_EQ(originOf(IslandPlacement::topTrailing()).windowFrame.left(), 1512 - 400 - 25 - 73);

    const auto nearTop = originOf(IslandPlacement::free(300, 7.9));
    EXPECT_EQ(nearTop.screenTopInset, 0);
    const auto lower = originOf(IslandPlacement::free(300, 8));
    EXPECT_EQ(lower.screenTopInset, 8);
    EXPECT_EQ(lower.windowFrame.top(), 8);
    EXPECT_EQ(lower.placement, IslandPlacement::free(300, 8));

    EXPECT_EQ(originOf(IslandPlacement::free(5000, 100)).windowFrame.left(), 1512 - 425 - 73);
    EXPECT_EQ(originOf(IslandPlacement::free(300, 5000)).screenTopInset, 982 - 216);
    ScreenFacts tiny = laptop();
    tiny.frame = QRectF(0, 0, 300, 200);
    tiny.visibleFrame = QRectF(0, 0, 300, 176);
    const auto onTiny = IslandLayout::make(config(IslandPlacement::free(200, 50)),
                                           NotchGeometry::measure(tiny, 180));
    EXPECT_EQ(onTiny.windowFrame.left(), 25 - 73);
    EXPECT_EQ(onTiny.screenTopInset, 0);
}

TEST(IslandLayout, windowOriginsAreWholePointsRoundedAwayFromZero) {
    ScreenFacts s = laptop();
    s.frame = QRectF(0, 0, 1000, 800);
    const auto g = NotchGeometry::measure(s, 180);
    const auto l = IslandLayout::make(config(IslandPlacement::free(100.5, 20.5)), g);
    EXPECT_EQ(l.windowFrame.left(), 28);
    EXPECT_EQ(l.windowFrame.top(), 21);
}

TEST(IslandLayout, hitTestPathFollowsLiveStateAndPlacement) {
    const auto g = NotchGeometry::measure(laptop(), 180);
    const auto centred = IslandLayout::make(config(), g);
    EXPECT_TRUE(centred.hitTestPath(false).isEmpty());

    const QPainterPath live = centred.hitTestPath(true);
    EXPECT_FALSE(live.contains(QPointF(273, 20))); // the cover strip lets clicks through
    EXPECT_TRUE(live.contains(QPointF(273, 120))); // the script area takes them
    EXPECT_FALSE(live.contains(QPointF(20, 120))); // the shadow margin does not

    const auto moved = IslandLayout::make(config(IslandPlacement::free(300, 100)), g);
    const QPainterPath idle = moved.hitTestPath(false);
    EXPECT_TRUE(idle.contains(moved.controlRect(0).center()));
    EXPECT_TRUE(idle.contains(moved.controlRect(1).center()));
    EXPECT_EQ(moved.controlRect(0).left() - moved.controlRect(1).left(), 30);
    EXPECT_EQ(moved.controlRect(0).right(), 73 + 400 - 18);
    EXPECT_TRUE(moved.hitTestPath(true).contains(QPointF(273, 10)));

    // Slid partly under the top panel: that part belongs to the panel.
    const auto under = IslandLayout::make(config(IslandPlacement::free(300, 10)), g);
    const QPainterPath path = under.hitTestPath(true);
    EXPECT_FALSE(path.contains(QPointF(150, 8)));
    EXPECT_TRUE(path.contains(QPointF(150, 20)));
}

TEST(IslandSilhouette, liveFlushIslandHasFilletsAndIdleShrinksIntoTheCutout) {
    const auto g = NotchGeometry::measure(laptop(), 180);
    const auto l = IslandLayout::make(config(), g);

    const auto live = IslandSilhouette::forLayout(l, true, false);
    EXPECT_EQ(live.bodySize, QSizeF(400, 216));
    EXPECT_EQ(live.filletSize, 25);
    EXPECT_EQ(live.topRadius, 0);
    EXPECT_EQ(live.centerX, 273);
    const QRectF bounds = live.path().boundingRect();
    EXPECT_EQ(bounds, QRectF(73 - 25, 0, 450, 216));

    const auto idle = IslandSilhouette::forLayout(l, false, false);
    EXPECT_EQ(idle.bodySize, QSizeF(180, 24));
    EXPECT_EQ(idle.filletSize, 0);

    const auto dragging = IslandSilhouette::forLayout(l, true, true);
    EXPECT_EQ(dragging.filletSize, 0);
    EXPECT_EQ(dragging.topRadius, 13);

    IslandSilhouette plain{100, 0, QSizeF(200, 100), 0, 13, 0};
    EXPECT_EQ(plain.path().boundingRect(), QRectF(0, 0, 200, 100));
    EXPECT_TRUE(plain.path().contains(QPointF(1, 1)));   // square top corner
    EXPECT_FALSE(plain.path().contains(QPointF(1, 99))); // rounded bottom corner
}

TEST(IslandBodyShape, separateTopAndBottomRadii) {
    const IslandBodyShape shape{13, 0};
    const QPainterPath p = shape.path(QRectF(0, 0, 100, 50));
    EXPECT_EQ(p.boundingRect(), QRectF(0, 0, 100, 50));
    EXPECT_TRUE(p.contains(QPointF(0.5, 0.5)));
    EXPECT_FALSE(p.contains(QPointF(0.5, 49.5)));
}

TEST(IslandLayoutModel, assigningAnEqualValueNotifiesNobody) {
    IslandLayoutModel model;
    QSignalSpy layout(&model, &IslandLayoutModel::layoutChanged);
    QSignalSpy geometry(&model, &IslandLayoutModel::geometryChanged);
    EXPECT_EQ(model.layout().bodyOrigin, QPointF(73, 0));
    model.setLayout(IslandLayout());
    EXPECT_EQ(layout.count(), 0);
    const auto g = NotchGeometry::measure(laptop(), 180);
    model.setGeometry(g);
    model.setGeometry(g);
    EXPECT_EQ(geometry.count(), 1);
    model.setLayout(IslandLayout::make(config(), g));
    model.setLayout(IslandLayout::make(config(), g));
    EXPECT_EQ(layout.count(), 1);
}

TEST(IslandLayoutModel, dragEndsAfterTheSettleDelay) {
    ManualScheduler clock;
    IslandLayoutModel model(clock);
    QSignalSpy began(&model, &IslandLayoutModel::dragBegan);
    QSignalSpy ended(&model, &IslandLayoutModel::dragEnded);

    model.beginDrag();
    EXPECT_TRUE(model.isDragging());
    model.endDrag();
    EXPECT_EQ(began.count(), 1);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(model.isDragging());
    clock.advance(0.17);
    EXPECT_TRUE(model.isDragging());
    clock.advance(0.01);
    EXPECT_FALSE(model.isDragging());

    // The delayed action must not touch a model that is gone.
    {
        IslandLayoutModel gone(clock);
        gone.beginDrag();
        gone.endDrag();
    }
    clock.advance(1);
}
