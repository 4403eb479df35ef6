// What the writing window remembers, in the settings store's section
// "writing": the strictness, the mode it opens in, and the misses on one
// stroke before it is drawn for the pupil.
#pragma once

#include "core/settingkeys.h"
#include "rules/strokecheck.h"
#include "rules/writingcourse.h"

struct WritingSettings {
    // "描": the character in light grey to trace; "写": the grid only; "看":
    // the animation to watch first. 看 plays once and is never the mode the
    // window opens in.
    enum class Mode { Trace, Write, Watch };

    strokecheck::Strictness strictness = strokecheck::Strictness(settingkeys::writingStrictness.fallback);
    Mode mode = Mode(settingkeys::writingMode.fallback); // "trace" or "write"
    int missesForDrawing = settingkeys::writingMisses.fallback; // 2 to 5

    // Values that are missing or not understood give the defaults.
    static WritingSettings load();
    // Empty when saved; otherwise why not.
    QString save() const;
};
