#include "Platform/session/QtScreens.h"

#include <QGuiApplication>
#include <QScreen>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

TEST(QtScreens, builtInPanelsAreRecognisedByTheirOutputName) {
    EXPECT_TRUE(QtScreens::isBuiltInOutput("eDP-1"));
    EXPECT_TRUE(QtScreens::isBuiltInOutput("LVDS1"));
    EXPECT_TRUE(QtScreens::isBuiltInOutput("DSI-1"));
    EXPECT_FALSE(QtScreens::isBuiltInOutput("HDMI-A-1"));
    EXPECT_FALSE(QtScreens::isBuiltInOutput("DP-2"));
}

TEST(QtScreens, factsComeFromTheScreenAndReportNoHousing) {
    const QScreen *screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const ScreenFacts f = QtScreens::facts(screen);
    EXPECT_EQ(f.frame, QRectF(screen->geometry()));
    EXPECT_EQ(f.visibleFrame, QRectF(screen->availableGeometry()));
    EXPECT_TRUE(f.auxiliaryTopLeftArea.isEmpty());
    EXPECT_EQ(f.statusBarThickness, 24);
}
