#include "Orvell/library/settings/GeneralSettingsView.h"

#include "Orvell/core/AppEnvironment.h"
#include "Orvell/core/CaptureShield.h"
#include "Orvell/core/ScreenObserver.h"
#include "Orvell/library/settings/SettingsPaneView.h"
#include "Platform/audio/MicrophoneSource.h"
#include "pace/RhythmVoice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <cmath>

namespace {

// A stepper over seconds that reads and writes m:ss.
// Any time can be typed, so one outside what the script allows can be
// refused with the reason; the arrows stay within it.
class TimeSpinBox : public QSpinBox {
public:
    explicit TimeSpinBox(QWidget *parent)
        : QSpinBox(parent) {
        setRange(0, 999 * 60 + 59);
    }
    void setAllowed(int low, int high) {
        m_low = low;
        m_high = std::max(low, high);
    }
    void stepBy(int steps) override {
        setValue(std::clamp(value() + steps * singleStep(), m_low, m_high));
    }

protected:
    StepEnabled stepEnabled() const override {
        StepEnabled can = StepNone;
        if (value() > m_low)
            can |= StepDownEnabled;
        if (value() < m_high)
            can |= StepUpEnabled;
        return can;
    }
    QString textFromValue(int value) const override { return PaceGuide::format(value); }
    int valueFromText(const QString &text) const override {
        const QStringList parts = text.split(QLatin1Char(':'));
        if (parts.size() == 2)
            return parts[0].trimmed().toInt() * 60 + parts[1].trimmed().toInt();
        return text.trimmed().toInt();
    }
    QValidator::State validate(QString &text, int &) const override {
        static const QRegularExpression whole(QStringLiteral(R"(^\s*\d{1,3}:\d\d\s*$)"));
        static const QRegularExpression part(QStringLiteral(R"(^\s*\d{0,3}(:\d{0,2})?\s*$)"));
        if (whole.match(text).hasMatch())
            return QValidator::Acceptable;
        return part.match(text).hasMatch() ? QValidator::Intermediate : QValidator::Invalid;
    }

private:
    int m_low = 0;
    int m_high = 999 * 60 + 59;
};

QString languageName(const QString &locale) {
    const QLocale l(locale);
    if (l.language() == QLocale::C)
        return locale;
    QString name = QLocale::languageToString(l.language());
    if (l.territory() != QLocale::AnyTerritory)
        name += QStringLiteral(" (") + QLocale::territoryToString(l.territory()) + QLatin1Char(')');
    return name;
}

QString displayTitleOf(const QString &stored) {
    const ScreenObserver::Target t = ScreenObserver::Target::fromStored(stored);
    if (!t.identity.isEmpty()) {
        const auto gone = ScreenFacts::fromIdentity(t.identity);
        return (gone ? gone->title() : t.identity) + QStringLiteral(" \u2014 not connected");
    }
    return QStringLiteral("Display %1").arg(t.display);
}

// The meter's level is written where the audio arrives and read by a timer.
std::atomic<int> meterPeak{0};

} // namespace

int GeneralSettingsView::meterLevel(const float *samples, std::size_t count) {
    if (count == 0)
        return 0;
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    const double rms = std::sqrt(sum / static_cast<double>(count));
    const double db = rms > 0 ? 20 * std::log10(rms) : -120;
    return static_cast<int>(std::clamp((db + 60) / 60 * 100, 0.0, 100.0));
}

GeneralSettingsView::GeneralSettingsView(AppEnvironment &env, QWidget *parent, Sources sources)
    : QWidget(parent)
    , m_env(env)
    , m_sources(std::move(sources)) {
    if (!m_sources.displays)
        m_sources.displays = &ScreenObserver::connectedDisplays;
    if (!m_sources.microphones)
        m_sources.microphones = [] {
            std::vector<Microphone> list;
            for (const MicrophoneSource::Input &input : MicrophoneSource::inputs())
                list.push_back({input.id, input.name});
            return list;
        };
    Preferences &prefs = env.prefs();
    ReadingPreferences &reading = prefs.reading();
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);

    // Display.
    QGroupBox *displayBox = SettingsPaneView::section(QStringLiteral("Display"), this);
    auto *displayForm = new QFormLayout(displayBox);
    m_display = new QComboBox(displayBox);
    m_display->setAccessibleName(QStringLiteral("Show island on"));
    displayForm->addRow(QStringLiteral("Show island on"), m_display);
    displayForm->addRow(SettingsPaneView::caption(
        QStringLiteral("The built-in display is usually right: the script needs to sit next to the "
                       "camera, and the camera is in the lid."),
        displayBox));
    column->addWidget(displayBox);

    // The desktop.
    QGroupBox *system = SettingsPaneView::section(QStringLiteral("Appearance in the system"), this);
    auto *systemColumn = new QVBoxLayout(system);
    // A check box in a column, with what it does said under it.
    const auto toggle = [](QVBoxLayout *into, QGroupBox *box, const QString &text,
                           const QString &caption = {}) {
        auto *check = new QCheckBox(text, box);
        into->addWidget(check);
        if (!caption.isEmpty())
            into->addWidget(SettingsPaneView::caption(caption, box));
        return check;
    };
    m_taskbar = toggle(
        systemColumn, system, QStringLiteral("Show icon in the taskbar"),
        QStringLiteral("Turn this off to run from the tray alone. Either way the app keeps running "
                       "when you close its windows \u2014 the island stays on screen and the tray "
                       "item is always there. Use Quit to stop it."));
    column->addWidget(system);

    QGroupBox *behaviour = SettingsPaneView::section(QStringLiteral("Behaviour"), this);
    auto *behaviourColumn = new QVBoxLayout(behaviour);
    m_aboveFullScreen = toggle(
        behaviourColumn, behaviour, QStringLiteral("Keep above full-screen apps"),
        QStringLiteral("Also draws over system alerts, which is why it is off by default. It never "
                       "covers a locked screen."));
    m_launchAtLogin = toggle(behaviourColumn, behaviour, QStringLiteral("Launch at login"));
    m_loginProblem = SettingsPaneView::problem(behaviour);
    behaviourColumn->addWidget(m_loginProblem);
    m_keepAwake =
        toggle(behaviourColumn, behaviour, QStringLiteral("Keep the screen awake while reading"));
    m_awakeProblem = SettingsPaneView::problem(behaviour);
    behaviourColumn->addWidget(m_awakeProblem);
    m_countdown = toggle(behaviourColumn, behaviour, QStringLiteral("Count down before reading"),
                         QStringLiteral("3, 2, 1 on the island when you play from the top."));
    m_cues = toggle(
        behaviourColumn, behaviour, QStringLiteral("Treat [brackets] as cues"),
        QStringLiteral("Notes in square brackets, such as [pause] or [slide 5], are shown quietly "
                       "and never read, timed or counted. Write \\[ for a bracket to read. Lines "
                       "starting with # are section headings."));
    column->addWidget(behaviour);

    // Voice follow.
    QGroupBox *voice = SettingsPaneView::section(QStringLiteral("Voice Follow"), this);
    auto *voiceForm = new QFormLayout(voice);
    m_voiceFollow = new QCheckBox(QStringLiteral("Follow my voice while playing"), voice);
    voiceForm->addRow(m_voiceFollow);
    m_voiceNote = SettingsPaneView::caption(QString(), voice);
    voiceForm->addRow(m_voiceNote);
    m_language = new QComboBox(voice);
    m_language->setAccessibleName(QStringLiteral("Language"));
    m_language->addItem(QStringLiteral("System language"), QString());
    for (const QString &locale : env.voice().installedLocales())
        m_language->addItem(languageName(locale), locale);
    voiceForm->addRow(QStringLiteral("Language"), m_language);
    m_lookahead = new QSpinBox(voice);
    m_lookahead->setRange(static_cast<int>(ReadingPreferences::lookaheadMin),
                          static_cast<int>(ReadingPreferences::lookaheadMax));
    m_lookahead->setAccessibleName(QStringLiteral("Words to glow ahead"));
    voiceForm->addRow(QStringLiteral("Words to glow ahead"), m_lookahead);
    m_microphone = new QComboBox(voice);
    m_microphone->setAccessibleName(QStringLiteral("Microphone"));
    voiceForm->addRow(QStringLiteral("Microphone"), m_microphone);
    m_microphoneNote = SettingsPaneView::problem(voice);
    voiceForm->addRow(m_microphoneNote);
    m_level = new QProgressBar(voice);
    m_level->setRange(0, 100);
    m_level->setTextVisible(false);
    m_level->setMaximumHeight(10);
    m_level->setAccessibleName(QStringLiteral("Input level"));
    voiceForm->addRow(QStringLiteral("Input level"), m_level);
    m_voiceStatus = new QLabel(voice);
    m_voiceStatus->setWordWrap(true);
    m_voiceStatus->setAccessibleName(QStringLiteral("Voice follow status"));
    voiceForm->addRow(m_voiceStatus);
    voiceForm->addRow(SettingsPaneView::caption(
        QStringLiteral("While the script plays, the island listens, glows the words you have said "
                       "and the ones coming next, and scrolls with your voice, keeping the line "
                       "you are on at the top so the rest is already in view. It waits when you "
                       "pause. Speech is recognised on this computer and never leaves it; voice "
                       "follow needs the speech model of your language to be installed."),
        voice));
    column->addWidget(voice);

    // Pace guide.
    QGroupBox *pace = SettingsPaneView::section(QStringLiteral("Pace Guide"), this);
    auto *paceForm = new QFormLayout(pace);
    m_paceGuide = new QCheckBox(QStringLiteral("Guide my pace to a target time"), pace);
    paceForm->addRow(m_paceGuide);
    m_targetLabel = new QLabel(pace);
    m_target = new TimeSpinBox(pace);
    m_target->setSingleStep(5);
    m_target->setAccelerated(true);
    m_target->setKeyboardTracking(false);
    paceForm->addRow(m_targetLabel, m_target);
    m_targetProblem = SettingsPaneView::problem(pace);
    m_targetProblem->hide();
    paceForm->addRow(m_targetProblem);
    m_natural = new QLabel(pace);
    m_useNatural = new QPushButton(QStringLiteral("Use natural time"), pace);
    paceForm->addRow(SettingsPaneView::row(m_natural, m_useNatural, pace));
    m_noScript = SettingsPaneView::caption(
        QStringLiteral("Select a script in the Library to set its target time."), pace);
    paceForm->addRow(m_noScript);
    m_pauses = new QComboBox(pace);
    m_pauses->setAccessibleName(QStringLiteral("Pauses"));
    for (PauseStyle style : PauseStyles::names.values())
        m_pauses->addItem(PauseStyles::names.title(style), PauseStyles::names.name(style));
    paceForm->addRow(QStringLiteral("Pauses"), m_pauses);
    m_rhythmVoice = new QComboBox(pace);
    m_rhythmVoice->setAccessibleName(QStringLiteral("Rhythm voice"));
    paceForm->addRow(QStringLiteral("Rhythm voice"), m_rhythmVoice);
    m_paceStatus = new QLabel(pace);
    m_paceStatus->setWordWrap(true);
    m_paceStatus->setAccessibleName(QStringLiteral("Pace guide status"));
    paceForm->addRow(m_paceStatus);
    paceForm->addRow(SettingsPaneView::caption(
        QStringLiteral(
            "While the script plays, the island lights each word as it is time to say it, "
            "sweeping through it letter by letter, so keeping up with the light lands you on your "
            "target. The rhythm comes from a speech voice reading your script silently: it "
            "lingers where a speaker would, moves quickly through small words and breathes at "
            "natural breaks, always pausing after a sentence and longer between paragraphs. The "
            "target stays within a comfortable 110\u2013170 words a minute. For the most natural "
            "timing, choose a rhythm voice of your script's language. Turning this on turns off "
            "voice follow."),
        pace));
    column->addWidget(pace);

    // Privacy: what this desktop can and cannot do.
    QGroupBox *privacy = SettingsPaneView::section(QStringLiteral("Privacy"), this);
    auto *privacyColumn = new QVBoxLayout(privacy);
    if (CaptureShield::isAvailable()) {
        privacyColumn->addWidget(
            new QLabel(QStringLiteral("Hidden from screen recording and screen sharing"), privacy));
    } else {
        auto *headline =
            new QLabel(QStringLiteral("Visible in screen recordings and screen sharing"), privacy);
        headline->setAccessibleName(headline->text());
        privacyColumn->addWidget(headline);
        privacyColumn->addWidget(SettingsPaneView::caption(
            QStringLiteral("This desktop gives apps no way to keep a window out of screenshots, "
                           "screen recordings or screen sharing, so whoever sees your whole "
                           "screen sees the island too. In a call, share a single window or a "
                           "presentation instead of the entire screen.\n\nThe script, your voice "
                           "and your settings stay on this computer."),
            privacy));
    }
    column->addWidget(privacy);
    column->addStretch(1);

    // Controls write straight through.
    connect(m_display, &QComboBox::activated, this, [this, &prefs](int index) {
        prefs.setTargetDisplay(m_display->itemData(index).toString());
    });
    connect(m_taskbar, &QCheckBox::toggled, &prefs, &Preferences::setShowInTaskbar);
    connect(m_aboveFullScreen, &QCheckBox::toggled, &prefs, &Preferences::setAboveFullScreen);
    connect(m_launchAtLogin, &QCheckBox::toggled, &prefs, &Preferences::setLaunchAtLogin);
    connect(m_keepAwake, &QCheckBox::toggled, &reading, &ReadingPreferences::setKeepScreenAwake);
    connect(m_countdown, &QCheckBox::toggled, &reading, &ReadingPreferences::setCountdownEnabled);
    connect(m_cues, &QCheckBox::toggled, &reading, &ReadingPreferences::setBracketsAreCues);
    connect(&env.screenAwake(), &ScreenAwake::problemChanged, this, &GeneralSettingsView::refresh);
    connect(m_voiceFollow, &QCheckBox::toggled, &reading,
            &ReadingPreferences::setVoiceFollowEnabled);
    connect(m_language, &QComboBox::activated, this, [this, &reading](int index) {
        reading.setVoiceFollowLocale(m_language->itemData(index).toString());
    });
    connect(m_lookahead, &QSpinBox::valueChanged, &reading,
            &ReadingPreferences::setVoiceFollowLookahead);
    connect(m_microphone, &QComboBox::activated, this, [this, &prefs](int index) {
        prefs.setMicrophone(m_microphone->itemData(index).toString());
    });
    connect(m_paceGuide, &QCheckBox::toggled, &reading, &ReadingPreferences::setPaceGuideEnabled);
    connect(m_target, &QSpinBox::valueChanged, this, [this](int seconds) {
        const auto id = m_env.store().selectedID();
        if (!id)
            return;
        const auto [lo, hi] = m_env.pace().allowedRange();
        const int low = static_cast<int>(std::ceil(lo)), high = static_cast<int>(std::floor(hi));
        if (seconds < low || seconds > high) {
            // Refused, not bent to the nearest end: the reader said a time.
            m_targetProblem->setText(
                QStringLiteral("This script takes %1\u2013%2 at a natural "
                               "pace; %3 is outside that.")
                    .arg(PaceGuide::format(lo), PaceGuide::format(hi), PaceGuide::format(seconds)));
            m_targetProblem->show();
            const QSignalBlocker block(m_target);
            m_target->setValue(static_cast<int>(std::lround(m_env.pace().targetSeconds())));
            return;
        }
        m_targetProblem->hide();
        m_env.store().setTarget(static_cast<double>(seconds), *id);
    });
    connect(m_useNatural, &QPushButton::clicked, this, [this] {
        if (const auto id = m_env.store().selectedID())
            m_env.store().setTarget(std::nullopt, *id);
    });
    connect(m_pauses, &QComboBox::activated, this, [this, &reading](int index) {
        reading.setPacePauseStyle(PauseStyles::fromName(m_pauses->itemData(index).toString()));
    });
    connect(m_rhythmVoice, &QComboBox::activated, this, [this, &reading](int index) {
        reading.setPaceRhythmVoice(m_rhythmVoice->itemData(index).toString());
    });

    // And follow whatever else changes the same settings.
    for (auto signal : {&Preferences::targetDisplayChanged, &Preferences::showInTaskbarChanged,
                        &Preferences::aboveFullScreenChanged, &Preferences::launchAtLoginChanged,
                        &Preferences::microphoneChanged})
        connect(&prefs, signal, this, &GeneralSettingsView::refresh);
    for (auto signal :
         {&ReadingPreferences::voiceFollowEnabledChanged,
          &ReadingPreferences::voiceFollowLocaleChanged,
          &ReadingPreferences::voiceFollowLookaheadChanged,
          &ReadingPreferences::paceGuideEnabledChanged, &ReadingPreferences::pacePauseStyleChanged,
          &ReadingPreferences::paceRhythmVoiceChanged, &ReadingPreferences::keepScreenAwakeChanged,
          &ReadingPreferences::countdownEnabledChanged,
          &ReadingPreferences::bracketsAreCuesChanged})
        connect(&reading, signal, this, &GeneralSettingsView::refresh);
    connect(&env.voice(), &VoiceFollow::stateChanged, this, &GeneralSettingsView::refreshVoice);
    connect(&env.pace(), &PaceGuide::rhythmStateChanged, this, &GeneralSettingsView::refreshPace);
    connect(&env.store(), &ScriptStore::selectedIDChanged, this, [this] {
        fillRhythmVoices();
        refreshPace();
    });
    connect(&env.store(), &ScriptStore::scriptsChanged, this, &GeneralSettingsView::refreshPace);
    // Another microphone chosen: the meter listens to it from now on.
    connect(&prefs, &Preferences::microphoneChanged, this, [this] {
        if (!m_meterSource)
            return;
        closeMeter();
        openMeter();
    });

    m_meterDecay = new QTimer(this);
    m_meterDecay->setInterval(66);
    connect(m_meterDecay, &QTimer::timeout, this, [this] {
        // Falls back smoothly instead of flickering with every block.
        m_meterPeak = std::max(meterPeak.exchange(0), m_meterPeak * 4 / 5);
        m_level->setValue(m_meterPeak);
    });

    fillDisplays();
    fillMicrophones();
    fillRhythmVoices();
    refresh();
}

GeneralSettingsView::~GeneralSettingsView() {
    closeMeter();
}

void GeneralSettingsView::fillDisplays() {
    const QSignalBlocker block(m_display);
    m_display->clear();
    m_display->addItem(QStringLiteral("Built-in display"), QStringLiteral("builtIn"));
    m_display->addItem(QStringLiteral("Display with the top panel"), QStringLiteral("menuBar"));
    m_display->addItem(QStringLiteral("Display with pointer"), QStringLiteral("pointer"));
    for (const ScreenFacts &d : m_sources.displays())
        m_display->addItem(d.title(), ScreenObserver::Target::storedFor(d));
}

void GeneralSettingsView::fillMicrophones() {
    const QSignalBlocker block(m_microphone);
    m_microphone->clear();
    m_microphone->addItem(QStringLiteral("System default"), QString());
    for (const Microphone &m : m_sources.microphones())
        m_microphone->addItem(m.name, m.id);
}

void GeneralSettingsView::fillRhythmVoices() {
    const QSignalBlocker block(m_rhythmVoice);
    m_rhythmVoice->clear();
    const auto id = m_env.store().selectedID();
    const Script *script = id ? m_env.store().script(*id) : nullptr;
    const QString text = script ? script->body : QString();
    const auto automatic = RhythmVoice::automatic(text);
    m_rhythmVoice->addItem(automatic ? QStringLiteral("Automatic \u2014 ") +
                                           RhythmVoice::displayName(*automatic)
                                     : QStringLiteral("Automatic"),
                           QString());
    for (const RhythmVoice &voice : RhythmVoice::choices(text))
        m_rhythmVoice->addItem(RhythmVoice::displayName(voice), voice.identifier);
}

void GeneralSettingsView::refresh() {
    const Preferences &prefs = m_env.prefs();
    const ReadingPreferences &reading = prefs.reading();
    {
        const QSignalBlocker a(m_display), b(m_taskbar), c(m_aboveFullScreen), d(m_launchAtLogin),
            e(m_voiceFollow), f(m_language), g(m_lookahead), h(m_microphone), i(m_paceGuide),
            j(m_pauses), k(m_rhythmVoice), l(m_keepAwake), m(m_countdown), n(m_cues);
        const QString stored = prefs.targetDisplay();
        int row = m_display->findData(stored);
        if (row < 0) {
            // A chosen display that is not connected keeps its place in the
            // settings; the picker says so rather than showing another.
            const ScreenObserver::Target t = ScreenObserver::Target::fromStored(stored);
            int found = -1;
            if (!t.identity.isEmpty())
                if (const auto same = ScreenObserver::find(m_sources.displays(), t.identity))
                    found = m_display->findData(ScreenObserver::Target::storedFor(*same));
            if (found >= 0) {
                row = found;
            } else if (t.kind == ScreenObserver::Target::Kind::specific) {
                m_display->addItem(displayTitleOf(stored), stored);
                row = m_display->count() - 1;
            } else {
                row = 0;
            }
        }
        m_display->setCurrentIndex(row);
        m_taskbar->setChecked(prefs.showInTaskbar());
        m_aboveFullScreen->setChecked(prefs.aboveFullScreen());
        m_launchAtLogin->setChecked(prefs.launchAtLogin());
        m_keepAwake->setChecked(reading.keepScreenAwake());
        m_countdown->setChecked(reading.countdownEnabled());
        m_cues->setChecked(reading.bracketsAreCues());
        m_voiceFollow->setChecked(reading.voiceFollowEnabled());
        const int language = m_language->findData(reading.voiceFollowLocale());
        if (language < 0)
            m_language->addItem(languageName(reading.voiceFollowLocale()),
                                reading.voiceFollowLocale());
        m_language->setCurrentIndex(m_language->findData(reading.voiceFollowLocale()));
        m_lookahead->setValue(static_cast<int>(reading.voiceFollowLookahead()));
        m_lookahead->setSuffix(reading.voiceFollowLookahead() == 1 ? QStringLiteral(" word")
                                                                   : QStringLiteral(" words"));
        const int microphone = m_microphone->findData(prefs.microphone());
        m_microphone->setCurrentIndex(std::max(0, microphone));
        SettingsPaneView::setProblem(
            m_microphoneNote,
            microphone < 0 ? QStringLiteral("The chosen microphone is not connected: voice follow "
                                            "listens to the system default until it is back.")
                           : m_meterError);
        m_paceGuide->setChecked(reading.paceGuideEnabled());
        m_pauses->setCurrentIndex(
            std::max(0, m_pauses->findData(PauseStyles::names.name(reading.pacePauseStyle()))));
        m_rhythmVoice->setCurrentIndex(
            std::max(0, m_rhythmVoice->findData(reading.paceRhythmVoice())));
    }
    SettingsPaneView::setProblem(m_loginProblem, prefs.launchAtLoginProblem());
    SettingsPaneView::setProblem(m_awakeProblem, m_env.screenAwake().problem());
    refreshVoice();
    refreshPace();
}

void GeneralSettingsView::refreshVoice() {
    const VoiceFollow &voice = m_env.voice();
    const ReadingPreferences &reading = m_env.prefs().reading();
    const bool available = voice.isAvailable();
    m_voiceFollow->setEnabled(available || reading.voiceFollowEnabled());
    QString note;
    if (!available)
        note = voice.unavailableReason();
    else if (reading.paceGuideEnabled())
        note = QStringLiteral("The pace guide is on. Turning this on turns it off.");
    m_voiceNote->setText(note);
    m_voiceNote->setVisible(!note.isEmpty());

    QString status;
    QString colour;
    const VoiceFollowState &state = voice.state();
    switch (state.kind) {
    case VoiceFollowState::Kind::downloadingModel:
        status = QStringLiteral("Downloading the speech model (%1 %)")
                     .arg(static_cast<int>(state.fraction * 100));
        break;
    case VoiceFollowState::Kind::failed:
        status = QStringLiteral("\u26A0 ") + state.message;
        colour = QStringLiteral("#b35c00");
        break;
    case VoiceFollowState::Kind::preparing:
        status = QStringLiteral("Starting\u2026");
        break;
    case VoiceFollowState::Kind::listening:
        status = QStringLiteral("Listening");
        break;
    case VoiceFollowState::Kind::off:
        if (reading.voiceFollowEnabled() && available)
            status = QStringLiteral("Ready \u2014 press play and start reading");
        else if (reading.voiceFollowEnabled())
            status = QStringLiteral("\u26A0 ") + voice.unavailableReason();
        break;
    }
    m_voiceStatus->setText(status);
    m_voiceStatus->setStyleSheet(colour.isEmpty() ? QString()
                                                  : QStringLiteral("color: %1;").arg(colour));
    m_voiceStatus->setVisible(!status.isEmpty());
}

void GeneralSettingsView::refreshPace() {
    const PaceGuide &guide = m_env.pace();
    const auto id = m_env.store().selectedID();
    const Script *script = id ? m_env.store().script(*id) : nullptr;
    const bool hasScript = script != nullptr;
    for (QWidget *w :
         std::initializer_list<QWidget *>{m_targetLabel, m_target, m_natural, m_useNatural})
        w->setVisible(hasScript);
    if (!hasScript)
        m_targetProblem->hide();
    m_noScript->setVisible(!hasScript);
    if (hasScript) {
        const auto [lo, hi] = guide.allowedRange();
        const int low = static_cast<int>(std::ceil(lo)), high = static_cast<int>(std::floor(hi));
        m_targetLabel->setText(QStringLiteral("Target for \u201C") + script->title +
                               QStringLiteral("\u201D"));
        m_target->setAccessibleName(m_targetLabel->text());
        {
            const QSignalBlocker block(m_target);
            static_cast<TimeSpinBox *>(m_target)->setAllowed(low, high);
            m_target->setValue(static_cast<int>(std::lround(guide.targetSeconds())));
        }
        m_natural->setText(QStringLiteral("Natural ") + PaceGuide::format(guide.naturalSeconds()) +
                           QStringLiteral(" \u00B7 allowed ") + PaceGuide::format(lo) +
                           QStringLiteral("\u2013") + PaceGuide::format(hi));
        m_useNatural->setEnabled(script->targetSeconds.has_value());
    }
    const QString status = guide.rhythmState().text();
    m_paceStatus->setText(status);
    m_paceStatus->setVisible(!status.isEmpty());
}

void GeneralSettingsView::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    fillDisplays();
    fillMicrophones();
    refresh();
    openMeter();
}

void GeneralSettingsView::hideEvent(QHideEvent *event) {
    closeMeter();
    QWidget::hideEvent(event);
}

void GeneralSettingsView::openMeter() {
    if (m_meterSource)
        return;
    m_meterSource = m_env.openMicrophone();
    QString error;
    if (!m_meterSource ||
        !m_meterSource->start(
            [](const float *samples, std::size_t count) {
                const int level = meterLevel(samples, count);
                int seen = meterPeak.load();
                while (level > seen && !meterPeak.compare_exchange_weak(seen, level)) {
                }
            },
            &error)) {
        m_meterSource.reset();
        m_level->setValue(0);
        m_level->setEnabled(false);
        m_meterError = error.isEmpty() ? AudioSource::noInputMessage() : error;
        m_level->setAccessibleDescription(m_meterError);
        if (m_microphoneNote->isHidden())
            SettingsPaneView::setProblem(m_microphoneNote, m_meterError);
        return;
    }
    m_meterError.clear();
    m_level->setEnabled(true);
    m_level->setToolTip(QStringLiteral("What the microphone hears"));
    m_meterDecay->start();
}

void GeneralSettingsView::closeMeter() {
    if (m_meterDecay)
        m_meterDecay->stop();
    if (m_meterSource) {
        m_meterSource->stop();
        m_meterSource.reset();
    }
    meterPeak = 0;
}
