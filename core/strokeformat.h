// The stroke data's coordinates and the limits of one record, shared by the
// build-time converter (tools/strokeconv.cpp, Qt Core only), the reader and
// everything that draws strokes. No Qt here, so the converter can include it.
#pragma once

namespace strokeformat {
// The character box: 1024 units wide and high, y pointing up, the baseline
// at y = 0 and the top edge at y = 900.
inline constexpr double gridUnits = 1024;
inline constexpr double topY = 900;
// The most one character may hold: the converter refuses more, the reader
// takes more for damage.
inline constexpr int maxStrokes = 64;
inline constexpr int maxSegments = 255;
inline constexpr int maxMedianPoints = 255;
} // namespace strokeformat
