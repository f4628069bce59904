#include "settings/ReadingPreferences.h"

#include "base/Metrics.h"
#include "playback/SpeedCurve.h"
#include "settings/PreferenceKeys.h"
#include "settings/SettingsStore.h"

#include <algorithm>
#include <cmath>

namespace K = PreferenceKeys;

ReadingPreferences::ReadingPreferences(SettingsStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store) {
    m_store.registerDefaults({{K::speedT, SpeedCurve::defaultT},
                              {K::fontSize, Metrics::scriptFontSize},
                              {K::lineHeightMultiple, Metrics::scriptLineHeightMultiple},
                              {K::voiceFollowLookahead, 3},
                              {K::pacePauseStyle, QStringLiteral("natural")},
                              {K::countdownEnabled, true},
                              {K::keepScreenAwake, true},
                              {K::bracketsAreCues, true}});
    using Signal = void (ReadingPreferences::*)();
    static const std::pair<QLatin1StringView, Signal> signalForKey[] = {
        {K::speedT, &ReadingPreferences::speedTChanged},
        {K::fontSize, &ReadingPreferences::fontSizeChanged},
        {K::lineHeightMultiple, &ReadingPreferences::lineHeightMultipleChanged},
        {K::voiceFollowEnabled, &ReadingPreferences::voiceFollowEnabledChanged},
        {K::voiceFollowLocale, &ReadingPreferences::voiceFollowLocaleChanged},
        {K::voiceFollowLookahead, &ReadingPreferences::voiceFollowLookaheadChanged},
        {K::paceGuideEnabled, &ReadingPreferences::paceGuideEnabledChanged},
        {K::pacePauseStyle, &ReadingPreferences::pacePauseStyleChanged},
        {K::paceRhythmVoice, &ReadingPreferences::paceRhythmVoiceChanged},
        {K::countdownEnabled, &ReadingPreferences::countdownEnabledChanged},
        {K::keepScreenAwake, &ReadingPreferences::keepScreenAwakeChanged},
        {K::bracketsAreCues, &ReadingPreferences::bracketsAreCuesChanged},
    };
    m_store.relayChanges(this, signalForKey);
}

// Read back as the setters write: the file may have been edited by hand.
double ReadingPreferences::speedT() const {
    return SpeedCurve::clamp(m_store.doubleValue(K::speedT));
}
void ReadingPreferences::setSpeedT(double value) {
    m_store.setValue(K::speedT, SpeedCurve::clamp(value));
}

double ReadingPreferences::fontSize() const {
    return SettingsStore::clamped(m_store.doubleValue(K::fontSize), fontSizeMin, fontSizeMax);
}
void ReadingPreferences::setFontSize(double value) {
    m_store.setValue(K::fontSize, SettingsStore::clamped(value, fontSizeMin, fontSizeMax));
}

double ReadingPreferences::lineHeightMultiple() const {
    return SettingsStore::clamped(m_store.doubleValue(K::lineHeightMultiple), lineHeightMin,
                                  lineHeightMax);
}
void ReadingPreferences::setLineHeightMultiple(double value) {
    m_store.setValue(K::lineHeightMultiple,
                     SettingsStore::clamped(value, lineHeightMin, lineHeightMax));
}

bool ReadingPreferences::voiceFollowEnabled() const {
    return m_store.boolValue(K::voiceFollowEnabled);
}
void ReadingPreferences::setVoiceFollowEnabled(bool value) {
    m_store.setValue(K::voiceFollowEnabled, value);
    if (value && m_store.boolValue(K::paceGuideEnabled))
        setPaceGuideEnabled(false);
}

bool ReadingPreferences::paceGuideEnabled() const {
    return m_store.boolValue(K::paceGuideEnabled);
}
void ReadingPreferences::setPaceGuideEnabled(bool value) {
    m_store.setValue(K::paceGuideEnabled, value);
    if (value && m_store.boolValue(K::voiceFollowEnabled))
        setVoiceFollowEnabled(false);
}

QString ReadingPreferences::voiceFollowLocale() const {
    return m_store.stringValue(K::voiceFollowLocale);
}
void ReadingPreferences::setVoiceFollowLocale(const QString &value) {
    m_store.setValue(K::voiceFollowLocale, value);
}

qint64 ReadingPreferences::voiceFollowLookahead() const {
    return std::clamp(m_store.integerValue(K::voiceFollowLookahead), lookaheadMin, lookaheadMax);
}
void ReadingPreferences::setVoiceFollowLookahead(qint64 value) {
    m_store.setValue(K::voiceFollowLookahead, std::clamp(value, lookaheadMin, lookaheadMax));
}

PauseStyle ReadingPreferences::pacePauseStyle() const {
    return PauseStyles::fromName(m_store.stringValue(K::pacePauseStyle));
}
void ReadingPreferences::setPacePauseStyle(PauseStyle value) {
    m_store.setValue(K::pacePauseStyle, PauseStyles::names.name(value));
}

QString ReadingPreferences::paceRhythmVoice() const {
    return m_store.stringValue(K::paceRhythmVoice);
}
void ReadingPreferences::setPaceRhythmVoice(const QString &value) {
    m_store.setValue(K::paceRhythmVoice, value);
}

bool ReadingPreferences::countdownEnabled() const {
    return m_store.boolValue(K::countdownEnabled);
}
void ReadingPreferences::setCountdownEnabled(bool value) {
    m_store.setValue(K::countdownEnabled, value);
}

bool ReadingPreferences::bracketsAreCues() const {
    return m_store.boolValue(K::bracketsAreCues);
}
void ReadingPreferences::setBracketsAreCues(bool value) {
    m_store.setValue(K::bracketsAreCues, value);
}

bool ReadingPreferences::keepScreenAwake() const {
    return m_store.boolValue(K::keepScreenAwake);
}
void ReadingPreferences::setKeepScreenAwake(bool value) {
    m_store.setValue(K::keepScreenAwake, value);
}

void ReadingPreferences::resetTypography() {
    setFontSize(Metrics::scriptFontSize);
    setLineHeightMultiple(Metrics::scriptLineHeightMultiple);
}
