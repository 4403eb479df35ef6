// What the writing window remembers: the strictness and the mode, in the
// settings store's section "writing".
#pragma once

#include "rules/strokecheck.h"

struct WritingSettings {
    // "描": the character in light grey to trace; "写": the grid only; "看":
    // the animation to watch first.
    enum class Mode { Trace, Write, Watch };

    strokecheck::Strictness strictness = strokecheck::Strictness::Normal;
    Mode mode = Mode::Trace;

    // Values that are missing or not understood give the defaults.
    static WritingSettings load();
    void save() const;
};
