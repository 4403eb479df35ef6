#include "rules/layout.h"

#include <cmath>

namespace layout {

int halfOf(double x)
{
    // llrint uses the default round-to-nearest-even mode.
    const long long n = std::llrint(x);
    return static_cast<int>(n / 2);
}

double fitRatio(double outerHeight, double scaleWidth, int refHeight, int refWidth)
{
    double r = refHeight != 0 ? outerHeight / refHeight : 0.0;
    const double w = refWidth != 0 ? scaleWidth / refWidth : 0.0;
    if (w < r)
        r = w;
    return r;
}

ResizeResult resize(const ResizeInput &in)
{
    ResizeResult out;
    out.lblBackWidth = in.scaleWidth - lblBackLeft;
    out.lblBackHeight = in.scaleHeight - lblBackTop - picture1Height - 600;
    if (out.lblBackHeight < 0)
        return out;
    out.complete = true;
    out.picture1Left = halfOf(in.scaleWidth - picture1Width);
    out.picture1Top = in.scaleHeight - picture1Height - 300;
    out.image3Left = halfOf(in.scaleWidth - image3Width);
    out.image3Top = out.picture1Top - 250;
    out.lblShuomingLeft = in.scaleWidth - in.lblShuomingWidth - in.lblAboutWidth - 300;
    out.label4Left = in.scaleWidth - in.label4Width - in.lblAboutWidth - in.lblShuomingWidth - 600;
    out.lblAboutLeft = in.scaleWidth - in.lblAboutWidth - 135;
    return out;
}
} // namespace layout
