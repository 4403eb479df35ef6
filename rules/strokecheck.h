// Judging a stroke the pupil drew against the stroke data: values in, a
// verdict with its reasons out. Everything is on the data's 1024 grid with y
// pointing up; the window maps its pointer positions onto it first.
//
// Where the pupil puts the character and how big it is are the pupil's: each
// stroke is judged in the pupil's own frame, a similarity fitted to the
// strokes already taken (CONTRIBUTING.md, "The writing check", says how).
#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>

namespace strokecheck {

enum class Strictness { Loose, Normal, Strict };

// Why a stroke was refused; several may hold at once.
enum Reason : unsigned {
    NoReason = 0,
    TooFewPoints = 1u << 0, // a click or a dab, no line
    StartTooFar = 1u << 1,
    EndTooFar = 1u << 2,
    DirectionWrong = 1u << 3,
    TooShort = 1u << 4,
    TooLong = 1u << 5,
    Misplaced = 1u << 6, // the right shape, off as a whole
    LaterStrokeFits = 1u << 7, // a stroke still to come fits better: wrong order
    ShapeWrong = 1u << 8, // far from the stroke along its way
};

// One stroke of the character: its centre line from start to end, and its
// outline flattened to a closed polygon (may be empty; it only widens the
// tolerance for a thick stroke).
struct StrokeShape {
    QList<QPointF> median;
    QList<QPointF> outline;
};

// Where the pupil writes the character: the data's grid mapped onto the
// pupil's by a scale, a small turn and a shift.
struct Frame {
    bool fitted = false; // false: nothing of the pupil's to fit yet, the box itself
    double scale = 1;
    double angle = 0; // radians, counter-clockwise
    QPointF shift;
    // The part of the model the fit rests on (the middle of the strokes
    // taken), and how far off the scale and turn may still be: a share, so
    // that a point d units from the middle may be off by d * uncertainty.
    QPointF middle;
    double uncertainty = 0;
    // How far the pupil's strokes are from the fitted frame, on average.
    double residual = 0;

    QPointF map(const QPointF &model) const;
    QPointF unmap(const QPointF &pupil) const;
};

// The frame of the strokes taken: `taken[i]` is the pupil's ink of stroke i,
// empty for a stroke drawn for the pupil (it tells nothing of the pupil's hand).
Frame fitFrame(const QList<StrokeShape> &strokes, const QList<QList<QPointF>> &taken);

struct Verdict {
    bool accepted = false;
    unsigned reasons = NoReason;
    // The measurements behind it, in the model's units once the drawn line
    // is mapped back through the pupil's frame (lengthRatio: drawn / expected;
    // direction: mean cosine between corresponding parts, 1 is the same way).
    double startDistance = 0;
    double endDistance = 0;
    double meanDistance = 0;
    double direction = 0;
    double lengthRatio = 0;
    // The drawn line against the stroke where the frame puts it, nothing
    // forgiven (the mean distance and a quarter of each end's): lower fits better.
    double misfit = 0;
    // The stroke of the character that fits better than the expected one
    // (an index into the character's strokes), -1 when none does.
    int betterLater = -1;
};

// Judges `drawn` (pointer positions in drawing order) as stroke `index` of
// the character, after the strokes before it were taken with the pupil's
// ink `taken`. A stroke that fits a later stroke of the character clearly
// better than this one is refused as the wrong order; one that fits this one
// and a later one about as well is taken (parallel strokes lie close).
Verdict judgeStroke(const QList<StrokeShape> &strokes, int index, const QList<QList<QPointF>> &taken,
                    const QList<QPointF> &drawn, Strictness strictness);

// The reasons in the pupil's words, the one that explains the refusal first
// ("笔顺不对", "笔画太短", "方向不对" …): a stroke far too short or too long
// is that before its ends or its way are wrong.
QStringList reasonTexts(unsigned reasons);

// Points evenly spaced along a polyline, both ends kept; a polyline without
// length gives its first point n times.
QList<QPointF> resample(const QList<QPointF> &points, int n);
double polylineLength(const QList<QPointF> &points);
// The point at arc length s along a polyline, carried on straight past either end.
QPointF pointAlong(const QList<QPointF> &line, double s);

} // namespace strokecheck
