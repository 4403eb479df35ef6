#include "viewer/strokeview.h"

#include "rules/strokecheck.h"
#include "widgets/windowsight.h"

#include <QLineF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPolygonF>
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

// The pen that uncovers a stroke along its median: wider than any stroke of
// the data, and clipped to the stroke's outline.
constexpr qreal kRevealWidth = 150;

// The data's character box.
constexpr qreal kGridUnits = strokeformat::gridUnits;
constexpr qreal kTopY = strokeformat::topY;

// What a round pen of radius `reach` adds when it goes on along a polyline
// from one length to another: its trace beyond the circle it stood in. The
// box holds the band around each segment and the circles at the corners and
// the end; the half circle behind the start was drawn already, unless the
// pen is only set down.
QRectF penAdvance(const QList<QPointF> &points, qreal from, qreal to, qreal reach)
{
    QRectF box;
    const auto include = [&box](const QRectF &r) { box = box.isNull() ? r : box.united(r); };
    const auto circle
        = [reach](const QPointF &c) { return QRectF(c.x() - reach, c.y() - reach, 2 * reach, 2 * reach); };
    if (from <= 0 && !points.isEmpty())
        include(circle(points[0])); // the pen set down
    qreal walked = 0;
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QLineF seg(points[i - 1], points[i]);
        const qreal l = seg.length();
        const qreal a = std::max(from, walked);
        const qreal b = std::min(to, walked + l);
        if (b > a && l > 0) {
            const QPointF start = seg.pointAt((a - walked) / l);
            const QPointF end = seg.pointAt((b - walked) / l);
            const QPointF across = QPointF(-seg.dy(), seg.dx()) * (reach / l);
            include(QPolygonF({start + across, start - across, end + across, end - across}).boundingRect());
            include(circle(end));
        }
        walked += l;
    }
    return box;
}

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
    m_frame.setSingleShot(true);
    m_frame.setTimerType(Qt::PreciseTimer);
    connect(&m_frame, &QTimer::timeout, this, &StrokeView::tick);
    m_sight = new ui::WindowSight(this);
    connect(m_sight, &ui::WindowSight::changed, this, &StrokeView::updateRunning);
}

StrokeView::~StrokeView() = default;

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
    for (const QList<QPointF> &median : std::as_const(m_glyph->medians)) {
        const qreal length = strokecheck::polylineLength(median);
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

QRect StrokeView::strokeRect(int stroke) const
{
    if (!m_glyph || stroke < 0 || stroke >= m_glyph->outlines.size())
        return QRect();
    const QRectF box = glyphTransform(QRectF(rect())).mapRect(m_glyph->outlines[stroke].boundingRect());
    return box.toAlignedRect().adjusted(-2, -2, 2, 2);
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
    for (qsizetype i = 0; i < inked && i < m_glyph->outlines.size(); ++i)
        p.fillPath(m_glyph->outlines[i], strokecolours::ink);
    p.restore();
}

void StrokeView::paintStroke(QPainter &p, const QRectF &area, int stroke, qreal progress,
                             const QRect &within) const
{
    const QTransform transform = glyphTransform(area);
    const QRect box
        = transform.mapRect(m_glyph->outlines[stroke].boundingRect()).toAlignedRect().adjusted(-2, -2, 2, 2);
    // Only the part that is to be repainted.
    const QRect part = within.isNull() ? box : (box & within);
    if (part.isEmpty())
        return;
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    p.drawImage(part.topLeft(), strokeLayer(area, stroke, progress, part, ratio));
}

QImage StrokeView::strokeLayer(const QRectF &area, int stroke, qreal progress, const QRect &part,
                               qreal ratio) const
{
    // The part uncovered so far: a thick round pen along the median, cut to
    // the outline so that the stroke keeps its own shape. The cut multiplies
    // by the stroke's shape, drawn once per stroke: far cheaper per frame
    // than intersecting the two outlines as paths, and, done here rather
    // than by composing images, it never wakes the painter's helper threads.
    const QTransform transform = glyphTransform(area);
    const QPainterPath &outline = m_glyph->outlines[stroke];
    const QRect box = transform.mapRect(outline.boundingRect()).toAlignedRect().adjusted(-2, -2, 2, 2);
    const QTransform inBox = transform * QTransform::fromTranslate(-box.left(), -box.top());
    const QSize pixels = (QSizeF(box.size()) * ratio).toSize();
    if (m_shapeStroke != stroke || m_shapeArea != area || m_shape.size() != pixels
        || m_shape.devicePixelRatio() != ratio) {
        // Painted as colour, not as coverage alone: Qt fills one-channel
        // images through its helper threads, colour images in this thread.
        m_shape = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        m_shape.setDevicePixelRatio(ratio);
        m_shape.fill(Qt::transparent);
        QPainter q(&m_shape);
        q.setRenderHint(QPainter::Antialiasing);
        q.setTransform(inBox, true);
        q.fillPath(outline, Qt::black);
        m_shapeStroke = stroke;
        m_shapeArea = area;
    }
    QImage layer((QSizeF(part.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    const QPoint offset = part.topLeft() - box.topLeft(); // of the part in the shape, view pixels
    {
        QPainter q(&layer);
        q.setRenderHint(QPainter::Antialiasing);
        q.scale(ratio, ratio);
        q.setTransform(inBox * QTransform::fromTranslate(-offset.x(), -offset.y()), true);
        q.setBrush(Qt::NoBrush);
        q.setPen(QPen(strokecolours::ink, kRevealWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        q.drawPath(polylinePrefix(m_glyph->medians[stroke], progress * m_medianLengths[stroke]));
    }
    const QPoint from = (QPointF(offset) * ratio).toPoint();
    const int width = std::min(layer.width(), m_shape.width() - from.x());
    const int height = std::min(layer.height(), m_shape.height() - from.y());
    for (int y = 0; y < height; ++y) {
        const auto *cover = reinterpret_cast<const QRgb *>(m_shape.constScanLine(y + from.y())) + from.x();
        auto *pixel = reinterpret_cast<QRgb *>(layer.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const uint c = qAlpha(cover[x]);
            if (c == 255 || !pixel[x])
                continue;
            const QRgb v = pixel[x];
            pixel[x] = qRgba(qRed(v) * c / 255, qGreen(v) * c / 255, qBlue(v) * c / 255, qAlpha(v) * c / 255);
        }
    }
    layer.setDevicePixelRatio(ratio);
    return layer;
}

void StrokeView::advance(qreal ms)
{
    m_now = ms;
    const int inked = inkedAt(ms);
    const int drawing = drawingAt(ms);
    // Only what changed is repainted: the stroke being drawn and any just
    // finished; a new round repaints the whole view.
    if (inked < m_shownInked) {
        update();
    } else {
        for (int i = m_shownInked; i < inked; ++i)
            update(strokeRect(i));
        if (m_shownDrawing >= 0 && m_shownDrawing != drawing)
            update(strokeRect(m_shownDrawing));
        if (drawing >= 0) {
            // Of the stroke being drawn, only the pen's latest stretch.
            const qreal length = (ms - m_starts[drawing]) / m_durations[drawing] * m_medianLengths[drawing];
            const qreal from = drawing == m_shownDrawing ? m_shownLength : 0;
            const QTransform transform = glyphTransform(QRectF(rect()));
            const QRectF added
                = transform.mapRect(penAdvance(m_glyph->medians[drawing], from, length, kRevealWidth / 2));
            // Two pixels more for the pen's smoothed edge.
            update(added.toAlignedRect().adjusted(-2, -2, 2, 2) & strokeRect(drawing));
            m_shownLength = length;
        }
    }
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
    if (m_stillInked != inked || m_still.size() != pixels) {
        m_still = QPixmap(pixels);
        m_still.setDevicePixelRatio(ratio);
        QPainter still(&m_still);
        paintStill(still, QRectF(rect()), inked);
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
    m_frame.start(int(std::ceil(wait)));
}
