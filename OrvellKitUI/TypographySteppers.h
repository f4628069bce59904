#pragma once

#include <QWidget>

class GlassButton;
class QLabel;
class ReadingPreferences;

// "Text size" and "Line height", each with a minus and a plus, writing
// through the reading preferences (which keep them within their bounds).
class TypographySteppers : public QWidget {
    Q_OBJECT

public:
    static constexpr double fontSizeStep = 1;
    static constexpr double lineHeightStep = 0.05;

    explicit TypographySteppers(ReadingPreferences &prefs, QWidget *parent = nullptr);

    GlassButton *decreaseSize() const { return m_buttons[0]; }
    GlassButton *increaseSize() const { return m_buttons[1]; }
    GlassButton *decreaseLineHeight() const { return m_buttons[2]; }
    GlassButton *increaseLineHeight() const { return m_buttons[3]; }

private:
    void refresh();

    ReadingPreferences &m_prefs;
    GlassButton *m_buttons[4] = {};
    QLabel *m_values[2] = {};
};
