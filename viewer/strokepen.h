// The pen that uncovers a stroke of the stroke-order animation along its
// median: how wide it must be, what it adds from one frame to the next, and
// how much of each pixel it covers.
#pragma once

#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QRgb>
#include <QTransform>

#include <cmath>

namespace strokepen {

// One stretch of the pen's way, ready for distances: where it starts, where
// it goes, and 1/|goes|².
struct Stretch {
    QPointF from;
    QPointF to;
    qreal inverse;
};

// The stretches of the first `length` units of a polyline that come near
// `near` (all of them for an empty `near`), mapped by `map`.
QList<Stretch> stretches(const QList<QPointF> &points, qreal length, const QRectF &near = QRectF(),
                         const QTransform &map = QTransform());

// The square of the distance from a point to the nearest stretch.
qreal squaredDistance(const QList<Stretch> &way, const QPointF &p);

// How much of the pixel centred at `p` a round pen of radius `r` covers on
// its way along the stretches, 0 to 255: a smooth edge one pixel wide.
inline uint cover(const QList<Stretch> &way, const QPointF &p, qreal r)
{
    const qreal nearest = squaredDistance(way, p);
    if (nearest >= (r + 0.5) * (r + 0.5))
        return 0;
    if (r > 0.5 && nearest <= (r - 0.5) * (r - 0.5))
        return 255;
    const qreal c = r + 0.5 - std::sqrt(nearest);
    return c >= 1 ? 255 : c <= 0 ? 0 : uint(c * 255 + 0.5);
}

// How far an outline reaches from its median, `margin` added and `most` at
// most: the radius of the round pen that, drawn all along the median,
// covers the whole outline.
qreal reach(const QPainterPath &outline, const QList<QPointF> &median, qreal margin, qreal most);

// What a round pen of radius `radius` adds when it goes on along a polyline
// from one length to another: its trace beyond the circle it stood in.
QRectF advance(const QList<QPointF> &points, qreal from, qreal to, qreal radius);

// A premultiplied pixel times a/255, all four channels at once and without
// branches, so that the compiler can do many pixels in one instruction.
inline QRgb scaled(QRgb p, uint a)
{
    uint rb = (p & 0xff00ff) * a;
    rb = ((rb + ((rb >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    uint ag = ((p >> 8) & 0xff00ff) * a;
    ag = (ag + ((ag >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return ag | rb;
}

} // namespace strokepen
