#include "rules/strokecheck.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <complex>

namespace strokecheck {
namespace {

using Complex = std::complex<double>;

// Points along each line for the distances, and the coarser parts whose
// directions are compared (few enough that a short, shaky stroke still has
// parts longer than the shake).
constexpr int kSamples = 24;
constexpr int kParts = 6;
// Shorter than this, in grid units, a line is a tap: under three pixels of
// the square, a click that shook.
constexpr double kTapLength = 6;
// The middle of the character box.
const QPointF kBoxMiddle(512, 388);

// Tolerances at each strictness. Distances are in the model's units once the
// drawn line is mapped back through the pupil's frame, plus a part in the
// pupil's own units (`...Hand`: a shaky hand is as shaky on a small
// character), divided by the frame's scale.
struct Limits {
    double endBase; // start and end: a base, a share of the stroke's length, a cap
    double endPerLength;
    double endCap;
    double endHand;
    double meanBase; // mean distance between the two lines
    double meanHand;
    double direction; // least mean cosine between corresponding parts
    double ratioLow; // drawn length against expected, with an absolute slack
    double ratioHigh;
    double lengthSlack;
    double firstSlack; // the first stroke's loose place: a share of the box
};

Limits limitsFor(Strictness s)
{
    switch (s) {
    case Strictness::Loose: return {50, 0.14, 190, 20, 46, 12, 0.45, 0.5, 1.45, 26, 0.07};
    case Strictness::Strict: return {26, 0.08, 110, 10, 24, 6, 0.75, 0.7, 1.2, 12, 0.03};
    case Strictness::Normal: break;
    }
    return {36, 0.11, 150, 15, 34, 9, 0.6, 0.6, 1.3, 18, 0.048};
}

// A stroke still to come must fit clearly better than the expected one to
// call a stroke that fits the expected one the wrong order. Before anything
// is taken the place is loose, and only the place tells two dots apart (氵):
// better is enough there.
constexpr double kLaterFactor = 0.7;
constexpr double kLaterMargin = 8;
constexpr double kFirstLaterFactor = 0.85;

// The frame fit's pull towards the scale the strokes' lengths give, as the
// spread of a stroke (grid units): one long stroke outweighs it, a dot not.
constexpr double kPriorSpread = 150;
// How far off that scale may be, and what is left when the fit rests on
// many strokes.
constexpr double kPriorUncertainty = 0.12;
constexpr double kLeastUncertainty = 0.025;

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

double norm(const QPointF &p) { return std::hypot(p.x(), p.y()); }

QPointF centroid(const QList<QPointF> &points)
{
    QPointF sum;
    for (const QPointF &p : points)
        sum += p;
    return points.isEmpty() ? sum : sum / double(points.size());
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

// A line as the checker sees it: resampled evenly, with its coarse parts and
// a length that shaking does not inflate.
struct Line {
    QList<QPointF> fine;
    QList<QPointF> coarse;
    double length = 0;
    void moveBy(const QPointF &d)
    {
        for (QPointF &p : fine)
            p += d;
        for (QPointF &p : coarse)
            p += d;
    }
};

// Both ways: a drawn line that covers only part of the stroke is far from
// the rest of it.
double bothWays(const Line &drawn, const Line &want)
{
    return std::max(meanDistanceTo(drawn.fine, want.fine), meanDistanceTo(want.fine, drawn.fine));
}

double endsApart(const Line &drawn, const Line &want)
{
    return QLineF(drawn.fine.first(), want.fine.first()).length()
        + QLineF(drawn.fine.last(), want.fine.last()).length();
}

// The mean cosine between corresponding parts; the whole stroke's way from
// start to end weighs as much, unless the stroke nearly comes back to its start.
double directionOf(const Line &drawn, const Line &want)
{
    double parts = 0;
    for (int i = 0; i < kParts; ++i)
        parts += cosine(drawn.coarse[i + 1] - drawn.coarse[i], want.coarse[i + 1] - want.coarse[i]);
    parts /= kParts;
    const QPointF chordWant = want.fine.last() - want.fine.first();
    if (norm(chordWant) <= 0.3 * want.length)
        return parts;
    return 0.5 * parts + 0.5 * cosine(drawn.fine.last() - drawn.fine.first(), chordWant);
}

Line lineOf(const QList<QPointF> &points)
{
    Line l;
    l.fine = resample(points, kSamples);
    l.coarse = resample(points, kParts + 1);
    l.length = polylineLength(resample(points, 2 * kParts + 1));
    return l;
}

// How the drawn line may be placed against one stroke of the model: the
// frame it is mapped back through, how far it may lie off as a whole without
// blame, and the lengths it may have.
struct Placing {
    Frame frame;
    double slack = 0; // model units
    double ratioLow = 0;
    double ratioHigh = 0;
};

// Before anything is taken: the box itself, scaled about its middle by what
// the drawn line's length says of the character's size (a short stroke says
// little), the place loose; the length is judged against the box.
Placing firstPlacing(const Line &drawnOnGrid, double modelLength, const Limits &lim)
{
    Placing p;
    const double weight = modelLength / (modelLength + kPriorSpread);
    const double ratio = modelLength > 0 ? drawnOnGrid.length / modelLength : 1;
    p.frame.scale = std::clamp(weight * ratio + (1 - weight), 0.55, 1.25);
    p.frame.shift = kBoxMiddle * (1 - p.frame.scale);
    p.frame.middle = kBoxMiddle;
    p.frame.uncertainty = 0.2;
    // A small character may stand almost anywhere in the box.
    p.slack = lim.firstSlack * 1024 + std::max(0.0, 1 - p.frame.scale) * 450;
    // A pupil's character is 0.6 to 1.1 of the model's size.
    p.ratioLow = lim.ratioLow * 0.6 / p.frame.scale;
    p.ratioHigh = lim.ratioHigh * 0.95 / p.frame.scale;
    return p;
}

Placing fittedPlacing(const Frame &frame, const Limits &lim)
{
    Placing p;
    p.frame = frame;
    p.slack = 10 + 0.4 * frame.residual;
    p.ratioLow = lim.ratioLow * (1 - frame.uncertainty);
    p.ratioHigh = lim.ratioHigh * (1 + frame.uncertainty);
    return p;
}

// The drawn line against one stroke of the model, through a placing.
Verdict measure(const StrokeShape &expected, const QList<QPointF> &drawnOnGrid, const Placing &placing,
                const Limits &lim)
{
    Verdict v;
    QList<QPointF> back;
    back.reserve(drawnOnGrid.size());
    for (const QPointF &p : drawnOnGrid)
        back.append(placing.frame.unmap(p));
    Line drawn = lineOf(back);
    const Line want = lineOf(expected.median);
    const double bonus = 0.25 * strokeWidth(expected, polylineLength(expected.median));
    const double hand = 1 / placing.frame.scale;

    // Off as a whole: forgiven up to the slack, and further the less sure
    // the frame is where this stroke lies.
    const QPointF offset = centroid(drawn.fine) - centroid(want.fine);
    const double off = norm(offset);
    const double slack
        = placing.slack + placing.frame.uncertainty * norm(centroid(want.fine) - placing.frame.middle);
    // Where the frame puts it, nothing forgiven: which of two strokes fits better.
    v.misfit = bothWays(drawn, want) + 0.25 * endsApart(drawn, want);
    drawn.moveBy(off > slack ? -offset * (slack / off) : -offset);

    v.startDistance = QLineF(drawn.fine.first(), want.fine.first()).length();
    v.endDistance = QLineF(drawn.fine.last(), want.fine.last()).length();
    v.meanDistance = bothWays(drawn, want);
    v.direction = directionOf(drawn, want);
    v.lengthRatio = want.length > 0 ? drawn.length / want.length : INFINITY;

    const double endTol
        = std::min(lim.endCap, lim.endBase + lim.endPerLength * want.length) + lim.endHand * hand + bonus;
    const double meanTol = lim.meanBase + lim.meanHand * hand + bonus;
    const double slackLength = lim.lengthSlack * (0.5 + 0.5 * hand);
    if (v.direction < lim.direction)
        v.reasons |= DirectionWrong;
    if (drawn.length < placing.ratioLow * want.length - slackLength)
        v.reasons |= TooShort;
    if (drawn.length > placing.ratioHigh * want.length + slackLength)
        v.reasons |= TooLong;
    unsigned place = NoReason;
    if (v.startDistance > endTol)
        place |= StartTooFar;
    if (v.endDistance > endTol)
        place |= EndTooFar;
    if (v.meanDistance > meanTol)
        place |= ShapeWrong;
    // The right shape in the wrong place says so, not which end is off: both
    // ends off the way the whole is, and the whole moved back fits.
    if (place != NoReason && off > slack) {
        Line whole = drawn;
        const QPointF rest = offset * (1 - slack / off);
        whole.moveBy(-rest);
        // Each end at least half as far off as the whole, the same way.
        const double half = 0.5 * QPointF::dotProduct(rest, rest);
        const bool endsMoved = QPointF::dotProduct(drawn.fine.first() - want.fine.first(), rest) > half
            && QPointF::dotProduct(drawn.fine.last() - want.fine.last(), rest) > half;
        const bool fits = QLineF(whole.fine.first(), want.fine.first()).length() <= endTol
            && QLineF(whole.fine.last(), want.fine.last()).length() <= endTol
            && bothWays(whole, want) <= meanTol;
        if (endsMoved && fits)
            place = Misplaced;
    }
    v.reasons |= place;
    v.accepted = v.reasons == NoReason;
    return v;
}

} // namespace

QPointF Frame::map(const QPointF &model) const
{
    const Complex a = std::polar(scale, angle);
    const Complex z = a * Complex(model.x(), model.y());
    return QPointF(z.real(), z.imag()) + shift;
}

QPointF Frame::unmap(const QPointF &pupil) const
{
    const Complex a = std::polar(scale, angle);
    const QPointF d = pupil - shift;
    const Complex z = Complex(d.x(), d.y()) / a;
    return QPointF(z.real(), z.imag());
}

Frame fitFrame(const QList<StrokeShape> &strokes, const QList<QList<QPointF>> &taken)
{
    constexpr int kPoints = 16;
    QList<QPointF> model, pupil;
    QList<double> weight;
    double modelLength = 0, pupilLength = 0;
    for (qsizetype i = 0; i < taken.size() && i < strokes.size(); ++i) {
        if (taken[i].size() < 2 || strokes[i].median.isEmpty())
            continue;
        const double length = polylineLength(strokes[i].median);
        modelLength += length;
        // Resampled first: a shaky hand's many points would make it longer.
        pupilLength += polylineLength(resample(taken[i], 2 * kParts + 1));
        model += resample(strokes[i].median, kPoints);
        pupil += resample(taken[i], kPoints);
        // A long stroke tells more of the frame than a dot, a dot still its place.
        weight += QList<double>(kPoints, std::max(length, 60.0) / kPoints);
    }
    Frame f;
    if (model.isEmpty())
        return f;
    double total = 0;
    QPointF mMid, pMid;
    for (qsizetype j = 0; j < model.size(); ++j) {
        total += weight[j];
        mMid += weight[j] * model[j];
        pMid += weight[j] * pupil[j];
    }
    mMid /= total;
    pMid /= total;
    // Least squares for pupil = a * model + t, a complex (scale and turn),
    // pulled towards the scale of the strokes' lengths.
    double spread = 0;
    Complex cross = 0;
    for (qsizetype j = 0; j < model.size(); ++j) {
        const QPointF m = model[j] - mMid, p = pupil[j] - pMid;
        spread += weight[j] * QPointF::dotProduct(m, m);
        cross += weight[j] * std::conj(Complex(m.x(), m.y())) * Complex(p.x(), p.y());
    }
    spread /= total;
    cross /= total;
    const double prior = modelLength > 0 ? std::clamp(pupilLength / modelLength, 0.5, 1.4) : 1;
    const double lambda = kPriorSpread * kPriorSpread;
    const Complex a = (cross + lambda * prior) / (spread + lambda);
    f.fitted = true;
    f.scale = std::clamp(std::abs(a), 0.4, 1.5);
    f.angle = std::clamp(std::arg(a), -0.25, 0.25);
    f.middle = mMid;
    f.shift = pMid - f.map(mMid); // the shift is still zero here
    f.uncertainty = kPriorUncertainty * lambda / (spread + lambda) + kLeastUncertainty;
    double squares = 0;
    for (qsizetype j = 0; j < model.size(); ++j) {
        const QPointF d = f.unmap(pupil[j]) - model[j];
        squares += weight[j] * QPointF::dotProduct(d, d);
    }
    f.residual = std::sqrt(squares / total);
    return f;
}

Verdict judgeStroke(const QList<StrokeShape> &strokes, int index, const QList<QList<QPointF>> &taken,
                    const QList<QPointF> &drawn, Strictness strictness)
{
    Verdict none;
    none.reasons = TooFewPoints;
    if (index < 0 || index >= strokes.size() || strokes[index].median.isEmpty())
        return none;
    if (drawn.size() < 2 || polylineLength(drawn) < kTapLength)
        return none;
    const Limits lim = limitsFor(strictness);
    const Frame frame = fitFrame(strokes, taken.mid(0, index));
    const Line onGrid = lineOf(drawn);
    auto placingFor = [&](const StrokeShape &s) {
        return frame.fitted ? fittedPlacing(frame, lim) : firstPlacing(onGrid, polylineLength(s.median), lim);
    };

    Verdict v = measure(strokes[index], drawn, placingFor(strokes[index]), lim);
    // A stroke still to come that fits: the wrong order when this one does
    // not fit at all, or fits clearly worse.
    const double factor = frame.fitted ? kLaterFactor : kFirstLaterFactor;
    const double margin = frame.fitted ? kLaterMargin : 0;
    // Before anything is taken the place is the pupil's: shapes are compared
    // where they would fit; after, where the frame puts them.
    auto score = [&](const Verdict &x) {
        return frame.fitted ? x.misfit : x.meanDistance + 0.25 * (x.startDistance + x.endDistance);
    };
    double best = v.accepted ? score(v) * factor - margin : INFINITY;
    for (qsizetype j = index + 1; j < strokes.size(); ++j) {
        if (strokes[j].median.isEmpty())
            continue;
        const Verdict other = measure(strokes[j], drawn, placingFor(strokes[j]), lim);
        if (other.accepted && score(other) < best) {
            best = score(other);
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
        {TooFewPoints, u"没有写出笔画"}, {LaterStrokeFits, u"笔顺不对"}, {TooShort, u"笔画太短"},
        {TooLong, u"笔画太长"},          {DirectionWrong, u"方向不对"},  {Misplaced, u"位置偏了"},
        {StartTooFar, u"起笔位置不对"},  {EndTooFar, u"收笔位置不对"},   {ShapeWrong, u"笔画形状不对"},
    };
    QStringList out;
    for (const auto &t : texts)
        if (reasons & t.reason)
            out.append(QString::fromUtf16(t.text));
    return out;
}

double polylineLength(const QList<QPointF> &points)
{
    double length = 0;
    for (qsizetype i = 1; i < points.size(); ++i)
        length += QLineF(points[i - 1], points[i]).length();
    return length;
}

QPointF pointAlong(const QList<QPointF> &line, double s)
{
    if (line.size() == 1)
        return line[0];
    if (s <= 0) {
        const QLineF first(line[0], line[1]);
        return first.length() > 0 ? first.pointAt(s / first.length()) : line[0];
    }
    double walked = 0;
    for (qsizetype i = 1; i < line.size(); ++i) {
        const QLineF seg(line[i - 1], line[i]);
        if (walked + seg.length() >= s || i == line.size() - 1)
            return seg.length() > 0 ? seg.pointAt((s - walked) / seg.length()) : line[i];
        walked += seg.length();
    }
    return line.last();
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

} // namespace strokecheck
