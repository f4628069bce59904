#include "text/Typography.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLoggingCategory>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcTypography, "org.orvell.Orvell.Typography")

namespace Typography {

static QString scriptFamily() {
    static const QString family = [] {
        const int id =
            QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/Inter-Medium.otf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty()) {
            qCWarning(lcTypography) << "the bundled script font could not be loaded";
            return QGuiApplication::font().family();
        }
        return families.first();
    }();
    return family;
}

QFont scriptFont(double fontSize) {
    QFont font(scriptFamily());
    font.setWeight(QFont::Medium);
    font.setPointSizeF(fontSize > 0 ? fontSize : 1);
    // Hinting would snap advances to the device's pixel grid and make line
    // breaks depend on the screen.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
}

QPaintDevice *layoutDevice() {
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = static_cast<int>(std::lround(72 / 0.0254));
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return &device;
}

double naturalLineHeight(double fontSize) {
    const QFontMetricsF metrics(scriptFont(fontSize), layoutDevice());
    return std::ceil(metrics.ascent() + metrics.descent() + metrics.leading());
}

double lineSpacing(double fontSize, double lineHeightMultiple) {
    return std::max(0.0, lineHeightMultiple * fontSize - naturalLineHeight(fontSize));
}

} // namespace Typography
