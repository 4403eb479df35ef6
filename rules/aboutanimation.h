// One step of the About window's falling picture, in twips.
#pragma once

namespace aboutanimation {

// What a tick reads and writes: the picture's Top, the restart height kept in
// its Tag, and the timer.
struct State {
    float top = 0; // T
    float restart = 0; // R
    int interval = 300; // ms
    bool enabled = false;
};

// Interval the timer gets back when the animation stops.
constexpr int restInterval = 300;

// One tick for a client height SH and a picture height H.
State step(float clientHeight, float pictureHeight, State s);

} // namespace aboutanimation
