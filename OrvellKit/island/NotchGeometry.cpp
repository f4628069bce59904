#include "island/NotchGeometry.h"

NotchGeometry NotchGeometry::measure(const ScreenFacts &screen, double pillWidth) {
    const QRectF frame = screen.frame;
    const double panel = screen.visibleFrame.top() - frame.top();
    const double thickness = screen.statusBarThickness;
    const double menuBarHeight = panel <= thickness ? thickness : panel;

    const QRectF left = screen.auxiliaryTopLeftArea;
    const QRectF right = screen.auxiliaryTopRightArea;

    NotchGeometry g;
    g.screenFrame = frame;
    g.menuBarHeight = menuBarHeight;
    if (left.isEmpty() || right.isEmpty()) {
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
