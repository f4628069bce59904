#pragma once

#include <QWidget>

class AppEnvironment;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

// The look of the script and the island: text size, line height, width,
// position and the cover strip, each slider writing while it moves.
class AppearanceSettingsView : public QWidget {
    Q_OBJECT

public:
    explicit AppearanceSettingsView(AppEnvironment &env, QWidget *parent = nullptr);

    // "24 pt"; "1.50×  (36 pt)": the multiple and the line it makes, truncated.
    static QString pointsText(double points);
    static QString lineHeightText(double multiple, double fontSize);

    QSlider *fontSize() const { return m_fontSize; }
    QSlider *lineHeight() const { return m_lineHeight; }
    QSlider *islandWidth() const { return m_width; }
    QSlider *coverHeight() const { return m_cover; }
    QLabel *fontSizeValue() const { return m_fontSizeValue; }
    QLabel *lineHeightValue() const { return m_lineHeightValue; }
    QComboBox *position() const { return m_position; }
    QPushButton *resetPosition() const { return m_resetPosition; }
    QPushButton *resetToDefaults() const { return m_reset; }

private:
    void refresh();

    AppEnvironment &m_env;
    QSlider *m_fontSize = nullptr;
    QSlider *m_lineHeight = nullptr;
    QSlider *m_width = nullptr;
    QSlider *m_cover = nullptr;
    QLabel *m_fontSizeValue = nullptr;
    QLabel *m_lineHeightValue = nullptr;
    QLabel *m_widthValue = nullptr;
    QLabel *m_coverValue = nullptr;
    QComboBox *m_position = nullptr;
    QPushButton *m_resetPosition = nullptr;
    QPushButton *m_reset = nullptr;
};
