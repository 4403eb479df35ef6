// What the writing window remembers, in the settings store's section
// "writing": the strictness, the mode it opens in, and the misses on one
// stroke before it is drawn for the pupil.
#pragma once

#include "rules/strokecheck.h"
#include "rules/writingcourse.h"

struct WritingSettings {
    // "描": the character in light grey to trace; "写": the grid only; "看":
    // the animation to watch first. 看 plays once and is never the mode the
    // window opens in.
    enum class Mode { Trace, Write, Watch };

    strokecheck::Strictness strictness = strokecheck::Strictness::Normal; // "strictness"
    Mode mode = Mode::Trace; // "mode": "trace" or "write"
    int missesForDrawing = writingcourse::Course::kDefaultMisses; // "misses": 2 to 5

    // Values that are missing or not understood give the defaults.
    static WritingSettings load();
    // False when the store could not be written.
    bool save() const;
};
