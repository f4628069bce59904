// Writes Orvell's icon as PNG files for the icon theme:
// orvell-icon OUTDIR  ->  OUTDIR/<n>x<n>/apps/org.orvell.Orvell.png
#include "OrvellKitUI/AppIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvell-icon OUTDIR\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        const QString file = dir + QStringLiteral("/org.orvell.Orvell.png");
        if (!QDir().mkpath(dir) || !AppIcon::pixmap(size).save(file, "PNG")) {
            std::fprintf(stderr, "orvell-icon: could not write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
