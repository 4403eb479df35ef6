#include "viewer/strokeview.h"

#include "rules/strokecheck.h"

#include <QHideEvent>
#include <QLineF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPathStroker>
#include <QShowEvent>

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

// The bounding box of a polyline between two lengths along it.
QRectF polylineSection(const QList<QPointF> &points, qreal from, qreal to)
{
    QRectF box;
    qreal walked = 0;
    const auto include = [&box](const QPointF &pt) {
        box = box.isNull() ? QRectF(pt, QSizeF(0, 0)) : box.united(QRectF(pt, QSizeF(0, 0)));
    };
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QLineF seg(points[i - 1], points[i]);
        const qreal l = seg.length();
        const qreal a = std::max(from, walked);
        const qreal b = std::min(to, walked + l);
        if (b >= a && l > 0) {
            include(seg.pointAt((a - walked) / l));
            include(seg.pointAt((b - walked) / l));
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
    m_animation.setLoopCount(-1);
    m_animation.setStartValue(0.0);
    connect(&m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { advance(value.toReal()); });
    m_rest.setSingleShot(true);
    m_rest.setTimerType(Qt::PreciseTimer);
    connect(&m_rest, &QTimer::timeout, this, [this] {
        // The rest is over: on to the next stroke, or a new round.
        m_animation.resume();
        m_animation.setCurrentTime(m_restUntil >= m_round ? 0 : int(std::lround(m_restUntil)));
    });
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
    if (isVisible())
        startAnimation();
    update();
    return true;
}

void StrokeView::clear()
{
    m_animation.stop();
    m_rest.stop();
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
    // The part uncovered so far: a thick round pen along the median, cut to
    // the outline so that the stroke keeps its own shape. The cut is made by
    // compositing with the stroke's shape, drawn once per stroke, which costs
    // far less per frame than intersecting the two outlines as paths.
    const QTransform transform = glyphTransform(area);
    const QPainterPath &outline = m_glyph->outlines[stroke];
    const QRect box = transform.mapRect(outline.boundingRect()).toAlignedRect().adjusted(-2, -2, 2, 2);
    if (box.isEmpty())
        return;
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QTransform inBox = transform * QTransform::fromTranslate(-box.left(), -box.top());
    const QSize pixels = (QSizeF(box.size()) * ratio).toSize();
    if (m_shapeStroke != stroke || m_shapeArea != area || m_shape.size() != pixels
        || m_shape.devicePixelRatio() != ratio) {
        m_shape = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        m_shape.setDevicePixelRatio(ratio);
        m_shape.fill(Qt::transparent);
        QPainter q(&m_shape);
        q.setRenderHint(QPainter::Antialiasing);
        q.setTransform(inBox);
        q.fillPath(outline, Qt::black);
        m_shapeStroke = stroke;
        m_shapeArea = area;
    }
    // Only the part that is to be repainted.
    const QRect part = within.isNull() ? box : (box & within);
    if (part.isEmpty())
        return;
    QImage layer((QSizeF(part.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter q(&layer);
        q.setRenderHint(QPainter::Antialiasing);
        const QPoint offset = box.topLeft() - part.topLeft();
        q.setTransform(inBox * QTransform::fromTranslate(offset.x(), offset.y()));
        q.setBrush(Qt::NoBrush);
        q.setPen(QPen(strokecolours::ink, kRevealWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        q.drawPath(polylinePrefix(m_glyph->medians[stroke], progress * m_medianLengths[stroke]));
        q.resetTransform();
        q.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        q.drawImage(offset, m_shape);
    }
    p.drawImage(part.topLeft(), layer);
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
            const qreal reach = kRevealWidth / 2 * std::abs(transform.m11()) + 2;
            const QRectF section
                = transform.mapRect(polylineSection(m_glyph->medians[drawing], from, length));
            update(section.adjusted(-reach, -reach, reach, reach).toAlignedRect() & strokeRect(drawing));
            m_shownLength = length;
        }
    }
    m_shownInked = inked;
    m_shownDrawing = drawing;

    // Before, between and after the strokes nothing moves: the animation
    // rests until the next stroke begins or the round ends.
    if (drawing >= 0 || m_animation.state() != QAbstractAnimation::Running)
        return;
    const qreal next = inked < m_starts.size() ? m_starts[inked] : m_round;
    const qint64 wait = std::llround(next - ms);
    if (wait > 20) {
        m_restUntil = next;
        m_animation.pause();
        m_rest.start(int(wait));
    }
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

void StrokeView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Each time the view appears, the character is drawn from its first stroke.
    if (m_glyph)
        startAnimation();
}

void StrokeView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Nothing is drawn while the view cannot be seen.
    m_animation.stop();
    m_rest.stop();
}

void StrokeView::startAnimation()
{
    m_now = 0;
    m_shownInked = 0;
    m_shownDrawing = -1;
    m_rest.stop();
    m_animation.stop();
    m_animation.setEndValue(m_round);
    m_animation.setDuration(std::max(1, int(std::lround(m_round))));
    m_animation.start();
}
