#include "writing/writingsettings.h"

#include "core/settingkeys.h"

namespace sk = settingkeys;
// The stored words follow the enums' order.
static_assert(sk::writingStrictness.words[int(strokecheck::Strictness::Strict)] != nullptr);
static_assert(sk::writingMode.words[int(WritingSettings::Mode::Write)] != nullptr);
static_assert(sk::writingMisses.low == writingcourse::Course::kLeastMisses
              && sk::writingMisses.high == writingcourse::Course::kMostMisses
              && sk::writingMisses.fallback == writingcourse::Course::kDefaultMisses);

WritingSettings WritingSettings::load()
{
    WritingSettings s;
    s.strictness = strokecheck::Strictness(sk::read(sk::writingStrictness));
    s.mode = Mode(sk::read(sk::writingMode));
    s.missesForDrawing = sk::read(sk::writingMisses);
    return s;
}

QString WritingSettings::save() const
{
    // One write, as every section is saved: never two waits for a stuck lock.
    // 看 is no mode to open in.
    const Mode stored = mode == Mode::Watch ? Mode::Trace : mode;
    return sk::save({{sk::writingStrictness, int(strictness)},
                     {sk::writingMode, int(stored)},
                     {sk::writingMisses, missesForDrawing}});
}
