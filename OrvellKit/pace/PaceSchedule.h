#pragma once

#include "pace/PauseStyle.h"
#include "text/ScriptWords.h"

#include <optional>
#include <utility>
#include <vector>

// How long a speech voice took to say a word and how long it paused after it.
struct WordRhythm {
    double speak = 0;
    double pauseAfter = 0;
    bool operator==(const WordRhythm &) const = default;
};

// When each word of a script should be said so the reading lands on a
// target time: built from a voice's measured rhythm, or estimated from word
// lengths and punctuation when there is none.
struct PaceSchedule {
    static constexpr double naturalWPM = 140;
    static constexpr double slowestWPM = 110;
    static constexpr double fastestWPM = 170;
    static constexpr double maxPauseShare = 0.35;
    static constexpr double minimumShareOfTypical = 0.35;
    static constexpr double audiblePause = 0.08;

    struct Slot {
        double from = 0; // UTF-16 offsets of the word
        double to = 0;
        double start = 0; // seconds: the light reaches the word's start
        double end = 0;   // … and its end
        double pauseEnd = 0;
        PauseKind pause = PauseKind::none;
        bool operator==(const Slot &) const = default;
    };

    // One per word ("slots" is a Qt keyword).
    std::vector<Slot> wordSlots;
    double total = 0;

    // The estimate schedule.
    static PaceSchedule estimate(const ScriptWords &words, PauseStyle style, double targetSeconds);
    // The measured schedule; falls back to the estimate without a usable rhythm.
    static PaceSchedule measured(const ScriptWords &words,
                                 const std::optional<std::vector<WordRhythm>> &rhythm,
                                 PauseStyle style, double targetSeconds);

    static PauseKind pauseKind(QStringView gap);
    static std::vector<PauseKind> gapKinds(const ScriptWords &words);
    static double pauseSeconds(const ScriptWords &words, PauseStyle style,
                               const std::optional<std::vector<WordRhythm>> &rhythm);
    static double naturalSeconds(const ScriptWords &words, PauseStyle style,
                                 const std::optional<std::vector<WordRhythm>> &rhythm);
    // Whole seconds between the fastest and slowest allowed rates.
    static std::pair<double, double>
    allowedRange(const ScriptWords &words, PauseStyle style,
                 const std::optional<std::vector<WordRhythm>> &rhythm);
    static double clampTarget(double t, const ScriptWords &words, PauseStyle style,
                              const std::optional<std::vector<WordRhythm>> &rhythm);

    int slotIndex(double t) const;
    // The glow position at `t`: sweeping through a word while it is said,
    // resting at its end during the pause.
    double offset(double t) const;
    bool isPausing(double t) const;

    bool operator==(const PaceSchedule &) const = default;
};
