#pragma once

#include <QString>

#include <optional>
#include <vector>

// The speech voices that can measure a script's rhythm (espeak-ng's), and
// the choice among them: the one the settings name, else the best voice for
// the script's language.
struct RhythmVoice {
    QString identifier; // e.g. "gmw/en-US"; what the PaceRhythmVoice setting stores
    QString name;       // "English (America)"
    QString language;   // "en-us"

    // The installed voices, read once (mbrola voices need data Orvell does not install).
    static const std::vector<RhythmVoice> &usable();
    // The dominant language of a text's first 2000 characters ("en", "de"),
    // else the user's own language.
    static QString languageOf(const QString &text);
    static std::optional<RhythmVoice> automatic(const QString &text);
    // A voice that is still installed, else the automatic choice.
    static std::optional<RhythmVoice> resolve(const QString &identifier, const QString &text);
    // All usable voices, the text's language first, then by name.
    static std::vector<RhythmVoice> choices(const QString &text);
    static QString displayName(const RhythmVoice &voice);

    bool operator==(const RhythmVoice &) const = default;
};
