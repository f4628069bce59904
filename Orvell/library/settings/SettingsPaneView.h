#pragma once

#include "Orvell/library/settings/SettingsPane.h"

#include <QWidget>

class AppEnvironment;
class QBoxLayout;
class QGroupBox;
class QLabel;
class QVBoxLayout;

// One settings pane: a header with its title, then its form, at most 680
// points wide, centred and anchored to the top. The pane is made when its
// sidebar row is chosen and dropped when another is; everything it changes
// is written straight to the settings as the user drags or clicks.
class SettingsPaneView : public QWidget {
    Q_OBJECT

public:
    SettingsPaneView(SettingsPane pane, AppEnvironment &env, QWidget *parent = nullptr);

    SettingsPane pane() const { return m_pane; }
    QWidget *form() const { return m_form; }

    static constexpr int maximumFormWidth = 680;

    // The pieces every pane is built of.
    static QGroupBox *section(const QString &title, QWidget *parent);
    static QLabel *caption(const QString &text, QWidget *parent);
    // A label in the warning colour, hidden while it has no text.
    static QLabel *problem(QWidget *parent);
    static void setProblem(QLabel *label, const QString &text);
    // A control that takes the width, with another beside it on the right.
    static QWidget *row(QWidget *wide, QWidget *beside, QWidget *parent);

private:
    SettingsPane m_pane;
    QWidget *m_form = nullptr;
};
