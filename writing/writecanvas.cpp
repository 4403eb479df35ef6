#include "writing/writecanvas.h"

#include "viewer/strokeview.h"
#include "writing/writingsession.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPathStroker>
#include <QTabletEvent>
#include <QTouchEvent>

#include <cmath>

using Outcome = WritingSession::Outcome;

namespace {

// Colours of the square beyond the viewer's (strokecolours).
const QColor kPupilInk(30, 70, 170);
const QColor kKeptInk(70, 130, 220, 150);
const QColor kRefusedInk(225, 90, 90, 150);
const QColor kTakenBackInk(140, 140, 140, 130);
const QColor kMissInk(220, 40, 40);
const QColor kHint(255, 150, 40);
const QColor kHintMark(20, 150, 80);

// Widths in grid units (the box is 1024 wide): about a brush's.
constexpr qreal kInkWidth = 34;
constexpr qreal kKeptInkWidth = 14;

// How long the marks last, in ms.
constexpr qint64 kAppearMs = 280; // the pupil's ink gives way to the outline
constexpr qint64 kMissMs = 1200; // red, then gone
constexpr qint64 kHintMs = 1800; // two flashes, a dot running the stroke's way twice
constexpr qint64 kRevealMs = 700; // a stroke drawn for the pupil

QPainterPath inkPath(const QList<QPointF> &ink)
{
    QPainterPath path;
    if (ink.isEmpty())
        return path;
    path.moveTo(ink[0]);
    for (qsizetype i = 1; i < ink.size(); ++i)
        path.lineTo(ink[i]);
    if (ink.size() == 1)
        path.lineTo(ink[0] + QPointF(0.01, 0));
    return path;
}

QColor withAlpha(QColor c, qreal alpha)
{
    c.setAlphaF(float(std::clamp(alpha, 0.0, 1.0) * c.alphaF()));
    return c;
}

void paintInk(QPainter &p, const QList<QPointF> &ink, const QColor &colour, qreal width,
              Qt::PenStyle style = Qt::SolidLine)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, width, style, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(inkPath(ink));
}

} // namespace

WriteCanvas::WriteCanvas(WritingSession *session, QWidget *parent) : QWidget(parent), m_session(session)
{
    setAttribute(Qt::WA_AcceptTouchEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_clock.start();
    // Runs only while a mark is moving.
    m_tick.setInterval(16);
    connect(&m_tick, &QTimer::timeout, this, &WriteCanvas::animate);
    connect(m_session, &WritingSession::strokeJudged, this, [this](Outcome o) { strokeJudged(int(o)); });
    connect(m_session, &WritingSession::restarted, this, &WriteCanvas::restarted);
    connect(m_session, &WritingSession::changed, this, &WriteCanvas::sessionChanged);
}

void WriteCanvas::setTraceShown(bool shown)
{
    if (m_trace == shown)
        return;
    m_trace = shown;
    invalidateBackground();
}

void WriteCanvas::setKeepInk(bool keep)
{
    m_keepInk = keep;
    update();
}

void WriteCanvas::flashHint()
{
    if (!m_session->hasStrokes() || m_session->complete())
        return;
    dropHints();
    addEffect(Effect::Hint, m_session->current(), {}, kHintMs);
}

QPointF WriteCanvas::toWidget(const QPointF &grid) const { return m_toWidget.map(grid); }
QPointF WriteCanvas::toGrid(const QPointF &widget) const { return m_toGrid.map(widget); }

QTransform WriteCanvas::strokeTransform() const { return m_frame * m_toWidget; }

void WriteCanvas::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_toWidget = StrokeView::glyphTransform(QRectF(rect()));
    m_toGrid = m_toWidget.inverted();
    invalidateBackground();
}

// ---- input: one stroke at a time, from whichever device began it

// Mouse events made from a pen or a finger are left alone: those arrive as
// tablet and touch events of their own.
void WriteCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->source() != Qt::MouseEventNotSynthesized)
        return;
    if (event->button() == Qt::LeftButton && m_source == Source::None)
        beginInk(Source::Mouse, event->position());
}

void WriteCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        extendInk(Source::Mouse, event->position());
}

void WriteCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        endInk(Source::Mouse);
}

void WriteCanvas::tabletEvent(QTabletEvent *event)
{
    // Taken here, so that Qt makes no mouse events of it.
    event->accept();
    switch (event->type()) {
    case QEvent::TabletPress:
        if (m_source == Source::None)
            beginInk(Source::Pen, event->position());
        break;
    case QEvent::TabletMove: extendInk(Source::Pen, event->position()); break;
    case QEvent::TabletRelease: endInk(Source::Pen); break;
    default: break;
    }
}

bool WriteCanvas::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: {
        // One finger writes; a second one is ignored.
        auto *touch = static_cast<QTouchEvent *>(event);
        const QList<QEventPoint> &points = touch->points();
        if (points.isEmpty())
            return true;
        if (event->type() == QEvent::TouchBegin && m_source == Source::None) {
            m_touchId = points.first().id();
            beginInk(Source::Touch, points.first().position());
        }
        for (const QEventPoint &point : points) {
            if (point.id() != m_touchId || event->type() == QEvent::TouchBegin)
                continue;
            if (point.state() == QEventPoint::Released)
                endInk(Source::Touch);
            else if (point.state() == QEventPoint::Updated)
                extendInk(Source::Touch, point.position());
        }
        event->accept();
        return true;
    }
    case QEvent::TouchCancel:
        if (m_source == Source::Touch)
            cancelInk();
        event->accept();
        return true;
    default: return QWidget::event(event);
    }
}

void WriteCanvas::beginInk(Source source, const QPointF &at)
{
    if (!m_session->hasStrokes() || m_session->complete())
        return;
    m_source = source;
    m_ink = {toGrid(at)};
    update(inkRect(m_ink[0], m_ink[0]));
}

void WriteCanvas::extendInk(Source source, const QPointF &at)
{
    if (m_source != source)
        return;
    const QPointF p = toGrid(at);
    if (p == m_ink.last())
        return;
    // Only the new piece is repainted: the ink keeps up with the pointer.
    update(inkRect(m_ink.last(), p));
    m_ink.append(p);
}

void WriteCanvas::endInk(Source source)
{
    if (m_source != source)
        return;
    m_source = Source::None;
    const QList<QPointF> ink = std::exchange(m_ink, {});
    // A tap is no attempt: its dab of ink goes.
    if (!m_session->submitStroke(ink))
        update();
}

void WriteCanvas::cancelInk()
{
    m_source = Source::None;
    m_ink.clear();
    update();
}

// ---- the moving marks

void WriteCanvas::strokeJudged(int outcome)
{
    const WritingSession::Try &t = m_session->tries().last();
    switch (Outcome(outcome)) {
    case Outcome::Accepted:
        dropHints();
        addEffect(Effect::Appear, t.stroke, t.ink, kAppearMs);
        break;
    case Outcome::Missed: addEffect(Effect::Miss, t.stroke, t.ink, kMissMs); break;
    case Outcome::Hint:
        addEffect(Effect::Miss, t.stroke, t.ink, kMissMs);
        dropHints();
        addEffect(Effect::Hint, t.stroke, {}, kHintMs);
        break;
    case Outcome::DrawnForPupil:
        dropHints();
        addEffect(Effect::Miss, t.stroke, t.ink, kMissMs);
        addEffect(Effect::Reveal, t.stroke, {}, kRevealMs);
        break;
    }
}

// Nothing written: no mark of the character before stays.
void WriteCanvas::restarted()
{
    m_effects.clear();
    m_tick.stop();
    cancelInk();
    m_settled = 0;
}

// A stroke taken or taken back: the strokes may stand elsewhere now (the
// pupil's frame follows what is written).
void WriteCanvas::sessionChanged()
{
    m_effects.removeIf([this](const Effect &e) {
        return (e.kind == Effect::Appear || e.kind == Effect::Reveal) && e.stroke >= m_session->current();
    });
    if (m_effects.isEmpty())
        m_tick.stop();
    m_settled = std::min(m_settled, m_session->current());
    invalidateBackground();
}

void WriteCanvas::addEffect(Effect::Kind kind, int stroke, QList<QPointF> ink, qint64 duration)
{
    m_effects.append({kind, stroke, std::move(ink), m_clock.elapsed(), duration});
    if (!m_tick.isActive())
        m_tick.start();
    update();
}

void WriteCanvas::dropHints()
{
    m_effects.removeIf([](const Effect &e) { return e.kind == Effect::Hint; });
}

void WriteCanvas::animate()
{
    const qint64 now = m_clock.elapsed();
    m_effects.removeIf([now](const Effect &e) { return now >= e.start + e.duration; });
    // Strokes whose outline has fully appeared go into the background picture.
    int settled = m_session->current();
    for (const Effect &e : std::as_const(m_effects))
        if (e.kind == Effect::Appear || e.kind == Effect::Reveal)
            settled = std::min(settled, e.stroke);
    if (settled != m_settled) {
        m_settled = settled;
        m_backgroundValid = false;
    }
    if (m_effects.isEmpty())
        m_tick.stop();
    update();
}

void WriteCanvas::invalidateBackground()
{
    m_backgroundValid = false;
    m_frame = m_trace ? QTransform() : m_session->pupilFrame();
    if (m_effects.isEmpty())
        m_settled = m_session->current();
    update();
}

// ---- painting

// The grid, the character to trace, the strokes written and settled: drawn
// once, then copied on every paint.
void WriteCanvas::renderBackground()
{
    const qreal dpr = devicePixelRatioF();
    m_background = QPixmap(size() * dpr);
    m_background.setDevicePixelRatio(dpr);
    m_background.fill(strokecolours::paper);
    QPainter p(&m_background);

    const QRectF sq = StrokeView::gridSquare(QRectF(rect()));
    const qreal line = StrokeView::gridLineWidth(sq);
    p.setRenderHint(QPainter::Antialiasing);
    StrokeView::drawGridGuides(p, sq);
    // The border on whole pixels, crisp.
    p.setRenderHint(QPainter::Antialiasing, false);
    const int border = std::max(1, int(std::lround(line * 1.5)));
    p.setPen(QPen(strokecolours::gridOuter, border, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRect(sq.toRect());
    m_backgroundValid = true;

    const std::optional<StrokeGlyph> &glyph = m_session->glyph();
    if (!glyph) {
        p.setPen(QColor(90, 90, 90));
        QFont f = font();
        f.setPointSizeF(14);
        p.setFont(f);
        // On a clear patch, so that the grid's lines do not run through it.
        const QString missing = m_session->statusText();
        const QRectF room = sq.adjusted(20, 20, -20, -20);
        const QRectF text = p.boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, missing);
        p.fillRect(text.adjusted(-8, -6, 8, 6), strokecolours::paper);
        p.drawText(room, Qt::AlignCenter | Qt::TextWordWrap, missing);
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setTransform(m_toWidget);
    if (m_trace)
        for (const QPainterPath &outline : glyph->outlines)
            p.fillPath(outline, strokecolours::faint);
    p.setTransform(strokeTransform());
    for (int i = 0; i < m_settled && i < glyph->outlines.size(); ++i)
        p.fillPath(glyph->outlines[i], strokecolours::ink);
}

QRect WriteCanvas::inkRect(const QPointF &a, const QPointF &b) const
{
    const QRectF r = QRectF(toWidget(a), toWidget(b)).normalized();
    const qreal pad = kInkWidth * m_toWidget.m11() / 2 + 2;
    return r.adjusted(-pad, -pad, pad, pad).toAlignedRect();
}

void WriteCanvas::paintEvent(QPaintEvent *event)
{
    if (!m_backgroundValid || m_background.size() != size() * devicePixelRatioF())
        renderBackground();
    QPainter p(this);
    p.drawPixmap(event->rect(), m_background,
                 QRectF(QRectF(event->rect()).topLeft() * devicePixelRatioF(),
                        QSizeF(event->rect().size()) * devicePixelRatioF()));
    const std::optional<StrokeGlyph> &glyph = m_session->glyph();
    if (!glyph)
        return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const qint64 now = m_clock.elapsed();

    // Written strokes not yet in the background, with no mark of their own.
    p.setTransform(strokeTransform());
    for (int i = m_settled; i < m_session->current() && i < glyph->outlines.size(); ++i) {
        const bool moving = std::any_of(m_effects.cbegin(), m_effects.cend(), [i](const Effect &e) {
            return e.stroke == i && (e.kind == Effect::Appear || e.kind == Effect::Reveal);
        });
        if (!moving)
            p.fillPath(glyph->outlines[i], strokecolours::ink);
    }
    if (m_keepInk)
        paintKeptInk(p);
    for (const Effect &e : std::as_const(m_effects))
        paintEffect(p, e, now);
    if (!m_ink.isEmpty()) {
        p.setTransform(m_toWidget);
        paintInk(p, m_ink, kPupilInk, kInkWidth);
    }
}

// What the pupil wrote, where it was written: the strokes taken in blue,
// then over them refused tries in dashed red and strokes taken back in
// dotted grey, so that a try drawn over a taken stroke still shows.
void WriteCanvas::paintKeptInk(QPainter &p) const
{
    using State = WritingSession::Try::State;
    p.setTransform(m_toWidget);
    for (const WritingSession::Try &t : m_session->tries())
        if (t.state == State::Taken)
            paintInk(p, t.ink, kKeptInk, kKeptInkWidth);
    for (const WritingSession::Try &t : m_session->tries()) {
        if (t.state == State::Refused)
            paintInk(p, t.ink, kRefusedInk, kKeptInkWidth * 0.7, Qt::DashLine);
        else if (t.state == State::TakenBack)
            paintInk(p, t.ink, kTakenBackInk, kKeptInkWidth * 0.7, Qt::DotLine);
    }
}

void WriteCanvas::paintEffect(QPainter &p, const Effect &e, qint64 now) const
{
    const std::optional<StrokeGlyph> &glyph = m_session->glyph();
    const qreal t = std::clamp(qreal(now - e.start) / qreal(e.duration), 0.0, 1.0);
    const QPainterPath &outline = glyph->outlines[e.stroke];
    switch (e.kind) {
    case Effect::Appear:
        p.setTransform(strokeTransform());
        p.setPen(Qt::NoPen);
        p.fillPath(outline, withAlpha(strokecolours::ink, t));
        p.setTransform(m_toWidget);
        paintInk(p, e.ink, withAlpha(kPupilInk, 1 - t), kInkWidth);
        break;
    case Effect::Reveal: {
        const QList<QPointF> &median = glyph->medians[e.stroke];
        QPainterPathStroker pen;
        pen.setWidth(150);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        const QPainterPath reach
            = pen.createStroke(polylinePrefix(median, t * strokecheck::polylineLength(median)));
        p.setTransform(strokeTransform());
        p.fillPath(outline.intersected(reach), strokecolours::ink);
        break;
    }
    case Effect::Miss:
        // Held, then fading.
        p.setTransform(m_toWidget);
        paintInk(p, e.ink, withAlpha(kMissInk, t < 0.6 ? 1.0 : (1 - t) / 0.4), kInkWidth);
        break;
    case Effect::Hint: paintHint(p, e.stroke, t); break;
    }
}

// The stroke flashes twice while a dot runs its way from its start to its
// end twice, an arrowhead at the end; its start stays marked.
void WriteCanvas::paintHint(QPainter &p, int stroke, qreal t) const
{
    const std::optional<StrokeGlyph> &glyph = m_session->glyph();
    const QList<QPointF> &median = glyph->medians[stroke];
    const QTransform toWidget = strokeTransform();
    p.setTransform(toWidget);
    p.setPen(Qt::NoPen);
    p.fillPath(glyph->outlines[stroke], withAlpha(kHint, 0.5 - 0.5 * std::cos(4 * M_PI * t)));

    // In widget units from here, so that the marks keep their size on a small character.
    p.setTransform(QTransform());
    const qreal unit = std::max<qreal>(4, m_toWidget.m11() * 26);
    const QPointF start = toWidget.map(median.first());
    p.setBrush(kHintMark);
    p.drawEllipse(start, unit, unit);
    const qreal length = strokecheck::polylineLength(median);
    const qreal along = std::fmod(t * 2, 1.0);
    const QPainterPath way = toWidget.map(polylinePrefix(median, along * length));
    const QPointF dot = way.elementCount() ? way.currentPosition() : start;
    p.setBrush(withAlpha(kHintMark, 0.9));
    p.drawEllipse(dot, unit * 0.75, unit * 0.75);

    // The arrowhead, along the stroke's last stretch.
    const QPointF end = toWidget.map(median.last());
    const QPointF before
        = toWidget.map(polylinePrefix(median, std::max<qreal>(0, length - 60)).currentPosition());
    QPointF dir = end - before;
    const qreal dl = std::hypot(dir.x(), dir.y());
    if (dl < 1e-6)
        return;
    dir /= dl;
    const QPointF side(-dir.y(), dir.x());
    QPolygonF head;
    head << end + dir * unit * 1.2 << end - dir * unit * 0.6 + side * unit * 0.9
         << end - dir * unit * 0.6 - side * unit * 0.9;
    p.drawPolygon(head);
}
