// The practice window's resize arithmetic, in twips.
#pragma once

namespace layout {

// Integer halving for centring: round half to even, then halve toward zero.
int halfOf(double x);

// Design sizes that the layout keeps.
constexpr float picture1Width = 8775;
constexpr float picture1Height = 495;
constexpr float image3Width = 210;
constexpr float lblBackLeft = 0;
constexpr float lblBackTop = 600;

// The scale of the shown item: the smaller of outer height / refHeight and
// client width / refWidth (on a tie the height ratio stays).
double fitRatio(double outerHeight, double scaleWidth, int refHeight, int refWidth);

struct ResizeInput {
    float scaleWidth = 0;
    float scaleHeight = 0;
    float lblShuomingWidth = 840;
    float lblAboutWidth = 420;
    float label4Width = 0;
};

struct ResizeResult {
    // false when the card's height would be negative: then only its width
    // follows the window and nothing else moves.
    bool complete = false;
    float lblBackWidth = 0;
    float lblBackHeight = 0;
    float picture1Left = 0, picture1Top = 0;
    float image3Left = 0, image3Top = 0;
    float lblShuomingLeft = 0;
    float label4Left = 0;
    float lblAboutLeft = 0;
};

ResizeResult resize(const ResizeInput &in);

} // namespace layout
