#include <QGuiApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    // Fonts and text layout need a GUI application; offscreen needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
