// Judging a stroke the pupil drew against the stroke data: values in, a
// verdict with its reasons out. Everything is on the data's 1024 grid with y
// pointing up; the window maps its pointer positions onto it first.
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
    TooFarOnAverage = 1u << 6,
    LaterStrokeFits = 1u << 7, // another stroke of the character fits clearly better: wrong order
};

// One stroke of the character: its centre line from start to end, and its
// outline flattened to a closed polygon (may be empty; it only widens the
// tolerance for a thick stroke).
struct StrokeShape {
    QList<QPointF> median;
    QList<QPointF> outline;
};

struct Verdict {
    bool accepted = false;
    unsigned reasons = NoReason;
    // The measurements behind it, in grid units (lengthRatio: drawn / expected;
    // direction: mean cosine between corresponding parts, 1 is the same way).
    double startDistance = 0;
    double endDistance = 0;
    double meanDistance = 0;
    double direction = 0;
    double lengthRatio = 0;
    // Index into the strokes still to come of the one that fits clearly
    // better, -1 when none does.
    int betterLater = -1;
};

// Judges `drawn` (pointer positions in drawing order) as the stroke
// `expected`; `later` are the character's strokes still to come after it.
// A stroke that matches is accepted even when a later one matches a little
// better; only a clearly better later fit refuses it as the wrong order.
Verdict judgeStroke(const StrokeShape &expected, const QList<StrokeShape> &later, const QList<QPointF> &drawn,
                    Strictness strictness);

// The reasons in the pupil's words, most telling first ("起笔位置不对" …).
QStringList reasonTexts(unsigned reasons);

// One to three stars for strokes right at the first try out of all.
int starsFor(int rightFirstTime, int total);
// "一次写对 7 笔，共 9 笔".
QString scoreText(int rightFirstTime, int total);

// Points evenly spaced along a polyline, both ends kept; a polyline without
// length gives its first point n times.
QList<QPointF> resample(const QList<QPointF> &points, int n);
double polylineLength(const QList<QPointF> &points);

// The course of writing one character: which stroke is next, the misses on
// it, what the window should show after each attempt, and the score.
class Session
{
public:
    enum class Outcome {
        Accepted, // the stroke is done
        Missed, // refused; try again
        Hint, // refused, the second miss on this stroke: show it as a hint
        DrawnForPupil, // refused a third time: the stroke is drawn and counted as missed
    };
    static constexpr int kMissesForHint = 2;
    static constexpr int kMissesForDrawing = 3;

    explicit Session(int strokeCount = 0) { reset(strokeCount); }
    void reset(int strokeCount);

    int strokeCount() const { return m_total; }
    // The stroke to write next; strokeCount() when the character is complete.
    int current() const { return m_current; }
    bool complete() const { return m_current >= m_total; }
    int missesOnCurrent() const { return m_misses; }
    int rightFirstTime() const { return m_rightFirstTime; }

    // Records the verdict on the current stroke.
    Outcome record(bool accepted);

private:
    int m_total = 0;
    int m_current = 0;
    int m_misses = 0;
    int m_rightFirstTime = 0;
};

} // namespace strokecheck
