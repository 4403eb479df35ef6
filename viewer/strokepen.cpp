#include "viewer/strokepen.h"

#include <QLineF>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace strokepen {

QList<Stretch> stretches(const QList<QPointF> &points, qreal length, const QRectF &near,
                         const QTransform &map)
{
    QList<Stretch> found;
    const auto add = [&found, &map](const QPointF &a, const QPointF &b) {
        const QPointF from = map.map(a);
        const QPointF to = map.map(b) - from;
        const qreal squared = QPointF::dotProduct(to, to);
        found.append({from, to, squared > 0 ? 1 / squared : 0});
    };
    const auto isNear = [&near](const QRectF &r) {
        return near.isNull() || r.normalized().adjusted(-0.5, -0.5, 0.5, 0.5).intersects(near);
    };
    qreal walked = 0;
    for (qsizetype i = 1; i < points.size() && walked < length; ++i) {
        const QLineF seg(points[i - 1], points[i]);
        const qreal l = seg.length();
        const QPointF end = walked + l > length && l > 0 ? seg.pointAt((length - walked) / l) : points[i];
        walked += l;
        if (isNear(QRectF(seg.p1(), end)))
            add(seg.p1(), end);
    }
    if (points.size() == 1 && isNear(QRectF(points[0], points[0])))
        add(points[0], points[0]);
    return found;
}

qreal squaredDistance(const QList<Stretch> &way, const QPointF &p)
{
    qreal nearest = std::numeric_limits<qreal>::max();
    for (const Stretch &s : way) {
        const QPointF v = p - s.from;
        const qreal t = std::clamp(QPointF::dotProduct(v, s.to) * s.inverse, 0.0, 1.0);
        const QPointF w = v - s.to * t;
        nearest = std::min(nearest, QPointF::dotProduct(w, w));
    }
    return nearest;
}

qreal reach(const QPainterPath &outline, const QList<QPointF> &median, qreal margin, qreal most)
{
    const QList<Stretch> way = stretches(median, std::numeric_limits<qreal>::max());
    if (way.isEmpty())
        return most;
    qreal farthest = 0;
    for (const QPolygonF &polygon : outline.toSubpathPolygons())
        for (const QPointF &p : polygon)
            farthest = std::max(farthest, squaredDistance(way, p));
    return std::min(most, std::sqrt(farthest) + margin);
}

QRectF advance(const QList<QPointF> &points, qreal from, qreal to, qreal radius)
{
    // The band around each segment's stretch and the half circle ahead of
    // where it ends; the half circle behind the start was drawn already,
    // unless the pen is only set down.
    QRectF box;
    const auto include = [&box](const QRectF &r) { box = box.isNull() ? r : box.united(r); };
    if (from <= 0 && !points.isEmpty())
        include(QRectF(points[0].x() - radius, points[0].y() - radius, 2 * radius, 2 * radius));
    qreal walked = 0;
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QLineF seg(points[i - 1], points[i]);
        const qreal l = seg.length();
        const qreal a = std::max(from, walked);
        const qreal b = std::min(to, walked + l);
        if (b > a && l > 0) {
            const QPointF start = seg.pointAt((a - walked) / l);
            const QPointF end = seg.pointAt((b - walked) / l);
            const QPointF ahead = QPointF(seg.dx(), seg.dy()) / l;
            const QPointF across = QPointF(-ahead.y(), ahead.x()) * radius;
            QPolygonF reached({start + across, start - across, end + across, end - across});
            // Of the half circle ahead, whichever of its four extreme points lie ahead.
            for (const QPointF &dir : {QPointF(1, 0), QPointF(-1, 0), QPointF(0, 1), QPointF(0, -1)})
                if (QPointF::dotProduct(dir, ahead) >= 0)
                    reached << end + dir * radius;
            include(reached.boundingRect());
        }
        walked += l;
    }
    return box;
}

} // namespace strokepen
