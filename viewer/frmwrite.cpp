#include "viewer/frmwrite.h"

#include "core/textutil.h"
#include "resources/artwork.h"
#include "rules/deck.h"
#include "viewer/strokeview.h"
#include "widgets/ui.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabletEvent>
#include <QToolButton>
#include <QTouchEvent>

#include <cmath>

using strokecheck::Session;

namespace {

// Colours of the square beyond the viewer's (strokecolours).
const QColor kPupilInk(30, 70, 170);
const QColor kKeptInk(70, 130, 220, 150);
const QColor kMissInk(220, 40, 40);
const QColor kHint(255, 150, 40);
const QColor kStarOn(245, 180, 20);
const QColor kStarOff(205, 214, 226); // tinted: no grey of the text around it matches

// Widths in grid units (the box is 1024 wide): about a brush's.
constexpr qreal kInkWidth = 34;
constexpr qreal kKeptInkWidth = 14;

// How long the marks last, in ms.
constexpr qint64 kAppearMs = 280; // the pupil's ink gives way to the outline
constexpr qint64 kMissMs = 1200; // red, then gone
constexpr qint64 kHintMs = 1200; // two flashes
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

// One to three stars under the finished character.
class StarsWidget : public QWidget
{
public:
    explicit StarsWidget(QWidget *parent) : QWidget(parent) { setFixedSize(108, 34); }
    void setStars(int n)
    {
        m_stars = n;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        const qreal r = height() / 2.0 - 1;
        for (int i = 0; i < 3; ++i) {
            QPolygonF star;
            const QPointF c(r + 1 + i * (2 * r + 4), height() / 2.0 + 1);
            for (int k = 0; k < 10; ++k) {
                const qreal a = -M_PI / 2 + k * M_PI / 5;
                const qreal rr = k % 2 ? r * 0.45 : r;
                star << c + QPointF(rr * std::cos(a), rr * std::sin(a));
            }
            p.setBrush(i < m_stars ? kStarOn : kStarOff);
            p.drawPolygon(star);
        }
    }

private:
    int m_stars = 0;
};

} // namespace

// ---------------------------------------------------------------- the square

WriteCanvas::WriteCanvas(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_AcceptTouchEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_clock.start();
    // Runs only while a mark is moving.
    m_tick.setInterval(16);
    connect(&m_tick, &QTimer::timeout, this, &WriteCanvas::animate);
}

void WriteCanvas::setGlyph(const std::optional<StrokeGlyph> &glyph, const QString &missingText)
{
    m_glyph = glyph;
    m_missingText = missingText;
    m_shapes.clear();
    if (m_glyph)
        for (qsizetype i = 0; i < m_glyph->medians.size(); ++i)
            m_shapes.append({m_glyph->medians[i], m_glyph->outlines[i].toFillPolygon().toList()});
    restart();
}

void WriteCanvas::restart()
{
    cancelInk();
    m_session.reset(int(m_shapes.size()));
    m_lastVerdict = {};
    m_settled = 0;
    m_keptInk.clear();
    m_effects.clear();
    m_tick.stop();
    invalidateBackground();
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
    if (!m_glyph || m_session.complete())
        return;
    dropHints();
    addEffect(Effect::Hint, m_session.current(), {}, kHintMs);
}

QPointF WriteCanvas::toWidget(const QPointF &grid) const { return m_toWidget.map(grid); }
QPointF WriteCanvas::toGrid(const QPointF &widget) const { return m_toGrid.map(widget); }

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
    if (!m_glyph || m_session.complete())
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
    judge(std::exchange(m_ink, {}));
}

void WriteCanvas::cancelInk()
{
    m_source = Source::None;
    m_ink.clear();
    update();
}

void WriteCanvas::judge(const QList<QPointF> &ink)
{
    const int stroke = m_session.current();
    const strokecheck::Verdict v
        = strokecheck::judgeStroke(m_shapes[stroke], m_shapes.mid(stroke + 1), ink, m_strictness);
    // A tap is no attempt.
    if (v.reasons == strokecheck::TooFewPoints) {
        update();
        return;
    }
    m_lastVerdict = v;
    const Session::Outcome outcome = m_session.record(v.accepted);
    switch (outcome) {
    case Session::Outcome::Accepted:
        dropHints();
        m_keptInk.append(ink);
        addEffect(Effect::Appear, stroke, ink, kAppearMs);
        break;
    case Session::Outcome::Missed: addEffect(Effect::Miss, stroke, ink, kMissMs); break;
    case Session::Outcome::Hint:
        addEffect(Effect::Miss, stroke, ink, kMissMs);
        addEffect(Effect::Hint, stroke, {}, kHintMs);
        break;
    case Session::Outcome::DrawnForPupil:
        dropHints();
        addEffect(Effect::Miss, stroke, ink, kMissMs);
        addEffect(Effect::Reveal, stroke, {}, kRevealMs);
        break;
    }
    emit strokeJudged(outcome);
}

// ---- the moving marks

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
    int settled = m_session.current();
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
    if (m_effects.isEmpty())
        m_settled = m_session.current();
    update();
}

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

    if (!m_glyph) {
        p.setPen(QColor(90, 90, 90));
        QFont f = font();
        f.setPointSizeF(14);
        p.setFont(f);
        // On a clear patch, so that the grid's lines do not run through it.
        const QRectF room = sq.adjusted(20, 20, -20, -20);
        const QRectF text = p.boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap, m_missingText);
        p.fillRect(text.adjusted(-8, -6, 8, 6), strokecolours::paper);
        p.drawText(room, Qt::AlignCenter | Qt::TextWordWrap, m_missingText);
        m_backgroundValid = true;
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(m_toWidget);
    p.setPen(Qt::NoPen);
    if (m_trace)
        for (const QPainterPath &outline : std::as_const(m_glyph->outlines))
            p.fillPath(outline, strokecolours::faint);
    for (int i = 0; i < m_settled && i < m_glyph->outlines.size(); ++i)
        p.fillPath(m_glyph->outlines[i], strokecolours::ink);
    m_backgroundValid = true;
}

QRect WriteCanvas::inkRect(const QPointF &a, const QPointF &b) const
{
    const QRectF r = QRectF(toWidget(a), toWidget(b)).normalized();
    const qreal pad = kInkWidth * m_toWidget.m11() / 2 + 2;
    return r.adjusted(-pad, -pad, pad, pad).toAlignedRect();
}

void WriteCanvas::paintInk(QPainter &p, const QList<QPointF> &ink, const QColor &colour, qreal width) const
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(inkPath(ink));
}

void WriteCanvas::paintEvent(QPaintEvent *event)
{
    if (!m_backgroundValid || m_background.size() != size() * devicePixelRatioF())
        renderBackground();
    QPainter p(this);
    p.drawPixmap(event->rect(), m_background,
                 QRectF(QRectF(event->rect()).topLeft() * devicePixelRatioF(),
                        QSizeF(event->rect().size()) * devicePixelRatioF()));
    if (!m_glyph)
        return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(m_toWidget);
    p.setPen(Qt::NoPen);
    const qint64 now = m_clock.elapsed();

    // Written strokes not yet in the background, with no mark of their own.
    for (int i = m_settled; i < m_session.current(); ++i) {
        const bool moving = std::any_of(m_effects.cbegin(), m_effects.cend(), [i](const Effect &e) {
            return e.stroke == i && (e.kind == Effect::Appear || e.kind == Effect::Reveal);
        });
        if (!moving)
            p.fillPath(m_glyph->outlines[i], strokecolours::ink);
    }
    if (m_keepInk)
        for (const QList<QPointF> &ink : std::as_const(m_keptInk))
            paintInk(p, ink, kKeptInk, kKeptInkWidth);

    for (const Effect &e : std::as_const(m_effects)) {
        const qreal t = std::clamp(qreal(now - e.start) / qreal(e.duration), 0.0, 1.0);
        const QPainterPath &outline = m_glyph->outlines[e.stroke];
        switch (e.kind) {
        case Effect::Appear:
            p.setPen(Qt::NoPen);
            p.fillPath(outline, withAlpha(strokecolours::ink, t));
            paintInk(p, e.ink, withAlpha(kPupilInk, 1 - t), kInkWidth);
            break;
        case Effect::Reveal: {
            const QList<QPointF> &median = m_glyph->medians[e.stroke];
            QPainterPathStroker pen;
            pen.setWidth(150);
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
            const QPainterPath reach
                = pen.createStroke(polylinePrefix(median, t * strokecheck::polylineLength(median)));
            p.fillPath(outline.intersected(reach), strokecolours::ink);
            break;
        }
        case Effect::Miss:
            // Held, then fading.
            paintInk(p, e.ink, withAlpha(kMissInk, t < 0.6 ? 1.0 : (1 - t) / 0.4), kInkWidth);
            break;
        case Effect::Hint: p.fillPath(outline, withAlpha(kHint, 0.5 - 0.5 * std::cos(4 * M_PI * t))); break;
        }
    }
    if (!m_ink.isEmpty())
        paintInk(p, m_ink, kPupilInk, kInkWidth);
}

// ---------------------------------------------------------------- the window

// A dialog-type window stays above its owner under a window manager.
frmWrite::frmWrite(QWidget *owner)
    : QWidget(owner,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                  | Qt::WindowCloseButtonHint)
{
    m_settings = WritingSettings::load();
    createControls();
    setWindowIcon(resources::programIcon());
    ui::centreOnOwnerOnFirstShow(this, owner);
}

frmWrite::~frmWrite() = default;

void frmWrite::createControls()
{
    setWindowTitle(QStringLiteral("练习书写"));
    const QFont big = ui::designFont(QStringLiteral("微软雅黑"), 12);

    auto *top = new QHBoxLayout;
    m_modes = new QButtonGroup(this);
    auto modeButton = [&](const QString &text, WritingSettings::Mode mode, const QString &tip) {
        auto *b = new QToolButton(this);
        b->setText(text);
        b->setToolTip(tip);
        b->setFont(big);
        b->setCheckable(true);
        b->setMinimumSize(40, 34);
        m_modes->addButton(b, int(mode));
        top->addWidget(b);
        return b;
    };
    optTrace
        = modeButton(QStringLiteral("描"), WritingSettings::Mode::Trace, QStringLiteral("照着浅灰色的字描"));
    optWrite
        = modeButton(QStringLiteral("写"), WritingSettings::Mode::Write, QStringLiteral("只有田字格，默写"));
    optWatch = modeButton(QStringLiteral("看"), WritingSettings::Mode::Watch, QStringLiteral("先看笔顺动画"));
    top->addSpacing(12);
    cboStrictness = new QComboBox(this);
    cboStrictness->addItems({QStringLiteral("宽松"), QStringLiteral("一般"), QStringLiteral("严格")});
    cboStrictness->setFont(big);
    top->addWidget(cboStrictness);
    top->addStretch(1);
    cmdHint = new QPushButton(QStringLiteral("提示"), this);
    cmdHint->setFont(big);
    top->addWidget(cmdHint);
    chkKeepInk = new QCheckBox(QStringLiteral("保留笔迹"), this);
    chkKeepInk->setFont(big);
    top->addWidget(chkKeepInk);

    stack = new QStackedWidget(this);
    canvas = new WriteCanvas(stack);
    watchView = new StrokeView(stack);
    stack->addWidget(canvas);
    stack->addWidget(watchView);

    lblStatus = new QLabel(this);
    lblStatus->setFont(big);
    lblStatus->setAlignment(Qt::AlignCenter);

    auto *bottom = new QHBoxLayout;
    lblScore = new QLabel(this);
    lblScore->setFont(big);
    bottom->addWidget(lblScore);
    auto *starsWidget = new StarsWidget(this);
    stars = starsWidget;
    bottom->addWidget(stars);
    bottom->addStretch(1);
    cmdAgain = new QPushButton(QStringLiteral("再写一次"), this);
    cmdAgain->setFont(big);
    bottom->addWidget(cmdAgain);
    cmdNext = new QPushButton(QStringLiteral("下一个字"), this);
    cmdNext->setFont(big);
    bottom->addWidget(cmdNext);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->addLayout(top);
    layout->addWidget(stack, 1);
    layout->addWidget(lblStatus);
    layout->addLayout(bottom);
    resize(520, 680);

    cboStrictness->setCurrentIndex(int(m_settings.strictness));
    canvas->setStrictness(m_settings.strictness);
    m_modes->button(int(m_settings.mode))->setChecked(true);
    stack->setCurrentWidget(
        m_settings.mode == WritingSettings::Mode::Watch ? static_cast<QWidget *>(watchView) : canvas);
    canvas->setTraceShown(m_settings.mode != WritingSettings::Mode::Write);

    connect(m_modes, &QButtonGroup::idClicked, this, [this](int id) { setMode(WritingSettings::Mode(id)); });
    connect(cboStrictness, &QComboBox::currentIndexChanged, this, &frmWrite::strictnessChanged);
    connect(cmdHint, &QPushButton::clicked, this, &frmWrite::cmdHint_Click);
    connect(chkKeepInk, &QCheckBox::toggled, canvas, &WriteCanvas::setKeepInk);
    connect(cmdAgain, &QPushButton::clicked, this, &frmWrite::cmdAgain_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmWrite::cmdNext_Click);
    connect(canvas, &WriteCanvas::strokeJudged, this, &frmWrite::strokeJudged);
}

bool frmWrite::setCharacter(const QString &character)
{
    m_character = modPub::firstCodePoint(character);
    setWindowTitle(m_character.isEmpty() ? QStringLiteral("练习书写")
                                         : QStringLiteral("练习书写 - %1").arg(m_character));
    const auto codePoint = StrokeData::singleCodePoint(m_character);
    const std::optional<StrokeGlyph> glyph
        = codePoint ? StrokeData::bundled().find(*codePoint) : std::nullopt;
    const QString missing = m_character.isEmpty()
        ? QStringLiteral("没有要写的字。")
        : QStringLiteral("“%1”没有笔顺数据，不能练习书写。").arg(m_character);
    canvas->setGlyph(glyph, missing);
    if (glyph)
        watchView->showCharacter(m_character);
    else
        watchView->clear();
    // Without data there is nothing to watch or check: the square says why.
    if (!glyph)
        stack->setCurrentWidget(canvas);
    else
        setMode(m_settings.mode);
    showProgress();
    refreshButtons();
    return glyph.has_value();
}

void frmWrite::setBankText(const QString &bankText)
{
    m_bankText = bankText;
    refreshButtons();
}

QString frmWrite::nextCharacter(const QString &bankText, const QString &character)
{
    QList<QChar> chars;
    for (QChar c : bankText)
        if (deck::isChineseCharacter(c) && !chars.contains(c))
            chars.append(c);
    const qsizetype at = character.size() == 1 ? chars.indexOf(character[0]) : -1;
    // From the one after it, round to itself: the first that has strokes.
    for (qsizetype k = 1; k <= chars.size(); ++k) {
        const QChar c = chars[(at + k) % chars.size()];
        if (StrokeData::bundled().find(c.unicode()))
            return QString(c);
    }
    return QString();
}

QString frmWrite::characterFor(const QString &item)
{
    for (QChar c : item)
        if (deck::isChineseCharacter(c))
            return QString(c);
    return QStringLiteral("天");
}

void frmWrite::setMode(WritingSettings::Mode mode)
{
    if (m_settings.mode != mode) {
        m_settings.mode = mode;
        m_settings.save();
    }
    m_modes->button(int(mode))->setChecked(true);
    const bool watch = mode == WritingSettings::Mode::Watch && canvas->hasGlyph();
    if (watch) {
        stack->setCurrentWidget(watchView);
        watchView->showCharacter(m_character); // from the first stroke
    } else {
        stack->setCurrentWidget(canvas);
        canvas->setTraceShown(mode == WritingSettings::Mode::Trace);
    }
    refreshButtons();
}

void frmWrite::strictnessChanged(int index)
{
    if (index < 0)
        return;
    m_settings.strictness = strokecheck::Strictness(index);
    m_settings.save();
    canvas->setStrictness(m_settings.strictness);
}

void frmWrite::cmdHint_Click() { canvas->flashHint(); }

void frmWrite::cmdAgain_Click()
{
    canvas->restart();
    showProgress();
    refreshButtons();
}

void frmWrite::cmdNext_Click()
{
    const QString next = nextCharacter(m_bankText, m_character);
    if (!next.isEmpty())
        setCharacter(next);
}

void frmWrite::strokeJudged(Session::Outcome outcome)
{
    showProgress();
    QString say;
    switch (outcome) {
    case Session::Outcome::Accepted: break;
    // The most telling reason only: one thing to mend at a time.
    case Session::Outcome::Missed:
        say = strokecheck::reasonTexts(canvas->lastVerdict().reasons).value(0);
        break;
    case Session::Outcome::Hint:
        say = strokecheck::reasonTexts(canvas->lastVerdict().reasons).value(0) + QStringLiteral("，看看提示");
        break;
    case Session::Outcome::DrawnForPupil: say = QStringLiteral("这一笔是这样写的"); break;
    }
    if (!say.isEmpty() && !canvas->session().complete())
        lblStatus->setText(lblStatus->text() + QStringLiteral("　") + say);
    refreshButtons();
}

void frmWrite::showProgress()
{
    const Session &s = canvas->session();
    auto *starsWidget = static_cast<StarsWidget *>(stars);
    if (!canvas->hasGlyph()) {
        lblStatus->setText(m_character.isEmpty()
                               ? QStringLiteral("没有要写的字。")
                               : QStringLiteral("“%1”没有笔顺数据，不能练习书写。").arg(m_character));
        lblScore->clear();
        m_stars = 0;
    } else if (s.complete()) {
        lblStatus->setText(QStringLiteral("写完了！"));
        lblScore->setText(strokecheck::scoreText(s.rightFirstTime(), s.strokeCount()));
        m_stars = strokecheck::starsFor(s.rightFirstTime(), s.strokeCount());
    } else {
        lblStatus->setText(QStringLiteral("第 %1 笔，共 %2 笔").arg(s.current() + 1).arg(s.strokeCount()));
        lblScore->clear();
        m_stars = 0;
    }
    starsWidget->setStars(m_stars);
    stars->setVisible(m_stars > 0);
}

void frmWrite::refreshButtons()
{
    const bool has = canvas->hasGlyph();
    const bool watching = stack->currentWidget() == watchView;
    for (QAbstractButton *b : m_modes->buttons())
        b->setEnabled(has);
    cmdHint->setEnabled(has && !watching && !canvas->session().complete());
    cmdAgain->setEnabled(has);
    chkKeepInk->setEnabled(has);
    cmdNext->setEnabled(!nextCharacter(m_bankText, m_character).isEmpty());
}

namespace writewindow {
namespace {
QPointer<frmWrite> g_window;
}

frmWrite *open(QWidget *owner, const QString &character, const QString &bankText)
{
    if (!g_window) {
        g_window = new frmWrite(owner);
        g_window->setAttribute(Qt::WA_DeleteOnClose);
    } else if (g_window->parentWidget() != owner) {
        // Given to the new owner, so that it stays above the window it came from.
        g_window->setParent(owner, g_window->windowFlags());
    }
    g_window->setBankText(bankText);
    g_window->setCharacter(character);
    g_window->show();
    g_window->raise();
    g_window->activateWindow();
    return g_window;
}

frmWrite *current() { return g_window; }
} // namespace writewindow
