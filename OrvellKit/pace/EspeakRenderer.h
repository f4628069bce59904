#pragma once

#include "pace/SpeechRhythm.h"

#include <QString>

#include <optional>

// Renders text silently with espeak-ng into samples and word markers. The
// library's state is global, so renderings are serialised; call it off the
// GUI thread (it runs about a thousand times faster than real time).
namespace EspeakRenderer {
bool isAvailable();
// espeak-ng's own speaking rate.
inline constexpr int defaultWordsPerMinute = 175;
// The voice is an espeak-ng voice name ("en-us"); empty means its default.
// Nothing when the voice is unknown, no audio came or the time ran out.
// With `keepSamples` false only the envelope is kept, so memory stays small
// however long the text.
std::optional<SpeechRhythm::Rendering> render(const QString &text, const QString &voice,
                                              double timeoutSeconds, bool keepSamples = true,
                                              int wordsPerMinute = defaultWordsPerMinute);
// The whole measurement: empty for a text without words.
std::optional<std::vector<WordRhythm>> measure(const QString &text, const QString &voice);
// How the voice pronounces a text, in IPA with stress marks; empty when it
// cannot say.
QString ipa(const QString &text, const QString &voice);
} // namespace EspeakRenderer
