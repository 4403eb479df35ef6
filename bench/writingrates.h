// How often the writing check takes what pupils write and refuses what is
// wrong, on strokes of the benchmark's own hand (bench/writinghand.h), side
// by side with the check before the pupil's frame was judged and with
// hanzi-writer 3.7.3's quiz matcher (through node) on the same points.
#pragma once

#include <QString>

namespace writingrates {

struct Options {
    // A lorvanta-bench-writing of the earlier check to run with --judge
    // (empty: its recorded figures are printed).
    QString before;
    bool hanziWriter = true; // hanzi-writer's column takes a minute
};

// Prints the table.
void run(const Options &options);

} // namespace writingrates
