#include "rules/strokecheck.h"

#include <QLineF>

#include <algorithm>
#include <cmath>

namespace strokecheck {
namespace {

// Points along each line for the distances, and the coarser parts whose
// directions are compared (few enough that a short, shaky stroke still has
// parts longer than the shake).
constexpr int kSamples = 24;
constexpr int kParts = 6;

// Tolerances at the normal strictness, in grid units (the character box is
// 1024 wide). A pupil's stroke is off by a few per cent of the box and
// starts or ends a little early or late; a misplaced stroke is off by a
// fifth of the box or more.
struct Limits {
    double endBase; // start and end: a base, a share of the stroke's length, a cap
    double endPerLength;
    double endCap;
    double mean; // mean distance between the two lines
    double direction; // least mean cosine between corresponding parts
    double ratioLow; // drawn length against expected, with an absolute slack
    double ratioHigh;
    double lengthSlack;
};

Limits limitsFor(Strictness s)
{
    switch (s) {
    case Strictness::Loose: return {70, 0.16, 220, 85, 0.3, 0.45, 2.0, 50};
    case Strictness::Strict: return {30, 0.08, 110, 36, 0.7, 0.72, 1.35, 22};
    case Strictness::Normal: break;
    }
    return {50, 0.12, 170, 62, 0.5, 0.6, 1.65, 35};
}

// A drawn and expected line closer than this fit the same; a later stroke
// must fit clearly better than the expected one to call it the wrong order.
constexpr double kLaterFactor = 0.6;
constexpr double kLaterMargin = 12;

double distanceToSegment(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const QPointF ab = b - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    double t = len2 > 0 ? QPointF::dotProduct(p - a, ab) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF d = p - (a + t * ab);
    return std::hypot(d.x(), d.y());
}

double distanceToPolyline(const QPointF &p, const QList<QPointF> &line)
{
    if (line.size() == 1)
        return QLineF(p, line[0]).length();
    double best = INFINITY;
    for (qsizetype i = 1; i < line.size(); ++i)
        best = std::min(best, distanceToSegment(p, line[i - 1], line[i]));
    return best;
}

double meanDistanceTo(const QList<QPointF> &from, const QList<QPointF> &to)
{
    double sum = 0;
    for (const QPointF &p : from)
        sum += distanceToPolyline(p, to);
    return sum / double(from.size());
}

double cosine(const QPointF &u, const QPointF &v)
{
    const double lu = std::hypot(u.x(), u.y());
    const double lv = std::hypot(v.x(), v.y());
    if (lu < 1e-9 || lv < 1e-9)
        return 0;
    return QPointF::dotProduct(u, v) / (lu * lv);
}

// The stroke's width from its outline: area over the length of its centre line.
double strokeWidth(const StrokeShape &shape, double medianLength)
{
    const QList<QPointF> &o = shape.outline;
    if (o.size() < 3 || medianLength < 1)
        return 0;
    double twiceArea = 0;
    for (qsizetype i = 0; i < o.size(); ++i) {
        const QPointF &a = o[i];
        const QPointF &b = o[(i + 1) % o.size()];
        twiceArea += a.x() * b.y() - b.x() * a.y();
    }
    return std::clamp(std::abs(twiceArea) / 2 / medianLength, 0.0, 200.0);
}

// The drawn line as the checker sees it: resampled evenly, with its coarse
// parts and a length that shaking does not inflate.
struct Line {
    QList<QPointF> fine;
    QList<QPointF> coarse;
    double length = 0;
};

Line lineOf(const QList<QPointF> &points)
{
    Line l;
    l.fine = resample(points, kSamples);
    l.coarse = resample(points, kParts + 1);
    l.length = polylineLength(resample(points, 2 * kParts + 1));
    return l;
}

Verdict measure(const StrokeShape &expected, const Line &drawn, const Limits &lim)
{
    Verdict v;
    const Line want = lineOf(expected.median);
    const double width = strokeWidth(expected, polylineLength(expected.median));
    const double bonus = 0.25 * width;

    v.startDistance = QLineF(drawn.fine.first(), want.fine.first()).length();
    v.endDistance = QLineF(drawn.fine.last(), want.fine.last()).length();
    // Both ways: a drawn line that covers only part of the stroke is far
    // from the rest of it.
    v.meanDistance = std::max(meanDistanceTo(drawn.fine, want.fine), meanDistanceTo(want.fine, drawn.fine));

    double parts = 0;
    for (int i = 0; i < kParts; ++i)
        parts += cosine(drawn.coarse[i + 1] - drawn.coarse[i], want.coarse[i + 1] - want.coarse[i]);
    parts /= kParts;
    // The whole stroke's way from start to end weighs as much, unless the
    // stroke nearly comes back to its start.
    const QPointF chordWant = want.fine.last() - want.fine.first();
    if (std::hypot(chordWant.x(), chordWant.y()) > 0.3 * want.length)
        v.direction = 0.5 * parts + 0.5 * cosine(drawn.fine.last() - drawn.fine.first(), chordWant);
    else
        v.direction = parts;

    v.lengthRatio = want.length > 0 ? drawn.length / want.length : INFINITY;

    const double endTol = std::min(lim.endCap, lim.endBase + lim.endPerLength * want.length) + bonus;
    if (v.startDistance > endTol)
        v.reasons |= StartTooFar;
    if (v.endDistance > endTol)
        v.reasons |= EndTooFar;
    if (v.meanDistance > lim.mean + bonus)
        v.reasons |= TooFarOnAverage;
    if (v.direction < lim.direction)
        v.reasons |= DirectionWrong;
    if (drawn.length < lim.ratioLow * want.length - lim.lengthSlack)
        v.reasons |= TooShort;
    if (drawn.length > lim.ratioHigh * want.length + lim.lengthSlack)
        v.reasons |= TooLong;
    v.accepted = v.reasons == NoReason;
    return v;
}

double fitScore(const Verdict &v) { return v.meanDistance + 0.25 * (v.startDistance + v.endDistance); }

} // namespace

double polylineLength(const QList<QPointF> &points)
{
    double length = 0;
    for (qsizetype i = 1; i < points.size(); ++i)
        length += QLineF(points[i - 1], points[i]).length();
    return length;
}

QList<QPointF> resample(const QList<QPointF> &points, int n)
{
    QList<QPointF> out;
    if (points.isEmpty() || n <= 0)
        return out;
    out.reserve(n);
    const double total = polylineLength(points);
    if (total <= 0 || n == 1) {
        out.fill(points.first(), n);
        return out;
    }
    const double step = total / (n - 1);
    out.append(points.first());
    double walked = 0; // length up to points[i - 1]
    qsizetype i = 1;
    for (int k = 1; k < n - 1; ++k) {
        const double target = k * step;
        while (i < points.size() - 1 && walked + QLineF(points[i - 1], points[i]).length() < target) {
            walked += QLineF(points[i - 1], points[i]).length();
            ++i;
        }
        const QLineF seg(points[i - 1], points[i]);
        const double l = seg.length();
        out.append(l > 0 ? seg.pointAt(std::clamp((target - walked) / l, 0.0, 1.0)) : points[i]);
    }
    out.append(points.last());
    return out;
}

Verdict judgeStroke(const StrokeShape &expected, const QList<StrokeShape> &later, const QList<QPointF> &drawn,
                    Strictness strictness)
{
    const Limits lim = limitsFor(strictness);
    if (drawn.size() < 2 || polylineLength(drawn) < 4 || expected.median.isEmpty()) {
        Verdict v;
        v.reasons = TooFewPoints;
        return v;
    }
    const Line line = lineOf(drawn);
    Verdict v = measure(expected, line, lim);
    if (!v.accepted)
        return v;

    // Short parallel strokes (三, 月) lie close together: a stroke a little
    // off towards the next one is still this one.
    const double own = fitScore(v);
    double best = own * kLaterFactor - kLaterMargin;
    for (qsizetype j = 0; j < later.size(); ++j) {
        const QList<QPointF> &m = later[j].median;
        if (m.isEmpty())
            continue;
        // Ends beyond any tolerance: that stroke cannot fit, no need to measure it.
        const double reach = lim.endCap + 0.25 * 200;
        if (QLineF(m.first(), line.fine.first()).length() > reach
            || QLineF(m.last(), line.fine.last()).length() > reach)
            continue;
        const Verdict other = measure(later[j], line, lim);
        if (other.accepted && fitScore(other) < best) {
            best = fitScore(other);
            v.betterLater = int(j);
        }
    }
    if (v.betterLater >= 0) {
        v.reasons |= LaterStrokeFits;
        v.accepted = false;
    }
    return v;
}

QStringList reasonTexts(unsigned reasons)
{
    static const struct {
        Reason reason;
        const char16_t *text;
    } texts[] = {
        {TooFewPoints, u"没有写出笔画"}, {LaterStrokeFits, u"笔顺不对"}, {DirectionWrong, u"方向不对"},
        {StartTooFar, u"起笔位置不对"},  {EndTooFar, u"收笔位置不对"},   {TooFarOnAverage, u"位置偏了"},
        {TooShort, u"笔画太短"},         {TooLong, u"笔画太长"},
    };
    QStringList out;
    for (const auto &t : texts)
        if (reasons & t.reason)
            out.append(QString::fromUtf16(t.text));
    return out;
}

int starsFor(int rightFirstTime, int total)
{
    if (total <= 0 || rightFirstTime >= total)
        return 3;
    const double share = double(std::max(0, rightFirstTime)) / total;
    return share >= 0.75 ? 2 : 1;
}

QString scoreText(int rightFirstTime, int total)
{
    return QStringLiteral("一次写对 %1 笔，共 %2 笔").arg(rightFirstTime).arg(total);
}

void Session::reset(int strokeCount)
{
    m_total = std::max(0, strokeCount);
    m_current = 0;
    m_misses = 0;
    m_rightFirstTime = 0;
}

Session::Outcome Session::record(bool accepted)
{
    if (complete())
        return Outcome::Accepted;
    if (accepted) {
        if (m_misses == 0)
            ++m_rightFirstTime;
        ++m_current;
        m_misses = 0;
        return Outcome::Accepted;
    }
    ++m_misses;
    if (m_misses >= kMissesForDrawing) {
        ++m_current;
        m_misses = 0;
        return Outcome::DrawnForPupil;
    }
    return m_misses == kMissesForHint ? Outcome::Hint : Outcome::Missed;
}

} // namespace strokecheck
