#include "OrvellKitUI/TypographySteppers.h"

#include "OrvellKitUI/GlassButton.h"
#include "OrvellKitUI/Tokens.h"
#include "settings/ReadingPreferences.h"

#include <QGridLayout>
#include <QLabel>

TypographySteppers::TypographySteppers(ReadingPreferences &prefs, QWidget *parent)
    : QWidget(parent)
    , m_prefs(prefs) {
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    const QString rows[2] = {QStringLiteral("Text size"), QStringLiteral("Line height")};
    for (int row = 0; row < 2; ++row) {
        auto *label = new QLabel(rows[row], this);
        label->setStyleSheet(QStringLiteral("color: rgba(255,255,255,166);"));
        m_values[row] = new QLabel(this);
        m_values[row]->setStyleSheet(QStringLiteral("color: white;"));
        m_values[row]->setMinimumWidth(36);
        m_values[row]->setAlignment(Qt::AlignCenter);
        m_buttons[row * 2] = new GlassButton(GlassButton::Glyph::minus,
                                             QStringLiteral("Decrease ") + rows[row], 24, this);
        m_buttons[row * 2 + 1] = new GlassButton(GlassButton::Glyph::plus,
                                                 QStringLiteral("Increase ") + rows[row], 24, this);
        grid->addWidget(label, row, 0);
        grid->addWidget(m_buttons[row * 2], row, 1);
        grid->addWidget(m_values[row], row, 2);
        grid->addWidget(m_buttons[row * 2 + 1], row, 3);
    }
    grid->setColumnStretch(0, 1);
    connect(m_buttons[0], &QAbstractButton::clicked, this,
            [this] { m_prefs.setFontSize(m_prefs.fontSize() - fontSizeStep); });
    connect(m_buttons[1], &QAbstractButton::clicked, this,
            [this] { m_prefs.setFontSize(m_prefs.fontSize() + fontSizeStep); });
    connect(m_buttons[2], &QAbstractButton::clicked, this, [this] {
        m_prefs.setLineHeightMultiple(m_prefs.lineHeightMultiple() - lineHeightStep);
    });
    connect(m_buttons[3], &QAbstractButton::clicked, this, [this] {
        m_prefs.setLineHeightMultiple(m_prefs.lineHeightMultiple() + lineHeightStep);
    });
    connect(&prefs, &ReadingPreferences::fontSizeChanged, this, &TypographySteppers::refresh);
    connect(&prefs, &ReadingPreferences::lineHeightMultipleChanged, this,
            &TypographySteppers::refresh);
    refresh();
}

void TypographySteppers::refresh() {
    const double size = m_prefs.fontSize();
    const double line = m_prefs.lineHeightMultiple();
    m_values[0]->setText(QString::number(size, 'f', 0));
    m_values[1]->setText(QString::number(line, 'f', 2));
    m_buttons[0]->setFaint(size <= ReadingPreferences::fontSizeMin);
    m_buttons[1]->setFaint(size >= ReadingPreferences::fontSizeMax);
    m_buttons[2]->setFaint(line <= ReadingPreferences::lineHeightMin);
    m_buttons[3]->setFaint(line >= ReadingPreferences::lineHeightMax);
}
