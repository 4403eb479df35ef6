#include "viewer/strokeview.h"

#include <QHideEvent>
#include <QLineF>
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

// The data's character box is 1024 units wide; y = 900 is its top edge.
constexpr qreal kGridUnits = 1024;
constexpr qreal kTopY = 900;

const QColor kBackground(255, 255, 255);
const QColor kGridOuter(222, 150, 150);
const QColor kGridInner(236, 190, 190);
const QColor kFaint(222, 222, 222);
const QColor kInk(28, 28, 28);

qreal polylineLength(const QList<QPointF> &points)
{
    qreal length = 0;
    for (qsizetype i = 1; i < points.size(); ++i)
        length += QLineF(points[i - 1], points[i]).length();
    return length;
}

// The first `length` units of a polyline.
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

} // namespace

StrokeView::StrokeView(QWidget *parent) : QWidget(parent)
{
    m_animation.setLoopCount(-1);
    m_animation.setStartValue(0.0);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_now = value.toReal();
        update();
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
        const qreal length = polylineLength(median);
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
    image.fill(kBackground);
    QPainter p(&image);
    paintFrame(p, QRectF(QPointF(0, 0), QSizeF(size)), ms);
    return image;
}

void StrokeView::paintFrame(QPainter &p, const QRectF &area, qreal ms) const
{
    p.fillRect(area, kBackground);
    if (!m_glyph)
        return;
    p.setRenderHint(QPainter::Antialiasing);

    // The practice grid: outer square, the two centre lines, dashed diagonals.
    const QRectF sq = gridSquare(area);
    const qreal line = std::max<qreal>(1, sq.width() / 160);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kGridOuter, line * 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(sq);
    p.setPen(QPen(kGridInner, line, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QLineF(sq.left(), sq.center().y(), sq.right(), sq.center().y()));
    p.drawLine(QLineF(sq.center().x(), sq.top(), sq.center().x(), sq.bottom()));
    QPen dashed(kGridInner, line, Qt::CustomDashLine, Qt::FlatCap);
    dashed.setDashPattern({6, 5});
    p.setPen(dashed);
    p.drawLine(sq.topLeft(), sq.bottomRight());
    p.drawLine(sq.topRight(), sq.bottomLeft());

    p.setTransform(glyphTransform(area));
    p.setPen(Qt::NoPen);
    for (const QPainterPath &outline : std::as_const(m_glyph->outlines))
        p.fillPath(outline, kFaint);

    for (qsizetype i = 0; i < m_glyph->outlines.size(); ++i) {
        const qreal progress = (ms - m_starts[i]) / m_durations[i];
        if (progress <= 0)
            break;
        const QPainterPath &outline = m_glyph->outlines[i];
        if (progress >= 1) {
            p.fillPath(outline, kInk);
            continue;
        }
        if (m_medianLengths[i] <= 0)
            break;
        // The part uncovered so far: a thick round pen along the median,
        // cut to the outline so that the stroke keeps its own shape.
        QPainterPathStroker pen;
        pen.setWidth(kRevealWidth);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        const QPainterPath reach
            = pen.createStroke(polylinePrefix(m_glyph->medians[i], progress * m_medianLengths[i]));
        p.fillPath(outline.intersected(reach), kInk);
        break;
    }
}

void StrokeView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paintFrame(p, QRectF(rect()), m_now);
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
    m_animation.stop();
}

void StrokeView::startAnimation()
{
    m_now = 0;
    m_animation.stop();
    m_animation.setEndValue(m_round);
    m_animation.setDuration(std::max(1, int(std::lround(m_round))));
    m_animation.start();
}
