// The writing window: 天 written with the mouse, a pen and a finger; the
// hint, 撤销 and the kept ink; 看 played once; the settings it keeps; the
// texts growing with the window; the card's "练习书写…" and the viewer's
// "写一写", whose closing leaves a character being written open.
#include "core/settings.h"
#include "practice/frmmain.h"
#include "tests/support/practicefixture.h"
#include "tests/support/testsupport.h"
#include "viewer/frmplay.h"
#include "viewer/strokeview.h"
#include "writing/frmwrite.h"
#include "writing/writecanvas.h"
#include "writing/writingsession.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabletEvent>
#include <QToolButton>

namespace {

enum class Input { Mouse, Pen, Touch };

using testsupport::child;

WriteCanvas *canvasOf(frmWrite *w) { return child<WriteCanvas>(w, "canvas"); }
QString statusOf(frmWrite *w) { return child<QLabel>(w, "lblStatus")->text(); }

QList<QPointF> medianOf(const QString &character, int stroke)
{
    return StrokeData::bundled().find(*StrokeData::singleCodePoint(character))->medians[stroke];
}

// Many pointer positions along a line of grid points, as a hand moves.
QList<QPointF> pointerPath(const WriteCanvas *canvas, const QList<QPointF> &grid)
{
    QList<QPointF> out;
    for (qsizetype i = 1; i < grid.size(); ++i)
        for (int k = 0; k < 8; ++k)
            out.append(canvas->toWidget(grid[i - 1] + (grid[i] - grid[i - 1]) * (k / 8.0)));
    out.append(canvas->toWidget(grid.last()));
    return out;
}

const QPointingDevice *pen()
{
    static const QPointingDevice device(
        QStringLiteral("test pen"), 77, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Pen,
        QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 2);
    return &device;
}

QPointingDevice *touchScreen()
{
    static QPointingDevice *device = [] {
        QPointingDevice *d = QTest::createTouchDevice();
        d->setParent(qApp); // gone with the application, not leaked
        return d;
    }();
    return device;
}

void draw(WriteCanvas *canvas, const QList<QPointF> &grid, Input input = Input::Mouse)
{
    const QList<QPointF> path = pointerPath(canvas, grid);
    switch (input) {
    case Input::Mouse: {
        auto send = [&](QEvent::Type type, const QPointF &at, Qt::MouseButtons buttons) {
            QMouseEvent e(type, at, canvas->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(canvas, &e);
        };
        send(QEvent::MouseButtonPress, path.first(), Qt::LeftButton);
        for (const QPointF &p : path.mid(1))
            send(QEvent::MouseMove, p, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, path.last(), Qt::NoButton);
        break;
    }
    case Input::Pen: {
        auto send = [&](QEvent::Type type, const QPointF &at, Qt::MouseButtons buttons) {
            QTabletEvent e(type, pen(), at, canvas->mapToGlobal(at), 0.6, 0, 0, 0, 0, 0, Qt::NoModifier,
                           Qt::LeftButton, buttons);
            QApplication::sendEvent(canvas, &e);
            QVERIFY(e.isAccepted());
        };
        send(QEvent::TabletPress, path.first(), Qt::LeftButton);
        for (const QPointF &p : path.mid(1))
            send(QEvent::TabletMove, p, Qt::LeftButton);
        send(QEvent::TabletRelease, path.last(), Qt::NoButton);
        break;
    }
    case Input::Touch: {
        // Through the window system, as a touch screen delivers it; a second
        // finger resting on the square in the middle of the stroke is ignored.
        QTest::touchEvent(canvas, touchScreen()).press(0, path.first().toPoint(), canvas);
        for (qsizetype i = 1; i < path.size(); ++i) {
            if (i == path.size() / 2)
                QTest::touchEvent(canvas, touchScreen())
                    .move(0, path[i].toPoint(), canvas)
                    .press(1, QPoint(5, 5), canvas);
            else
                QTest::touchEvent(canvas, touchScreen()).move(0, path[i].toPoint(), canvas);
        }
        QTest::touchEvent(canvas, touchScreen()).release(0, path.last().toPoint(), canvas);
        QTest::touchEvent(canvas, touchScreen()).release(1, QPoint(5, 5), canvas);
        break;
    }
    }
}

QList<QPointF> reversed(QList<QPointF> l)
{
    std::reverse(l.begin(), l.end());
    return l;
}

// Ink-dark pixels of the square.
int inkPixels(QWidget *w)
{
    const QImage img = w->grab().toImage();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qGray(img.pixel(x, y)) < 60;
    return n;
}

// Right-clicks the card and reads, then picks, the entry at `index`.
QString chooseFromCardMenu(QWidget *card, int index)
{
    QString text;
    QTimer::singleShot(0, card, [&text, index] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QAction *a = menu->actions().value(index);
        text = a ? a->text() : QString();
        if (a)
            menu->setActiveAction(a);
        QTest::keyClick(menu, a ? Qt::Key_Return : Qt::Key_Escape);
    });
    const QPoint at = card->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, card->mapToGlobal(at));
    QApplication::sendEvent(card, &event);
    return text;
}

frmWrite *openShown(QWidget *owner, const QString &character, const QString &bank = QString())
{
    frmWrite *w = writewindow::open(owner, character, bank);
    if (!QTest::qWaitForWindowExposed(w))
        qWarning("writing window not shown");
    return w;
}

} // namespace

class WriteWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        const QString section = QStringLiteral("writing");
        modPub::saveSettings(section,
                             {{QStringLiteral("mode"), QStringLiteral("trace")},
                              {QStringLiteral("strictness"), QStringLiteral("normal")},
                              {QStringLiteral("misses"), QStringLiteral("3")}});
    }

    void cleanup()
    {
        delete writewindow::current();
        QVERIFY(!writewindow::current());
    }

    // 天 with each kind of input: every stroke taken, black outlines where the
    // ink was, a full score.
    void writeWithEachInput_data()
    {
        QTest::addColumn<int>("input");
        QTest::newRow("mouse") << int(Input::Mouse);
        QTest::newRow("pen") << int(Input::Pen);
        QTest::newRow("touch") << int(Input::Touch);
    }
    void writeWithEachInput()
    {
        QFETCH(int, input);
        QWidget owner;
        frmWrite *w = openShown(&owner, QStringLiteral("天"), QStringLiteral("天 地"));
        QCOMPARE(w->windowTitle(), QStringLiteral("练习书写 - 天"));
        WriteCanvas *c = canvasOf(w);
        QCOMPARE(statusOf(w), QStringLiteral("第 1 笔，共 4 笔"));
        for (int i = 0; i < 4; ++i) {
            draw(c, medianOf(QStringLiteral("天"), i), Input(input));
            QCOMPARE(w->session()->current(), i + 1);
        }
        QCOMPARE(child<QLabel>(w, "lblScore")->text(), QStringLiteral("一次写对 4 笔，共 4 笔"));
        QVERIFY(child(w, "stars")->isVisible());
        QVERIFY(!child(w, "cmdHint")->isEnabled());
        QVERIFY(!child(w, "cmdUndo")->isEnabled());
        // The outlines appear smoothly, then stay.
        QVERIFY(c->animating());
        QTRY_VERIFY(!c->animating());
        QVERIFY(inkPixels(c) > 2000);

        child<QPushButton>(w, "cmdAgain")->click();
        QCOMPARE(w->session()->current(), 0);
        QVERIFY(inkPixels(c) < 50);
        QVERIFY(child<QLabel>(w, "lblScore")->text().isEmpty());
    }

    // A reversed stroke is refused and says why, in red for a moment; the
    // next miss shows the hint, the third draws the stroke. 撤销 takes the
    // last stroke back; 保留笔迹 shows the refused tries too.
    void missesUndoAndKeptInk()
    {
        QWidget owner;
        frmWrite *w = openShown(&owner, QStringLiteral("天"));
        WriteCanvas *c = canvasOf(w);
        const QList<QPointF> first = medianOf(QStringLiteral("天"), 0);
        draw(c, reversed(first));
        QCOMPARE(statusOf(w), QStringLiteral("第 1 笔，共 4 笔　方向不对"));
        QTRY_VERIFY(!c->animating()); // the red ink goes away
        const int bare = inkPixels(c);
        const QImage plain = c->grab().toImage();
        child<QCheckBox>(w, "chkKeepInk")->setChecked(true);
        QVERIFY(c->grab().toImage() != plain); // the refused try, set apart
        child<QCheckBox>(w, "chkKeepInk")->setChecked(false);

        draw(c, reversed(first));
        QVERIFY(statusOf(w).endsWith(QStringLiteral("看看提示")));
        QVERIFY(c->animating());
        draw(c, reversed(first));
        QCOMPARE(w->session()->current(), 1);
        QVERIFY(statusOf(w).endsWith(QStringLiteral("这一笔是这样写的")));
        QTRY_VERIFY(!c->animating());
        QVERIFY(inkPixels(c) > bare + 300); // stroke 1 now stands in black

        auto *undo = child<QPushButton>(w, "cmdUndo");
        QVERIFY(undo->isEnabled());
        undo->click();
        QCOMPARE(w->session()->current(), 0);
        QVERIFY(!undo->isEnabled());
        QCOMPARE(inkPixels(c), bare);
    }

    // "提示" shows where the stroke starts and which way it goes, for a moment,
    // on a character written small: the marks stand where the pupil writes.
    void hintWhereThePupilWrites()
    {
        QWidget owner;
        frmWrite *w = openShown(&owner, QStringLiteral("天"));
        child<QToolButton>(w, "optWrite")->click();
        WriteCanvas *c = canvasOf(w);
        QList<QPointF> small = medianOf(QStringLiteral("天"), 0);
        for (QPointF &p : small)
            p = QPointF(380, 250) + 0.6 * (p - QPointF(512, 388));
        draw(c, small);
        QCOMPARE(w->session()->current(), 1);
        QTRY_VERIFY(!c->animating());
        const QImage before = c->grab().toImage();
        child<QPushButton>(w, "cmdHint")->click();
        QTest::qWait(200);
        const QImage during = c->grab().toImage();
        QTRY_VERIFY(!c->animating());
        QCOMPARE(c->grab().toImage(), before);
        // What changed lies where the pupil writes stroke 2, not where the model has it.
        QPointF sum;
        int changed = 0;
        for (int y = 0; y < before.height(); y += 2)
            for (int x = 0; x < before.width(); x += 2)
                if (before.pixel(x, y) != during.pixel(x, y)) {
                    sum += QPointF(x, y);
                    ++changed;
                }
        QVERIFY(changed > 100);
        const QList<QPointF> second = medianOf(QStringLiteral("天"), 1);
        const QPointF model = (second.first() + second.last()) / 2;
        const QPointF pupil = QPointF(380, 250) + 0.6 * (model - QPointF(512, 388));
        const double dpr = c->devicePixelRatioF();
        const QPointF seen = sum / changed / dpr;
        QVERIFY2(QLineF(seen, c->toWidget(pupil)).length() < 40,
                 qPrintable(QStringLiteral("%1,%2").arg(seen.x()).arg(seen.y())));
    }

    // 看 plays the animation once, then offers 写; it is not kept as the mode
    // to open in, and 写 is.
    void watchOnce()
    {
        modPub::saveSetting(QStringLiteral("writing"), QStringLiteral("mode"), QStringLiteral("write"));
        QWidget owner;
        frmWrite *w = openShown(&owner, QStringLiteral("人"));
        QCOMPARE(w->mode(), WritingSettings::Mode::Write);
        auto *stack = child<QStackedWidget>(w, "stack");
        auto *view = child<StrokeView>(w, "watchView");
        child<QToolButton>(w, "optWatch")->click();
        QCOMPARE(stack->currentWidget(), view);
        QVERIFY(view->isAnimating());
        QVERIFY(!child(w, "cmdHint")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(stack->currentWidget(), child(w, "watchStill"), 10000);
        QVERIFY(!view->isAnimating());
        QVERIFY(child(w, "cmdWriteNow")->isVisible());
        QCOMPARE(modPub::getSetting(QStringLiteral("writing"), QStringLiteral("mode")),
                 QStringLiteral("write"));
        child<QPushButton>(w, "cmdWriteNow")->click();
        QCOMPARE(stack->currentWidget(), canvasOf(w));
        QCOMPARE(w->mode(), WritingSettings::Mode::Write);
        QCOMPARE(inkPixels(canvasOf(w)), 0); // "写": the grid only
        child<QToolButton>(w, "optTrace")->click();
        QCOMPARE(modPub::getSetting(QStringLiteral("writing"), QStringLiteral("mode")),
                 QStringLiteral("trace"));
    }

    // Strictness and the misses before a stroke is drawn are kept, and the
    // misses apply at once.
    void settings()
    {
        QWidget owner;
        frmWrite *w = openShown(&owner, QStringLiteral("人"));
        child<QComboBox>(w, "cboStrictness")->setCurrentIndex(2);
        child<QSpinBox>(w, "spnMisses")->setValue(2);
        QCOMPARE(modPub::getSetting(QStringLiteral("writing"), QStringLiteral("strictness")),
                 QStringLiteral("strict"));
        QCOMPARE(modPub::getSetting(QStringLiteral("writing"), QStringLiteral("misses")),
                 QStringLiteral("2"));
        QCOMPARE(w->session()->strictness(), strokecheck::Strictness::Strict);
        const QList<QPointF> first = medianOf(QStringLiteral("人"), 0);
        draw(canvasOf(w), reversed(first));
        draw(canvasOf(w), reversed(first));
        QCOMPARE(w->session()->current(), 1);
        delete w;
        w = openShown(&owner, QStringLiteral("人"));
        QCOMPARE(child<QComboBox>(w, "cboStrictness")->currentText(), QStringLiteral("严格"));
        QCOMPARE(child<QSpinBox>(w, "spnMisses")->value(), 2);
    }

    // The status line and the score grow with the window.
    void textsGrow()
    {
        QWidget owner;
        frmWrite *w = openShown(&owner, QStringLiteral("人"));
        const qreal small = child<QLabel>(w, "lblStatus")->font().pointSizeF();
        w->resize(w->width() * 2, w->height() * 2);
        QTRY_VERIFY(child<QLabel>(w, "lblStatus")->font().pointSizeF() >= 1.8 * small);
        QVERIFY(child<QLabel>(w, "lblScore")->font().pointSizeF() >= 1.8 * small);
    }

    // A character the data lacks says so and takes no ink; "下一个字" walks
    // the bank, and is off in a bank of one character.
    void missingAndNext()
    {
        QWidget owner;
        frmWrite *w = openShown(&owner, QStringLiteral("b"), QStringLiteral("ā 天地 b 天 人"));
        QVERIFY(statusOf(w).contains(QStringLiteral("没有笔顺数据")));
        QVERIFY(!child(w, "cmdHint")->isEnabled() && !child(w, "optWatch")->isEnabled());
        draw(canvasOf(w), medianOf(QStringLiteral("天"), 0));
        QVERIFY(w->session()->tries().isEmpty());
        auto *next = child<QPushButton>(w, "cmdNext");
        next->click();
        QCOMPARE(w->session()->character(), QStringLiteral("天"));
        next->click();
        QCOMPARE(w->session()->character(), QStringLiteral("地"));
        QCOMPARE(w->windowTitle(), QStringLiteral("练习书写 - 地"));
        w->setBankText(QStringLiteral("地"));
        QVERIFY(!next->isEnabled());
    }

    // "练习书写…" on the card: the item's first character; on a pinyin card the
    // entry says it opens 天. The practice window owns the writing window.
    void fromThePracticeCard()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("地球 bā"));
        frmMain *main = f.open();
        QCOMPARE(chooseFromCardMenu(child<QLabel>(main, "lblBack"), 1), QStringLiteral("练习书写…"));
        QTRY_VERIFY(writewindow::current());
        frmWrite *w = writewindow::current();
        QCOMPARE(w->session()->character(), QStringLiteral("地"));
        QCOMPARE(w->parentWidget(), main);
        child<QPushButton>(w, "cmdNext")->click();
        QCOMPARE(w->session()->character(), QStringLiteral("球"));
        main->cmdAfter_Click();
        QCOMPARE(chooseFromCardMenu(child<QLabel>(main, "lblChar"), 1), QStringLiteral("练习书写“天”…"));
        QCOMPARE(writewindow::current(), w);
        QCOMPARE(w->session()->character(), QStringLiteral("天"));
        QCOMPARE(main->deck().index(), 2);
    }

    // The viewer's "写一写" opens the one writing window for its box under
    // the viewer; closing the viewer with a character being written hands
    // the window to the practice window instead of closing it.
    void fromTheViewer()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 大"));
        frmMain *main = f.open();
        main->Command1_Click();
        QPointer<frmPlay> viewer = main->viewer();
        QVERIFY(viewer);
        viewer->setCharacter(QStringLiteral("人"));
        viewer->cmdWrite->click();
        QPointer<frmWrite> w = writewindow::current();
        QVERIFY(w);
        QCOMPARE(w->session()->character(), QStringLiteral("人"));
        QCOMPARE(w->parentWidget(), viewer.data());
        QCOMPARE(w->session()->nextCharacter(), QStringLiteral("大"));
        draw(canvasOf(w), medianOf(QStringLiteral("人"), 0));
        viewer->close();
        QTRY_VERIFY(!viewer);
        QVERIFY(w);
        QCOMPARE(w->parentWidget(), main);
        QVERIFY(w->isVisible());
        QCOMPARE(w->session()->current(), 1);

        // With nothing written, the writing window goes with the viewer.
        main->Command1_Click();
        viewer = main->viewer();
        viewer->cmdWrite->click();
        QCOMPARE(writewindow::current(), w.data());
        QCOMPARE(w->parentWidget(), viewer.data());
        viewer->close();
        QTRY_VERIFY(!w);
    }
};

LORVANTA_TEST_MAIN(WriteWindowTest, QApplication)
#include "writing_window.moc"
