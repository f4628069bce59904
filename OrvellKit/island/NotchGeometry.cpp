#include "island/NotchGeometry.h"

NotchGeometry NotchGeometry::measure(const ScreenFacts &screen, double pillWidth) {
    QRectF frame = screen.frame;
    const QRectF left = screen.auxiliaryTopLeftArea;
    const QRectF right = screen.auxiliaryTopRightArea;
    const bool housing = !left.isEmpty() && !right.isEmpty();
    double panel = screen.visibleFrame.isEmpty() ? 0 : screen.visibleFrame.top() - frame.top();
    // A work area that starts a quarter of the way down is not a top panel.
    if (panel < 0 || panel > frame.height() / 4)
        panel = 0;
    const double thickness = screen.statusBarThickness;

    NotchGeometry g;
    if (!housing && panel > 0) {
        // A top panel (GNOME's top bar, a KDE or Xfce top panel) keeps its
        // clock, menus and indicators: the island and its camera cover hang
        // from the panel's lower edge, as if the display began there.
        frame.setTop(frame.top() + panel);
        g.topPanel = panel;
        panel = 0;
    }
    g.screenFrame = frame;
    g.menuBarHeight = panel <= thickness ? thickness : panel;
    const double menuBarHeight = g.menuBarHeight;
    if (!housing) {
        g.kind = Kind::synthesizedPill;
        g.cutoutRect =
            QRectF(frame.center().x() - pillWidth / 2, frame.top(), pillWidth, menuBarHeight);
    } else {
        const double inset = screen.safeAreaTopInset;
        g.kind = Kind::hardwareNotch;
        g.cutoutRect = QRectF(frame.left() + left.width(), frame.top(),
                              frame.width() - left.width() - right.width(), inset);
    }
    return g;
}
