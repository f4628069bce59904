#pragma once

#include "text/ScriptLayout.h"

#include <QString>

#include <memory>

// What the script renderer draws the glow from: the pace guide and voice
// follow each implement it. Positions are fractional UTF-16 offsets.
class GlowSource {
public:
    virtual ~GlowSource() = default;
    virtual QString text() const = 0;
    // Everything before this position has been said.
    virtual double glowFront() const = 0;
    // The stretch from the front to here is what comes next.
    virtual double lookaheadEnd() const = 0;
    // The layout the positions refer to; null before there is one.
    virtual std::shared_ptr<const ScriptLayout> layout() const = 0;
};
