#pragma once

#include "island/ScreenFacts.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class AppEnvironment;
class AudioSource;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

// Where the island shows, how the app sits in the desktop, voice follow and
// the pace guide, and what screen capture sees.
class GeneralSettingsView : public QWidget {
    Q_OBJECT

public:
    struct Microphone {
        QString id;
        QString name;
    };
    // What the desktop has; replaced in tests.
    struct Sources {
        std::function<std::vector<ScreenFacts>()> displays;
        std::function<std::vector<Microphone>()> microphones;
    };

    explicit GeneralSettingsView(AppEnvironment &env, QWidget *parent = nullptr,
                                 Sources sources = {});
    ~GeneralSettingsView() override;

    // The level meter's reading of a block of samples: 0 at -60 dBFS or below, 100 at full scale.
    static int meterLevel(const float *samples, std::size_t count);

    QComboBox *display() const { return m_display; }
    QCheckBox *taskbar() const { return m_taskbar; }
    QCheckBox *aboveFullScreen() const { return m_aboveFullScreen; }
    QCheckBox *launchAtLogin() const { return m_launchAtLogin; }
    QLabel *launchAtLoginProblem() const { return m_loginProblem; }
    QCheckBox *keepScreenAwake() const { return m_keepAwake; }
    QCheckBox *countdown() const { return m_countdown; }
    QCheckBox *cues() const { return m_cues; }
    QLabel *keepScreenAwakeProblem() const { return m_awakeProblem; }
    QCheckBox *voiceFollow() const { return m_voiceFollow; }
    QLabel *voiceFollowNote() const { return m_voiceNote; }
    QComboBox *language() const { return m_language; }
    QSpinBox *lookahead() const { return m_lookahead; }
    QLabel *voiceStatus() const { return m_voiceStatus; }
    QComboBox *microphone() const { return m_microphone; }
    QLabel *microphoneNote() const { return m_microphoneNote; }
    QProgressBar *inputLevel() const { return m_level; }
    QCheckBox *paceGuide() const { return m_paceGuide; }
    QSpinBox *target() const { return m_target; }
    QLabel *targetLabel() const { return m_targetLabel; }
    QLabel *naturalLine() const { return m_natural; }
    QLabel *targetProblem() const { return m_targetProblem; }
    QPushButton *useNatural() const { return m_useNatural; }
    QLabel *noScript() const { return m_noScript; }
    QComboBox *pauses() const { return m_pauses; }
    QComboBox *rhythmVoice() const { return m_rhythmVoice; }
    QLabel *paceStatus() const { return m_paceStatus; }
    bool isMeterOpen() const { return m_meterSource != nullptr; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void fillDisplays();
    void fillMicrophones();
    void fillRhythmVoices();
    void refresh();
    void refreshVoice();
    void refreshPace();
    void openMeter();
    void closeMeter();

    AppEnvironment &m_env;
    Sources m_sources;
    QComboBox *m_display = nullptr;
    QCheckBox *m_taskbar = nullptr;
    QCheckBox *m_aboveFullScreen = nullptr;
    QCheckBox *m_launchAtLogin = nullptr;
    QLabel *m_loginProblem = nullptr;
    QCheckBox *m_keepAwake = nullptr;
    QCheckBox *m_countdown = nullptr;
    QCheckBox *m_cues = nullptr;
    QLabel *m_awakeProblem = nullptr;
    QCheckBox *m_voiceFollow = nullptr;
    QLabel *m_voiceNote = nullptr;
    QComboBox *m_language = nullptr;
    QSpinBox *m_lookahead = nullptr;
    QLabel *m_voiceStatus = nullptr;
    QComboBox *m_microphone = nullptr;
    QLabel *m_microphoneNote = nullptr;
    QProgressBar *m_level = nullptr;
    QCheckBox *m_paceGuide = nullptr;
    QLabel *m_targetLabel = nullptr;
    QSpinBox *m_target = nullptr;
    QLabel *m_natural = nullptr;
    QLabel *m_targetProblem = nullptr;
    QPushButton *m_useNatural = nullptr;
    QLabel *m_noScript = nullptr;
    QComboBox *m_pauses = nullptr;
    QComboBox *m_rhythmVoice = nullptr;
    QLabel *m_paceStatus = nullptr;
    std::unique_ptr<AudioSource> m_meterSource;
    QString m_meterError;
    int m_meterPeak = 0;
    QTimer *m_meterDecay = nullptr;
};
