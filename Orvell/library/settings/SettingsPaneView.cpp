#include "Orvell/library/settings/SettingsPaneView.h"

#include "Orvell/library/settings/AppearanceSettingsView.h"
#include "Orvell/library/settings/GeneralSettingsView.h"
#include "Orvell/library/settings/ShortcutSettingsView.h"
#include "OrvellKitUI/WheelGuard.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

SettingsPaneView::SettingsPaneView(SettingsPane pane, AppEnvironment &env, QWidget *parent)
    : QWidget(parent)
    , m_pane(pane) {
    setAccessibleName(SettingsPanes::names.title(pane) + QStringLiteral(" settings"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *header = new QWidget(this);
    auto *headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(24, 14, 24, 14);
    auto *icon = new QLabel(header);
    icon->setPixmap(QIcon::fromTheme(SettingsPanes::iconName(pane)).pixmap(22, 22));
    auto *title = new QLabel(SettingsPanes::names.title(pane), header);
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 1.35);
    font.setWeight(QFont::DemiBold);
    title->setFont(font);
    title->setAccessibleName(SettingsPanes::names.title(pane));
    headerRow->addWidget(icon);
    headerRow->addWidget(title, 1);
    column->addWidget(header);
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider);

    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto *page = new QWidget(scroll);
    auto *centre = new QHBoxLayout(page);
    centre->setContentsMargins(16, 8, 16, 16);
    switch (pane) {
    case SettingsPane::general:
        m_form = new GeneralSettingsView(env, page);
        break;
    case SettingsPane::appearance:
        m_form = new AppearanceSettingsView(env, page);
        break;
    case SettingsPane::shortcuts:
        m_form = new ShortcutSettingsView(env, page);
        break;
    }
    m_form->setMaximumWidth(maximumFormWidth);
    centre->addStretch(1);
    centre->addWidget(m_form, 100, Qt::AlignTop);
    centre->addStretch(1);
    // The page fits the pane's width: it scrolls down, never sideways. Lists
    // of long names (displays, languages, voices) show them shortened, whole
    // when opened.
    for (QComboBox *list : page->findChildren<QComboBox *>()) {
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->setMinimumContentsLength(12);
    }
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(page);
    column->addWidget(scroll, 1);
    WheelGuard::protect(page);
}

QGroupBox *SettingsPaneView::section(const QString &title, QWidget *parent) {
    auto *box = new QGroupBox(title, parent);
    box->setAccessibleName(title);
    return box;
}

QLabel *SettingsPaneView::caption(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    label->setFont(small);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel *SettingsPaneView::problem(QWidget *parent) {
    auto *label = new QLabel(parent);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #b3261e;"));
    label->hide();
    return label;
}

void SettingsPaneView::setProblem(QLabel *label, const QString &text) {
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

QWidget *SettingsPaneView::row(QWidget *wide, QWidget *beside, QWidget *parent) {
    auto *w = new QWidget(parent);
    auto *h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(wide, 1);
    h->addWidget(beside);
    return w;
}
