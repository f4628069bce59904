#pragma once

#include "pace/PauseStyle.h"

#include <QObject>
#include <QString>

class SettingsStore;

// What the reading experience needs from the settings. Nothing is cached:
// every getter reads the store and every setter writes it, so two objects on
// one store always agree. Only setters clamp; a value put in the store by
// other means is returned as it is.
class ReadingPreferences : public QObject {
    Q_OBJECT
    Q_PROPERTY(double speedT READ speedT WRITE setSpeedT NOTIFY speedTChanged)
    Q_PROPERTY(double fontSize READ fontSize WRITE setFontSize NOTIFY fontSizeChanged)
    Q_PROPERTY(double lineHeightMultiple READ lineHeightMultiple WRITE setLineHeightMultiple NOTIFY
                   lineHeightMultipleChanged)
    Q_PROPERTY(bool voiceFollowEnabled READ voiceFollowEnabled WRITE setVoiceFollowEnabled NOTIFY
                   voiceFollowEnabledChanged)
    Q_PROPERTY(QString voiceFollowLocale READ voiceFollowLocale WRITE setVoiceFollowLocale NOTIFY
                   voiceFollowLocaleChanged)
    Q_PROPERTY(qint64 voiceFollowLookahead READ voiceFollowLookahead WRITE setVoiceFollowLookahead
                   NOTIFY voiceFollowLookaheadChanged)
    Q_PROPERTY(bool paceGuideEnabled READ paceGuideEnabled WRITE setPaceGuideEnabled NOTIFY
                   paceGuideEnabledChanged)
    Q_PROPERTY(QString paceRhythmVoice READ paceRhythmVoice WRITE setPaceRhythmVoice NOTIFY
                   paceRhythmVoiceChanged)
    Q_PROPERTY(bool countdownEnabled READ countdownEnabled WRITE setCountdownEnabled NOTIFY
                   countdownEnabledChanged)
    Q_PROPERTY(bool keepScreenAwake READ keepScreenAwake WRITE setKeepScreenAwake NOTIFY
                   keepScreenAwakeChanged)
    Q_PROPERTY(bool bracketsAreCues READ bracketsAreCues WRITE setBracketsAreCues NOTIFY
                   bracketsAreCuesChanged)

public:
    static constexpr double fontSizeMin = 14, fontSizeMax = 48;
    static constexpr double lineHeightMin = 1.0, lineHeightMax = 2.5;
    static constexpr qint64 lookaheadMin = 1, lookaheadMax = 10;

    explicit ReadingPreferences(SettingsStore &store, QObject *parent = nullptr);

    SettingsStore &store() const { return m_store; }

    double speedT() const;
    void setSpeedT(double value);
    double fontSize() const;
    void setFontSize(double value);
    double lineHeightMultiple() const;
    void setLineHeightMultiple(double value);
    // Turning one of the two guided modes on turns the other off.
    bool voiceFollowEnabled() const;
    void setVoiceFollowEnabled(bool value);
    bool paceGuideEnabled() const;
    void setPaceGuideEnabled(bool value);
    QString voiceFollowLocale() const;
    void setVoiceFollowLocale(const QString &value);
    qint64 voiceFollowLookahead() const;
    void setVoiceFollowLookahead(qint64 value);
    PauseStyle pacePauseStyle() const;
    void setPacePauseStyle(PauseStyle value);
    QString paceRhythmVoice() const;
    void setPaceRhythmVoice(const QString &value);
    bool countdownEnabled() const;
    void setCountdownEnabled(bool value);
    bool keepScreenAwake() const;
    void setKeepScreenAwake(bool value);
    // Text in [brackets] is a cue: shown, not said (off: brackets are text).
    bool bracketsAreCues() const;
    void setBracketsAreCues(bool value);

    void resetTypography();

signals:
    void speedTChanged();
    void fontSizeChanged();
    void lineHeightMultipleChanged();
    void voiceFollowEnabledChanged();
    void voiceFollowLocaleChanged();
    void voiceFollowLookaheadChanged();
    void paceGuideEnabledChanged();
    void pacePauseStyleChanged();
    void paceRhythmVoiceChanged();
    void countdownEnabledChanged();
    void keepScreenAwakeChanged();
    void bracketsAreCuesChanged();

private:
    SettingsStore &m_store;
};
