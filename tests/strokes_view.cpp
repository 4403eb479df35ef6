// The stroke-order animation: lazy opening of the data, what it accepts, the
// frames it draws at the start, in the middle of stroke 2 and at the end, the
// frames it builds piece by piece, and its timer: only while it can be seen,
// going on from where it stood, at most once a frame, once or round after round.
#include "tests/support/testsupport.h"
#include "viewer/strokeview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>

namespace {

bool isInk(QRgb c) { return qGray(c) < 110; }

bool isFaint(QRgb c)
{
    return qAbs(qRed(c) - 222) <= 6 && qAbs(qGreen(c) - 222) <= 6 && qAbs(qBlue(c) - 222) <= 6;
}

// Pixels that belong to one stroke only: fully inside its outline and
// outside every other stroke, drawn with the view's own mapping.
QList<QList<QPoint>> exclusiveRegions(const StrokeGlyph &glyph, const QSize &size)
{
    const QTransform t = StrokeView::glyphTransform(QRectF(QPointF(0, 0), QSizeF(size)));
    QList<QImage> masks;
    for (const QPainterPath &outline : glyph.outlines) {
        QImage m(size, QImage::Format_Grayscale8);
        m.fill(0);
        QPainter p(&m);
        p.setRenderHint(QPainter::Antialiasing);
        p.setTransform(t);
        p.fillPath(outline, Qt::white);
        masks.append(m);
    }
    QList<QList<QPoint>> regions(masks.size());
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            int owner = -1;
            int touching = 0;
            for (qsizetype i = 0; i < masks.size(); ++i) {
                const int v = masks[i].constScanLine(y)[x];
                if (v)
                    ++touching;
                if (v == 255)
                    owner = int(i);
            }
            if (owner >= 0 && touching == 1)
                regions[owner].append(QPoint(x, y));
        }
    return regions;
}

double inkShare(const QImage &frame, const QList<QPoint> &region)
{
    int ink = 0;
    for (const QPoint &p : region)
        ink += isInk(frame.pixel(p));
    return region.isEmpty() ? 0 : double(ink) / region.size();
}

int inkPixels(const QImage &frame)
{
    int n = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            n += isInk(frame.pixel(x, y));
    return n;
}

} // namespace

class StrokesView : public QObject
{
    Q_OBJECT
private slots:
    void dataOpensOnFirstCharacter();
    void acceptsOnlyCharactersWithData();
    void framesShowStrokesInOrder_data();
    void framesShowStrokesInOrder();
    void emptyViewDrawsNothing();
    void timerRunsOnlyWhileShownAndAnimating();
    void restsWhileMinimisedAndGoesOn();
    void playsOnceWhenAsked();
    void repaintsOnlyWhatMoves();
    void piecesAddUpToWholeFrames_data();
    void piecesAddUpToWholeFrames();
};

void StrokesView::dataOpensOnFirstCharacter()
{
    QVERIFY(!StrokeData::bundledOpened());
    StrokeView view;
    view.resize(200, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(!StrokeData::bundledOpened());

    QElapsedTimer clock;
    clock.start();
    QVERIFY(view.showCharacter(QStringLiteral("天")));
    const qint64 first = clock.nsecsElapsed();
    QVERIFY(StrokeData::bundledOpened());
    clock.restart();
    QVERIFY(view.showCharacter(QStringLiteral("我")));
    const qint64 second = clock.nsecsElapsed();
    qInfo("showCharacter: first %.3f ms, then %.3f ms", first / 1e6, second / 1e6);
}

void StrokesView::acceptsOnlyCharactersWithData()
{
    StrokeView view;
    QVERIFY(view.showCharacter(QStringLiteral("天")));
    QCOMPARE(view.strokeCount(), 4);
    QVERIFY(view.showCharacter(QStringLiteral("我")));
    QCOMPARE(view.strokeCount(), 7);
    QVERIFY(view.showCharacter(QStringLiteral("一")));
    QCOMPARE(view.strokeCount(), 1);

    // Each refusal also empties what was shown before.
    const QStringList refused = {QStringLiteral("a"),
                                 QStringLiteral("ā"),
                                 QStringLiteral("ɡ"),
                                 QString(),
                                 QStringLiteral("天我"),
                                 QStringLiteral(" 天"),
                                 QString::fromUcs4(U"\U00020000", 1),
                                 QString(QChar(0xD840)),
                                 QStringLiteral("😀")};
    for (const QString &text : refused) {
        QVERIFY(view.showCharacter(QStringLiteral("天")));
        QVERIFY2(!view.showCharacter(text), qPrintable(text));
        QCOMPARE(view.strokeCount(), 0);
        QCOMPARE(view.roundMs(), 0.0);
    }
    QVERIFY(view.showCharacter(QStringLiteral("天")));
    view.clear();
    QCOMPARE(view.strokeCount(), 0);
}

void StrokesView::framesShowStrokesInOrder_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<QSize>("size");
    QTest::newRow("我 square") << QStringLiteral("我") << QSize(320, 320);
    QTest::newRow("天 square") << QStringLiteral("天") << QSize(300, 300);
    QTest::newRow("天 tall") << QStringLiteral("天") << QSize(180, 400);
    QTest::newRow("我 wide, large") << QStringLiteral("我") << QSize(900, 520);
}

void StrokesView::framesShowStrokesInOrder()
{
    QFETCH(QString, character);
    QFETCH(QSize, size);
    StrokeView view;
    QVERIFY(view.showCharacter(character));
    const auto glyph = StrokeData::bundled().find(*StrokeData::singleCodePoint(character));
    QVERIFY(glyph);
    const int n = view.strokeCount();
    const auto regions = exclusiveRegions(*glyph, size);
    for (int i = 0; i < n; ++i)
        QVERIFY2(regions[i].size() >= 15, qPrintable(QString::number(i)));

    // Start: the faint outline only, no ink anywhere.
    const QImage start = view.renderFrame(0, size);
    QCOMPARE(inkPixels(start), 0);
    for (int i = 0; i < n; ++i) {
        int faint = 0;
        for (const QPoint &p : regions[i])
            faint += isFaint(start.pixel(p));
        QVERIFY2(faint > regions[i].size() * 9 / 10, qPrintable(QString::number(i)));
    }

    // Half-way through stroke 2: stroke 1 inked, stroke 2 partly, the rest not.
    const QImage mid = view.renderFrame(view.strokeStartMs(1) + view.strokeDurationMs(1) / 2, size);
    QVERIFY2(inkShare(mid, regions[0]) > 0.97, qPrintable(QString::number(inkShare(mid, regions[0]))));
    const double second = inkShare(mid, regions[1]);
    QVERIFY2(second > 0.1 && second < 0.9, qPrintable(QString::number(second)));
    for (int i = 2; i < n; ++i)
        QVERIFY2(inkShare(mid, regions[i]) < 0.01, qPrintable(QString::number(i)));
    // Stroke 2 is drawn from the start of its median, not from the end.
    const QTransform t = StrokeView::glyphTransform(QRectF(QPointF(0, 0), QSizeF(size)));
    const QList<QPointF> &median = glyph->medians[1];
    const QPoint head = t.map(median.first()).toPoint();
    const QPoint tail = t.map(median.last()).toPoint();
    QVERIFY(isInk(mid.pixel(head)));
    QVERIFY(!isInk(mid.pixel(tail)));

    // End of the round, during the closing pause: every stroke inked.
    const QImage end = view.renderFrame(view.roundMs() - 1, size);
    for (int i = 0; i < n; ++i)
        QVERIFY2(inkShare(end, regions[i]) > 0.97, qPrintable(QString::number(i)));
    // Nothing is inked outside the character.
    QPainterPath all;
    for (const QPainterPath &o : glyph->outlines)
        all = all.united(o);
    const QRect box = t.mapRect(all.boundingRect()).toAlignedRect().adjusted(-2, -2, 2, 2);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (!box.contains(x, y))
                QVERIFY(!isInk(end.pixel(x, y)));
}

void StrokesView::emptyViewDrawsNothing()
{
    StrokeView view;
    const QSize size(120, 120);
    QVERIFY(!view.showCharacter(QStringLiteral("b")));
    QImage blank(size, QImage::Format_ARGB32_Premultiplied);
    blank.fill(Qt::white);
    QCOMPARE(view.renderFrame(0, size), blank);
    QVERIFY(view.showCharacter(QStringLiteral("天")));
    view.clear();
    QCOMPARE(view.renderFrame(0, size), blank);
    QCOMPARE(view.renderFrame(100000, size), blank);
}

void StrokesView::timerRunsOnlyWhileShownAndAnimating()
{
    StrokeView view;
    view.resize(200, 200);
    QVERIFY(view.showCharacter(QStringLiteral("我")));
    QVERIFY(!view.isAnimating()); // not shown yet
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(view.isAnimating());
    view.hide();
    QVERIFY(!view.isAnimating());
    view.show();
    QTRY_VERIFY(view.isAnimating());
    view.clear();
    QVERIFY(!view.isAnimating());
    QVERIFY(view.showCharacter(QStringLiteral("天")));
    QVERIFY(view.isAnimating());
    QVERIFY(!view.showCharacter(QStringLiteral("x")));
    QVERIFY(!view.isAnimating());
}

// Minimised in the middle of a stroke, the view neither draws nor moves on;
// restored, it goes on from there instead of starting the character again.
void StrokesView::restsWhileMinimisedAndGoesOn()
{
    QWidget window;
    window.resize(300, 300);
    auto *view = new StrokeView(&window);
    view->resize(300, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(view->showCharacter(QStringLiteral("天")));
    const qreal midStroke = view->strokeStartMs(1) + view->strokeDurationMs(1) / 2;
    QTRY_VERIFY_WITH_TIMEOUT(view->positionMs() >= midStroke, 10000);

    window.setWindowState(Qt::WindowMinimized);
    QVERIFY(!view->isAnimating());
    const qreal stood = view->positionMs();
    QTest::qWait(400);
    QCOMPARE(view->positionMs(), stood);

    window.setWindowState(Qt::WindowNoState);
    QTRY_VERIFY(view->isAnimating());
    QTest::qWait(50);
    QVERIFY2(view->positionMs() >= stood && view->positionMs() < stood + 350,
             qPrintable(QStringLiteral("stood at %1, now %2").arg(stood).arg(view->positionMs())));
}

void StrokesView::playsOnceWhenAsked()
{
    StrokeView view;
    view.resize(200, 200);
    view.setRepeating(false);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy finished(&view, &StrokeView::finished);
    QVERIFY(view.showCharacter(QStringLiteral("一")));
    QVERIFY(finished.wait(5000));
    QVERIFY(!view.isAnimating());
    const qreal end = view.strokeStartMs(0) + view.strokeDurationMs(0);
    QCOMPARE(view.positionMs(), end);
    // The finished character stays; a new look starts from the first stroke.
    QTest::qWait(100);
    QCOMPARE(finished.size(), 1);
    QVERIFY(view.showCharacter(QStringLiteral("一")));
    QVERIFY(view.isAnimating());
    QVERIFY(view.positionMs() < 50);
}

namespace {
// Counts the view's paint events and keeps the largest area repainted.
class PaintCounter : public QObject
{
public:
    int count = 0;
    int largest = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++count;
            const QRect r = static_cast<QPaintEvent *>(event)->rect();
            largest = std::max(largest, r.width() * r.height());
        }
        return false;
    }
};
} // namespace

// Before the first stroke nothing moves and nothing is painted; while a
// stroke is drawn only a part of the view is repainted at each frame.
void StrokesView::repaintsOnlyWhatMoves()
{
    StrokeView view;
    view.resize(300, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    PaintCounter paints;
    view.installEventFilter(&paints);
    QElapsedTimer since;
    since.start();
    QVERIFY(view.showCharacter(QStringLiteral("天")));
    QTest::qWait(60);
    paints.count = 0;
    paints.largest = 0;
    QTest::qWait(250);
    // On a machine so busy that the wait overran the lead-in, the check says nothing.
    if (since.elapsed() < view.strokeStartMs(0) - 50) {
        QCOMPARE(paints.count, 0);
        QVERIFY(view.isAnimating());
    }
    QTRY_VERIFY_WITH_TIMEOUT(paints.count >= 5, 3000);
    // Never more than a frame of the screen (at most 60 Hz) allows.
    QVERIFY(view.frameIntervalMs() * 60 >= 1000);
    paints.count = 0;
    const qreal from = view.positionMs();
    QElapsedTimer during;
    during.start();
    QTest::qWait(500);
    const qint64 frameBudget = during.elapsed() / view.frameIntervalMs() + 2;
    QVERIFY2(
        paints.count <= frameBudget,
        qPrintable(
            QStringLiteral("%1 paints in %2 ms from %3").arg(paints.count).arg(during.elapsed()).arg(from)));
    const int frames = paints.count;
    QVERIFY2(paints.largest < 300 * 300 / 3, qPrintable(QString::number(paints.largest)));
    // Hidden, the view paints nothing and runs no timer.
    view.hide();
    QTest::qWait(200);
    QCOMPARE(paints.count, frames);
    QVERIFY(!view.isAnimating());
}

void StrokesView::piecesAddUpToWholeFrames_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("small") << QSize(240, 260);
    QTest::newRow("large") << QSize(1000, 900);
}

// What the screen holds after frames that each repaint only a part is the
// whole frame of that moment: no part the pen passed is left behind.
void StrokesView::piecesAddUpToWholeFrames()
{
    QFETCH(QSize, size);
    StrokeView view;
    view.resize(size);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(view.showCharacter(QStringLiteral("我")));
    int looked = 0;
    QElapsedTimer since;
    since.start();
    while (looked < 12 && since.elapsed() < 20000) {
        QTest::qWait(97);
        const int stroke = view.strokeCount() - 1;
        if (view.positionMs() > view.strokeStartMs(stroke) + view.strokeDurationMs(stroke))
            continue; // the closing pause shows nothing new
        // The frame asked for is painted before any timer can move the view on.
        QCoreApplication::sendPostedEvents();
        const QImage shown
            = view.screen()->grabWindow(view.winId()).toImage().convertToFormat(QImage::Format_RGB32);
        const QImage whole = view.renderFrame(view.positionMs(), size).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), whole.size());
        int off = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const QRgb a = shown.pixel(x, y);
                const QRgb b = whole.pixel(x, y);
                off += qAbs(qRed(a) - qRed(b)) > 8 || qAbs(qGreen(a) - qGreen(b)) > 8
                    || qAbs(qBlue(a) - qBlue(b)) > 8;
            }
        QVERIFY2(off == 0,
                 qPrintable(QStringLiteral("%1 pixels differ at %2 ms").arg(off).arg(view.positionMs())));
        ++looked;
    }
    QVERIFY(looked >= 6);
}

LORVANTA_TEST_MAIN(StrokesView, QApplication)
#include "strokes_view.moc"
