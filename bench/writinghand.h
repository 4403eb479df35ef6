// A pupil's hand for the writing benchmark, made here and nowhere else: where
// and how big a character is put on the square, how it leans and bends, and
// how each stroke comes out of a mouse or a pen. All on the stroke data's
// grid (1024 wide, y up).
#pragma once

#include <QList>
#include <QPointF>

#include <random>

namespace writinghand {

// How one pupil places one character: scaled about the box's centre,
// turned, slanted, moved, and bent by a slow warp.
struct Placement {
    double scale = 1;
    double rotation = 0; // radians
    double shear = 0; // x moves by shear * y
    QPointF shift;
    double warp = 0; // the warp's largest displacement, grid units
    double warpWave = 1; // its wavelength in boxes
    double warpPhase[2] = {0, 0};
    QPointF map(const QPointF &p) const;
};

// Another pupil: scale 0.75–1.1, rotation ±6°, shear ±0.1, a shift of up to
// 8 % of the box, a warp of up to 2.5 % of it.
Placement anotherHand(std::mt19937 &rng);
// The model's own shape, only scaled about the box's centre.
Placement scaledInMiddle(double scale);
// The model's own shape, moved by exactly `share` of the box in a random direction.
Placement shiftedBy(double share, std::mt19937 &rng);

// One stroke as a pupil draws it along `median` placed by `placement`:
// each end 5–10 % short or long, a slow wobble, sometimes an entry tick or a
// flick at the end, an uneven speed sampled 60–200 times a second, a shaky
// hand and the pointer rounded to the pixels of a 450-pixel square.
QList<QPointF> draw(const QList<QPointF> &median, const Placement &placement, std::mt19937 &rng);
// A random line of two to five corners across the box, drawn the same way.
QList<QPointF> scribble(const Placement &placement, std::mt19937 &rng);
// The median carried on past its end the way its last sixth goes, to twice its length.
QList<QPointF> doubled(const QList<QPointF> &median);
// A dot at the start of the median, 40–70 units long, the way the stroke begins.
QList<QPointF> dotAtStart(const QList<QPointF> &median, std::mt19937 &rng);

} // namespace writinghand
