#include "rules/aboutanimation.h"

#include <cmath>

namespace aboutanimation {

State step(float clientHeight, float pictureHeight, State s)
{
    // Restarting would leave no room to fall: stop, and put the picture near
    // the bottom (the fall below still applies on this same tick).
    if (s.restart + pictureHeight >= clientHeight) {
        s.enabled = false;
        s.interval = restInterval;
        s.top = clientHeight - pictureHeight - 180;
    }
    if (s.top + pictureHeight < clientHeight) {
        s.top += 150;
        // Five per cent faster per fall, to whole milliseconds, halves to even.
        s.interval = static_cast<int>(std::nearbyint(s.interval * 0.95));
    } else {
        // Bottom reached: bounce back up to a restart height 200 lower each time.
        s.restart += 200;
        s.top = s.restart;
    }
    return s;
}

} // namespace aboutanimation
