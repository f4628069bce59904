#include "Orvell/library/settings/AppearanceSettingsView.h"

#include "Orvell/core/AppEnvironment.h"
#include "Orvell/library/settings/SettingsPaneView.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Line heights move in steps of 0.05: the slider counts twentieths.
constexpr double lineStep = 0.05;

QSlider *slider(int lo, int hi, int step, const QString &name, QWidget *parent) {
    auto *s = new QSlider(Qt::Horizontal, parent);
    s->setRange(lo, hi);
    s->setSingleStep(1);
    s->setPageStep(step * 4);
    s->setAccessibleName(name);
    return s;
}

QLabel *valueColumn(int width, QWidget *parent) {
    auto *label = new QLabel(parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setFixedWidth(width);
    return label;
}

const char *const placements[][2] = {{"Top left", "topLeading"},
                                     {"Top centre", "topCenter"},
                                     {"Top right", "topTrailing"},
                                     {"Custom (dragged)", "free"}};

} // namespace

QString AppearanceSettingsView::pointsText(double points) {
    return QStringLiteral("%1 pt").arg(static_cast<qlonglong>(std::llround(points)));
}

QString AppearanceSettingsView::lineHeightText(double multiple, double fontSize) {
    // Truncated, as the line height a reader would measure is whole points.
    const int points = static_cast<int>(fontSize * multiple + 1e-9);
    return QString::asprintf("%.2f\u00D7  (%d pt)", multiple, points);
}

AppearanceSettingsView::AppearanceSettingsView(AppEnvironment &env, QWidget *parent)
    : QWidget(parent)
    , m_env(env) {
    Preferences &prefs = env.prefs();
    ReadingPreferences &reading = prefs.reading();
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);

    QGroupBox *script = SettingsPaneView::section(QStringLiteral("Script"), this);
    auto *scriptForm = new QFormLayout(script);
    m_fontSize = slider(14, 48, 1, QStringLiteral("Text size"), script);
    m_fontSizeValue = valueColumn(46, script);
    scriptForm->addRow(QStringLiteral("Text size"),
                       SettingsPaneView::row(m_fontSize, m_fontSizeValue, script));
    m_lineHeight = slider(20, 50, 1, QStringLiteral("Line height"), script);
    m_lineHeightValue = valueColumn(110, script);
    QFont small = m_lineHeightValue->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_lineHeightValue->setFont(small);
    scriptForm->addRow(QStringLiteral("Line height"),
                       SettingsPaneView::row(m_lineHeight, m_lineHeightValue, script));
    column->addWidget(script);

    QGroupBox *island = SettingsPaneView::section(QStringLiteral("Island"), this);
    auto *islandForm = new QFormLayout(island);
    m_width = slider(28, 90, 1, QStringLiteral("Width"), island);
    m_widthValue = valueColumn(46, island);
    islandForm->addRow(QStringLiteral("Width"),
                       SettingsPaneView::row(m_width, m_widthValue, island));
    m_position = new QComboBox(island);
    m_position->setAccessibleName(QStringLiteral("Position"));
    for (const auto &p : placements)
        m_position->addItem(QString::fromUtf8(p[0]), QString::fromLatin1(p[1]));
    m_resetPosition = new QPushButton(QStringLiteral("Reset position to top centre"), island);
    islandForm->addRow(QStringLiteral("Position"),
                       SettingsPaneView::row(m_position, m_resetPosition, island));
    islandForm->addRow(SettingsPaneView::caption(
        QStringLiteral("Drag the island anywhere to move it; it stays where you put it. Top centre "
                       "is the only position that hides the notch, and the only one without close "
                       "and reset buttons."),
        island));
    m_cover = slider(16, 60, 1, QStringLiteral("Camera cover"), island);
    m_coverValue = valueColumn(46, island);
    islandForm->addRow(QStringLiteral("Camera cover"),
                       SettingsPaneView::row(m_cover, m_coverValue, island));
    islandForm->addRow(SettingsPaneView::caption(
        QStringLiteral("The black strip at the top that hides the notch. Nothing is drawn there "
                       "\u2014 content would be cut in half by the cutout. Raise it if any text "
                       "shows through."),
        island));
    column->addWidget(island);

    QGroupBox *defaults = SettingsPaneView::section(QString(), this);
    defaults->setAccessibleName(QStringLiteral("Defaults"));
    auto *defaultsRow = new QHBoxLayout(defaults);
    m_reset = new QPushButton(QStringLiteral("Reset to defaults"), defaults);
    defaultsRow->addWidget(m_reset);
    defaultsRow->addStretch(1);
    column->addWidget(defaults);
    column->addStretch(1);

    connect(m_fontSize, &QSlider::valueChanged, this,
            [&reading](int v) { reading.setFontSize(v); });
    connect(m_lineHeight, &QSlider::valueChanged, this,
            [&reading](int v) { reading.setLineHeightMultiple(v * lineStep); });
    connect(m_width, &QSlider::valueChanged, this,
            [&prefs](int v) { prefs.setIslandWidth(v * 10); });
    connect(m_cover, &QSlider::valueChanged, this,
            [&prefs](int v) { prefs.setNotchCoverHeight(v * 2); });
    connect(m_position, &QComboBox::activated, this, [this, &prefs](int index) {
        prefs.selectPlacement(m_position->itemData(index).toString());
        // "Custom (dragged)" is made by dragging, never by the picker.
        refresh();
    });
    connect(m_resetPosition, &QPushButton::clicked, this,
            [&prefs] { prefs.selectPlacement(QStringLiteral("topCenter")); });
    connect(m_reset, &QPushButton::clicked, this, [&prefs] { prefs.resetAppearance(); });

    // Whatever changes them (the deck's steppers, a drag, the settings file).
    for (auto signal :
         {&ReadingPreferences::fontSizeChanged, &ReadingPreferences::lineHeightMultipleChanged})
        connect(&reading, signal, this, &AppearanceSettingsView::refresh);
    for (auto signal : {&Preferences::islandWidthChanged, &Preferences::notchCoverHeightChanged,
                        &Preferences::islandPlacementChanged})
        connect(&prefs, signal, this, &AppearanceSettingsView::refresh);
    refresh();
}

void AppearanceSettingsView::refresh() {
    const Preferences &prefs = m_env.prefs();
    const ReadingPreferences &reading = prefs.reading();
    const double size = reading.fontSize();
    const double multiple = reading.lineHeightMultiple();
    {
        const QSignalBlocker a(m_fontSize), b(m_lineHeight), c(m_width), d(m_cover);
        m_fontSize->setValue(static_cast<int>(std::lround(size)));
        m_lineHeight->setValue(static_cast<int>(std::lround(multiple / lineStep)));
        m_width->setValue(static_cast<int>(std::lround(prefs.islandWidth() / 10)));
        m_cover->setValue(static_cast<int>(std::lround(prefs.notchCoverHeight() / 2)));
    }
    m_fontSizeValue->setText(pointsText(size));
    m_lineHeightValue->setText(lineHeightText(multiple, size));
    m_widthValue->setText(pointsText(prefs.islandWidth()));
    m_coverValue->setText(pointsText(prefs.notchCoverHeight()));
    const QString placement = prefs.islandPlacementName();
    m_position->setCurrentIndex(std::max(0, m_position->findData(placement)));
    m_resetPosition->setEnabled(placement != QLatin1StringView("topCenter"));
}
