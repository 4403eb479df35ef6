#include "bench/writinghand.h"

#include "rules/strokecheck.h"

#include <QLineF>

#include <cmath>

namespace writinghand {
namespace {

constexpr double kBox = 1024;
const QPointF kCentre(512, 388); // the middle of the box: y from -124 to 900

double uniform(std::mt19937 &rng, double from, double to)
{
    return std::uniform_real_distribution<double>(from, to)(rng);
}

QPointF unit(double angle) { return QPointF(std::cos(angle), std::sin(angle)); }

// The direction of a polyline at arc length s, as a unit vector.
QPointF tangentAt(const QList<QPointF> &line, double s)
{
    const QPointF d = strokecheck::pointAlong(line, s + 2) - strokecheck::pointAlong(line, s - 2);
    const double l = std::hypot(d.x(), d.y());
    return l > 0 ? d / l : QPointF(1, 0);
}

} // namespace

QPointF Placement::map(const QPointF &p) const
{
    const QPointF c = p - kCentre;
    const QPointF sheared(c.x() + shear * c.y(), c.y());
    const double cs = std::cos(rotation), sn = std::sin(rotation);
    const QPointF turned(cs * sheared.x() - sn * sheared.y(), sn * sheared.x() + cs * sheared.y());
    const double k = 2 * M_PI / (warpWave * kBox);
    const QPointF bent(warp * std::sin(k * p.y() + warpPhase[0]), warp * std::sin(k * p.x() + warpPhase[1]));
    return kCentre + scale * turned + shift + bent;
}

Placement anotherHand(std::mt19937 &rng)
{
    Placement h;
    h.scale = uniform(rng, 0.75, 1.1);
    h.rotation = uniform(rng, -6, 6) * M_PI / 180;
    h.shear = uniform(rng, -0.1, 0.1);
    h.shift = QPointF(uniform(rng, -0.08, 0.08), uniform(rng, -0.08, 0.08)) * kBox;
    h.warp = uniform(rng, 0, 0.025) * kBox;
    h.warpWave = uniform(rng, 1.5, 2.5);
    h.warpPhase[0] = uniform(rng, 0, 2 * M_PI);
    h.warpPhase[1] = uniform(rng, 0, 2 * M_PI);
    return h;
}

Placement scaledInMiddle(double scale)
{
    Placement h;
    h.scale = scale;
    return h;
}

Placement shiftedBy(double share, std::mt19937 &rng)
{
    Placement h;
    h.shift = unit(uniform(rng, 0, 2 * M_PI)) * share * kBox;
    return h;
}

QList<QPointF> draw(const QList<QPointF> &median, const Placement &placement, std::mt19937 &rng)
{
    // The line the pupil means: the median where this pupil puts it.
    QList<QPointF> meant;
    for (const QPointF &p : strokecheck::resample(median, 48))
        meant.append(placement.map(p));
    const double length = strokecheck::polylineLength(meant);
    auto endError = [&] { return (rng() % 2 ? 1 : -1) * uniform(rng, 0.05, 0.10) * length; };
    const double from = -endError(), to = length + endError();

    const double wobble = uniform(rng, 0, 8), wobbleCycles = uniform(rng, 0.5, 1.5);
    const double wobblePhase = uniform(rng, 0, 2 * M_PI);
    const double speed = uniform(rng, 300, 1500); // grid units a second
    const double rate = uniform(rng, 60, 200); // pointer samples a second
    const double linear = uniform(rng, 0.3, 1); // the rest eases in and out
    const double surge = uniform(rng, 0, 0.3), surgePhase = uniform(rng, 0, 2 * M_PI);
    const int n = std::max(2, int(std::abs(to - from) / speed * rate) + 1);
    std::normal_distribution<double> shake(0, 2);

    QList<QPointF> path;
    if (uniform(rng, 0, 1) < 0.35) // the pen lands a little off and slides into the stroke
        path.append(strokecheck::pointAlong(meant, from)
                    + unit(uniform(rng, 0, 2 * M_PI)) * uniform(rng, 8, 22));
    for (int k = 0; k < n; ++k) {
        const double t = double(k) / (n - 1);
        double eased = linear * t + (1 - linear) * t * t * (3 - 2 * t);
        eased += surge * std::sin(M_PI * t) * std::sin(2 * M_PI * t + surgePhase) / 2;
        const double s = from + (to - from) * std::clamp(eased, 0.0, 1.0);
        const QPointF along = tangentAt(meant, s);
        const QPointF normal(-along.y(), along.x());
        const double w = wobble * std::sin(wobblePhase + 2 * M_PI * wobbleCycles * t);
        path.append(strokecheck::pointAlong(meant, s) + normal * w);
    }
    if (uniform(rng, 0, 1) < 0.35) { // a flick off the end
        const QPointF along = tangentAt(meant, to);
        const double turn = (rng() % 2 ? 1 : -1) * uniform(rng, 0.5, 2.0);
        const QPointF dir(along.x() * std::cos(turn) - along.y() * std::sin(turn),
                          along.x() * std::sin(turn) + along.y() * std::cos(turn));
        path.append(path.last() + dir * uniform(rng, 8, 22));
    }
    const double pixel = kBox / 450;
    QList<QPointF> out;
    for (const QPointF &p : std::as_const(path)) {
        const QPointF q = p + QPointF(shake(rng), shake(rng));
        const QPointF rounded(std::round(q.x() / pixel) * pixel, std::round(q.y() / pixel) * pixel);
        if (out.isEmpty() || out.last() != rounded)
            out.append(rounded);
    }
    if (out.size() == 1)
        out.append(out[0] + QPointF(pixel, 0));
    return out;
}

QList<QPointF> scribble(const Placement &placement, std::mt19937 &rng)
{
    QList<QPointF> corners;
    for (int i = 2 + int(rng() % 4); i > 0; --i)
        corners.append(QPointF(uniform(rng, 60, 964), uniform(rng, -60, 840)));
    return draw(corners, placement, rng);
}

QList<QPointF> doubled(const QList<QPointF> &median)
{
    // Along the way its last sixth goes, not its last tiny segment.
    const double length = strokecheck::polylineLength(median);
    const QPointF end = median.last();
    const QPointF way = end - strokecheck::pointAlong(median, length * 5 / 6);
    const double wayLength = std::hypot(way.x(), way.y());
    QList<QPointF> out = strokecheck::resample(median, 24);
    out.append(end + (wayLength > 0 ? way / wayLength : QPointF(1, 0)) * length);
    return out;
}

QList<QPointF> dotAtStart(const QList<QPointF> &median, std::mt19937 &rng)
{
    return {median.first(), strokecheck::pointAlong(median, uniform(rng, 40, 70))};
}

} // namespace writinghand
