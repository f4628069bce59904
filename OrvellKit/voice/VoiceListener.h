#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What voice follow is doing, as the voice-follow button and settings show it.
struct VoiceFollowState {
    enum class Kind { off, preparing, downloadingModel, listening, failed };
    Kind kind = Kind::off;
    double fraction = 0; // downloadingModel
    QString message;     // failed
    bool operator==(const VoiceFollowState &) const = default;
};

// Hears the speaker and reports the words as match keys. The recogniser
// behind it is a platform service; results and states arrive on the GUI thread.
class VoiceListener {
public:
    virtual ~VoiceListener() = default;

    std::function<void(const QStringList &keys)> onHeard;
    std::function<void(const VoiceFollowState &)> onState;
    // The listener asks to be started again (its audio source changed).
    std::function<void()> onRestartRequest;

    virtual void start(const QString &locale, const QStringList &vocabulary) = 0;
    virtual void stop() = 0;
};
