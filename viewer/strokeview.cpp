#include "viewer/strokeview.h"

#include "rules/strokecheck.h"
#include "viewer/strokepen.h"
#include "widgets/windowsight.h"

#include <QLineF>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

// Pace of the animation. A stroke takes time in proportion to the length of
// its centre line, so long and short strokes are drawn at the same speed;
// very short ones still get enough time to be seen.
constexpr qreal kUnitsPerMs = 0.6; // 1024 grid units in about 1.7 s
constexpr qreal kMinStrokeMs = 350;
constexpr qreal kLeadInMs = 500; // the bare outline before stroke 1
constexpr qreal kGapMs = 250; // between two strokes
constexpr qreal kEndPauseMs = 1500; // the finished character, then replay

// The pen that uncovers a stroke along its median, clipped to the stroke's
// outline: as wide as the stroke is around its median, never wider than any
// stroke of the data is. The narrower, the less each frame repaints.
constexpr qreal kRevealWidth = 150;
constexpr qreal kRevealMargin = 4;

// The data's character box.
constexpr qreal kGridUnits = strokeformat::gridUnits;
constexpr qreal kTopY = strokeformat::topY;

} // namespace

QPainterPath polylinePrefix(const QList<QPointF> &points, qreal length)
{
    QPainterPath path;
    if (points.isEmpty())
        return path;
    path.moveTo(points[0]);
    qreal walked = 0;
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QLineF seg(points[i - 1], points[i]);
        const qreal l = seg.length();
        if (walked + l >= length) {
            path.lineTo(l > 0 ? seg.pointAt((length - walked) / l) : points[i]);
            return path;
        }
        path.lineTo(points[i]);
        walked += l;
    }
    return path;
}

StrokeView::StrokeView(QWidget *parent) : QWidget(parent)
{
    // Every pixel is painted here: nothing beneath needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_frame.setTimerType(Qt::PreciseTimer);
    connect(&m_frame, &QTimer::timeout, this, &StrokeView::tick);
    m_sight = new ui::WindowSight(this);
    connect(m_sight, &ui::WindowSight::changed, this, &StrokeView::updateRunning);
}

StrokeView::~StrokeView()
{
    // Before QWidget's destructor hides the view: the watch would report
    // that to a view that is no longer one.
    delete m_sight;
}

bool StrokeView::showCharacter(const QString &character)
{
    clear();
    const auto codePoint = StrokeData::singleCodePoint(character);
    if (!codePoint)
        return false;
    m_glyph = StrokeData::bundled().find(*codePoint);
    if (!m_glyph)
        return false;

    qreal t = kLeadInMs;
    for (qsizetype i = 0; i < m_glyph->medians.size(); ++i) {
        const QList<QPointF> &median = m_glyph->medians[i];
        const qreal length = strokecheck::polylineLength(median);
        m_penReach.append(i < m_glyph->outlines.size() ? strokepen::reach(m_glyph->outlines[i], median,
                                                                          kRevealMargin, kRevealWidth / 2)
                                                       : kRevealWidth / 2);
        const qreal duration = std::max(kMinStrokeMs, length / kUnitsPerMs);
        m_medianLengths.append(length);
        m_starts.append(t);
        m_durations.append(duration);
        t += duration + kGapMs;
    }
    m_round = t - kGapMs + kEndPauseMs;
    startAnimation();
    update();
    return true;
}

void StrokeView::clear()
{
    m_playing = false;
    m_frame.stop();
    m_clock.invalidate();
    m_still = QPixmap();
    m_stillInked = -1;
    m_shape = QImage();
    m_shapeStroke = -1;
    m_shownInked = 0;
    m_shownDrawing = -1;
    m_glyph.reset();
    m_medianLengths.clear();
    m_penReach.clear();
    m_starts.clear();
    m_durations.clear();
    m_round = 0;
    m_now = 0;
    update();
}

int StrokeView::strokeCount() const { return m_glyph ? int(m_glyph->outlines.size()) : 0; }

qreal StrokeView::strokeStartMs(int stroke) const
{
    return stroke >= 0 && stroke < m_starts.size() ? m_starts[stroke] : 0;
}

qreal StrokeView::strokeDurationMs(int stroke) const
{
    return stroke >= 0 && stroke < m_durations.size() ? m_durations[stroke] : 0;
}

qreal StrokeView::roundMs() const { return m_round; }

qreal StrokeView::gridLineWidth(const QRectF &square) { return std::max<qreal>(1, square.width() / 160); }

void StrokeView::drawGridGuides(QPainter &p, const QRectF &sq)
{
    const qreal line = gridLineWidth(sq);
    p.setPen(QPen(strokecolours::gridInner, line, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QLineF(sq.left(), sq.center().y(), sq.right(), sq.center().y()));
    p.drawLine(QLineF(sq.center().x(), sq.top(), sq.center().x(), sq.bottom()));
    QPen dashed(strokecolours::gridInner, line, Qt::CustomDashLine, Qt::FlatCap);
    dashed.setDashPattern({6, 5});
    p.setPen(dashed);
    p.drawLine(sq.topLeft(), sq.bottomRight());
    p.drawLine(sq.topRight(), sq.bottomLeft());
}

QRectF StrokeView::gridSquare(const QRectF &area)
{
    const qreal shortest = std::min(area.width(), area.height());
    const qreal margin = std::max<qreal>(2, shortest * 0.03);
    const qreal side = std::max<qreal>(0, shortest - 2 * margin);
    QRectF square(0, 0, side, side);
    square.moveCenter(area.center());
    return square;
}

QTransform StrokeView::glyphTransform(const QRectF &area)
{
    const QRectF square = gridSquare(area);
    const qreal s = square.width() / kGridUnits;
    // Flip the data's upward y axis and put its top edge on the square's.
    return QTransform(s, 0, 0, -s, square.left(), square.top() + kTopY * s);
}

QImage StrokeView::renderFrame(qreal ms, const QSize &size) const
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(strokecolours::paper);
    QPainter p(&image);
    paintFrame(p, QRectF(QPointF(0, 0), QSizeF(size)), ms);
    return image;
}

int StrokeView::inkedAt(qreal ms) const
{
    int inked = 0;
    while (inked < m_starts.size() && ms >= m_starts[inked] + m_durations[inked])
        ++inked;
    return inked;
}

int StrokeView::drawingAt(qreal ms) const
{
    const int next = inkedAt(ms);
    if (next >= m_starts.size() || ms <= m_starts[next] || m_medianLengths[next] <= 0)
        return -1;
    return next;
}

QRect StrokeView::strokeBox(const QRectF &area, int stroke) const
{
    const QRectF box = glyphTransform(area).mapRect(m_glyph->outlines[stroke].boundingRect());
    return box.toAlignedRect().adjusted(-2, -2, 2, 2);
}

QRect StrokeView::strokeRect(int stroke) const
{
    if (!m_glyph || stroke < 0 || stroke >= m_glyph->outlines.size())
        return QRect();
    return strokeBox(QRectF(rect()), stroke);
}

void StrokeView::ensureShape(const QRectF &area, int stroke, qreal ratio) const
{
    const QRect box = strokeBox(area, stroke);
    const QSize pixels = (QSizeF(box.size()) * ratio).toSize();
    if (m_shapeStroke == stroke && m_shapeArea == area && m_shape.size() == pixels
        && m_shape.devicePixelRatio() == ratio)
        return;
    // Painted as colour, not as coverage alone: Qt fills one-channel images
    // through its helper threads, colour images in this thread.
    m_shape = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    m_shape.setDevicePixelRatio(ratio);
    m_shape.fill(Qt::transparent);
    {
        QPainter q(&m_shape);
        q.setRenderHint(QPainter::Antialiasing);
        q.setTransform(glyphTransform(area) * QTransform::fromTranslate(-box.left(), -box.top()), true);
        q.fillPath(m_glyph->outlines[stroke], Qt::black);
    }
    // Where each row of pixels holds any of the stroke.
    m_shapeRows.assign(pixels.height(), {pixels.width(), -1});
    for (int y = 0; y < pixels.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(m_shape.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            if (qAlpha(row[x])) {
                m_shapeRows[y].first = std::min(m_shapeRows[y].first, x);
                m_shapeRows[y].second = x;
            }
    }
    m_shapeStroke = stroke;
    m_shapeArea = area;
}

QRect StrokeView::strokePart(int stroke, const QRect &within) const
{
    const QRectF area(rect());
    const qreal ratio = devicePixelRatioF();
    ensureShape(area, stroke, ratio);
    const QRect box = strokeBox(area, stroke);
    const QRect r = within & box;
    if (r.isEmpty())
        return QRect();
    // In the shape's pixels, rows and columns [first, last).
    const int top = std::max(0, int(std::floor((r.top() - box.top()) * ratio)));
    const int bottom = std::min(m_shape.height(), int(std::ceil((r.bottom() + 1 - box.top()) * ratio)));
    const int left = std::max(0, int(std::floor((r.left() - box.left()) * ratio)));
    const int right = std::min(m_shape.width(), int(std::ceil((r.right() + 1 - box.left()) * ratio)));
    QRect found;
    for (int y = top; y < bottom; ++y) {
        const int a = std::max(left, m_shapeRows[y].first);
        const int b = std::min(right - 1, m_shapeRows[y].second);
        if (a <= b)
            found |= QRect(a, y, b - a + 1, 1);
    }
    if (found.isEmpty())
        return QRect();
    const QRectF inView(box.left() + found.left() / ratio, box.top() + found.top() / ratio,
                        found.width() / ratio, found.height() / ratio);
    return inView.toAlignedRect() & r;
}

void StrokeView::paintFrame(QPainter &p, const QRectF &area, qreal ms) const
{
    if (!m_glyph) {
        p.fillRect(area, strokecolours::paper);
        return;
    }
    paintStill(p, area, inkedAt(ms));
    const int drawing = drawingAt(ms);
    if (drawing >= 0)
        paintStroke(p, area, drawing, (ms - m_starts[drawing]) / m_durations[drawing]);
}

void StrokeView::paintStill(QPainter &p, const QRectF &area, int inked) const
{
    p.fillRect(area, strokecolours::paper);
    if (!m_glyph)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);

    // The practice grid: outer square, the two centre lines, dashed diagonals.
    const QRectF sq = gridSquare(area);
    const qreal line = gridLineWidth(sq);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(strokecolours::gridOuter, line * 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(sq);
    drawGridGuides(p, sq);

    p.setTransform(glyphTransform(area));
    p.setPen(Qt::NoPen);
    for (const QPainterPath &outline : std::as_const(m_glyph->outlines))
        p.fillPath(outline, strokecolours::faint);
    p.restore();
    inkStrokes(p, area, 0, inked);
}

void StrokeView::inkStrokes(QPainter &p, const QRectF &area, int from, int to) const
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(glyphTransform(area));
    for (qsizetype i = from; i < to && i < m_glyph->outlines.size(); ++i)
        p.fillPath(m_glyph->outlines[i], strokecolours::ink);
    p.restore();
}

void StrokeView::paintStroke(QPainter &p, const QRectF &area, int stroke, qreal progress,
                             const QRect &within) const
{
    // The part uncovered so far: a round pen along the median, cut to the
    // outline so that the stroke keeps its own shape. Both are worked out
    // here pixel by pixel, the pen from its distance to its way and the cut
    // from the stroke's shape drawn once per stroke: far cheaper per frame
    // than painting and composing images, and it never wakes the painter's
    // helper threads.
    const QRect box = strokeBox(area, stroke);
    // Only the part that is to be repainted.
    const QRect part = within.isNull() ? box : (box & within);
    if (part.isEmpty())
        return;
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    ensureShape(area, stroke, ratio);
    const QSize pixels = (QSizeF(part.size()) * ratio).toSize();
    // One image for every frame's part, grown when needed.
    if (m_layer.width() < pixels.width() || m_layer.height() < pixels.height())
        m_layer = QImage(pixels.expandedTo(m_layer.size()), QImage::Format_ARGB32_Premultiplied);
    const QTransform toPart = glyphTransform(area) * QTransform::fromTranslate(-part.left(), -part.top());
    const qreal reach = m_penReach[stroke] + 2 / toPart.m11();
    const QRectF near = toPart.inverted()
                            .mapRect(QRectF(QPointF(0, 0), QSizeF(part.size())))
                            .adjusted(-reach, -reach, reach, reach);
    const QList<strokepen::Stretch> way
        = strokepen::stretches(m_glyph->medians[stroke], progress * m_medianLengths[stroke], near,
                               toPart * QTransform::fromScale(ratio, ratio));
    const qreal radius = m_penReach[stroke] * toPart.m11() * ratio;
    const QRgb ink = qPremultiply(strokecolours::ink.rgba());
    const QPoint from = (QPointF(part.topLeft() - box.topLeft()) * ratio).toPoint(); // the part in the shape
    for (int y = 0; y < pixels.height(); ++y) {
        auto *pixel = reinterpret_cast<QRgb *>(m_layer.scanLine(y));
        std::fill_n(pixel, pixels.width(), 0);
        const int row = y + from.y();
        if (row < 0 || row >= m_shape.height())
            continue;
        const auto *cover = reinterpret_cast<const QRgb *>(m_shape.constScanLine(row));
        const int first = std::max(0, m_shapeRows[row].first - from.x());
        const int last = std::min(
            {pixels.width() - 1, m_shapeRows[row].second - from.x(), m_shape.width() - 1 - from.x()});
        for (int x = first; x <= last; ++x) {
            const uint c = qAlpha(cover[x + from.x()]);
            if (!c)
                continue;
            const uint pen = strokepen::cover(way, QPointF(x + 0.5, y + 0.5), radius);
            if (pen)
                pixel[x] = strokepen::scaled(ink, (c * pen + 127) / 255);
        }
    }
    p.drawImage(QRectF(part), m_layer, QRectF(QPointF(0, 0), QSizeF(pixels)));
}

void StrokeView::advance(qreal ms)
{
    m_now = ms;
    const int inked = inkedAt(ms);
    const int drawing = drawingAt(ms);
    // Only what changed is repainted: the stroke being drawn and any just
    // finished; a new round repaints the whole view. One rectangle holds it
    // all: a region of several would make Qt clip every operation to it,
    // through its helper threads.
    QRect changed;
    if (inked < m_shownInked) {
        changed = rect();
    } else {
        for (int i = m_shownInked; i < inked; ++i)
            changed |= strokeRect(i);
        if (m_shownDrawing >= 0 && m_shownDrawing != drawing)
            changed |= strokeRect(m_shownDrawing);
        if (drawing >= 0) {
            // Of the stroke being drawn, only the pen's latest stretch.
            const qreal length = (ms - m_starts[drawing]) / m_durations[drawing] * m_medianLengths[drawing];
            const qreal from = drawing == m_shownDrawing ? m_shownLength : 0;
            const QTransform transform = glyphTransform(QRectF(rect()));
            const QRectF added = transform.mapRect(
                strokepen::advance(m_glyph->medians[drawing], from, length, m_penReach[drawing]));
            // Two pixels more for the pen's smoothed edge; of that, only
            // where the stroke lies (the pen is wider than any stroke).
            changed |= strokePart(drawing, added.toAlignedRect().adjusted(-2, -2, 2, 2));
            m_shownLength = length;
        }
    }
    update(changed);
    m_shownInked = inked;
    m_shownDrawing = drawing;
}

void StrokeView::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    if (!m_glyph) {
        p.fillRect(rect(), strokecolours::paper);
        return;
    }
    // The still part is kept as a picture and changes once a stroke.
    const int inked = inkedAt(m_now);
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_still.size() != pixels || inked < m_stillInked) {
        m_still = QPixmap(pixels);
        m_still.setDevicePixelRatio(ratio);
        QPainter still(&m_still);
        paintStill(still, QRectF(rect()), inked);
        m_stillInked = inked;
    } else if (inked > m_stillInked) {
        // Strokes just finished go on top: the same picture as painting it anew.
        QPainter still(&m_still);
        inkStrokes(still, QRectF(rect()), m_stillInked, inked);
        m_stillInked = inked;
    }
    const QRect r = event->rect();
    p.drawPixmap(r, m_still, QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
    const int drawing = drawingAt(m_now);
    if (drawing >= 0)
        paintStroke(p, QRectF(rect()), drawing, (m_now - m_starts[drawing]) / m_durations[drawing],
                    event->rect());
}

int StrokeView::frameIntervalMs() const
{
    const QScreen *shownOn = screen();
    qreal hertz = shownOn ? shownOn->refreshRate() : 60;
    if (!(hertz > 0) || hertz > 60)
        hertz = 60;
    return int(std::ceil(1000 / hertz));
}

void StrokeView::startAnimation()
{
    m_now = 0;
    m_shownInked = 0;
    m_shownDrawing = -1;
    m_playing = m_glyph && !m_starts.isEmpty();
    m_frame.stop();
    m_clock.invalidate();
    updateRunning();
}

void StrokeView::updateRunning()
{
    const bool run = m_playing && m_sight->canBeSeen();
    if (run == m_clock.isValid())
        return;
    if (!run) {
        // Rests where it stands: nothing is drawn that no one sees.
        m_frame.stop();
        m_clock.invalidate();
        return;
    }
    m_clockFrom = m_now;
    m_clock.start();
    tick();
}

void StrokeView::tick()
{
    qreal ms = m_clockFrom + m_clock.nsecsElapsed() / 1e6;
    const int strokes = int(m_starts.size());
    if (!m_repeating && ms >= m_starts.last() + m_durations.last()) {
        advance(m_starts.last() + m_durations.last());
        m_playing = false;
        m_frame.stop();
        m_clock.invalidate();
        emit finished();
        return;
    }
    if (ms >= m_round) {
        // A new round; after a long stall the view does not race to catch up.
        ms = std::fmod(ms, m_round);
        m_clockFrom = ms;
        m_clock.start();
    }
    advance(ms);
    // While a stroke is drawn, the next frame; else nothing moves until the
    // next stroke begins or the round ends.
    qreal wait = frameIntervalMs();
    if (drawingAt(ms) < 0) {
        const int inked = inkedAt(ms);
        wait = std::max<qreal>(1, (inked < strokes ? m_starts[inked] : m_round) - ms);
    }
    // Left running while frames follow each other: setting a timer anew
    // each frame costs more than the frame's own bookkeeping.
    const int interval = int(std::ceil(wait));
    if (!m_frame.isActive() || m_frame.interval() != interval)
        m_frame.start(interval);
}
