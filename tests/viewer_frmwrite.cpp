// The writing window: 天 written with the mouse, a pen and a finger; misses,
// the hint and the stroke drawn for the pupil; the score; the remembered
// settings; a character without data; "下一个字"; the viewer's "写一写".
#include "core/settings.h"
#include "practice/frmmain.h"
#include "tests/support/practicefixture.h"
#include "tests/support/testsupport.h"
#include "viewer/frmplay.h"
#include "viewer/frmwrite.h"
#include "viewer/strokeview.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QPushButton>
#include <QTabletEvent>
#include <QToolButton>

namespace {

enum class Input { Mouse, Pen, Touch };

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

void draw(WriteCanvas *canvas, const QList<QPointF> &grid, Input input)
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

// Right-clicks the card and picks the entry with this text.
void chooseFromCardMenu(QWidget *card, const QString &text)
{
    QTimer::singleShot(0, card, [text] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction *a : menu->actions())
            if (a->text() == text) {
                menu->setActiveAction(a);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
        menu->close();
    });
    const QPoint at = card->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, card->mapToGlobal(at));
    QApplication::sendEvent(card, &event);
}

} // namespace

class WriteWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        modPub::saveSetting(QStringLiteral("writing"), QStringLiteral("mode"), QStringLiteral("trace"));
        modPub::saveSetting(QStringLiteral("writing"), QStringLiteral("strictness"),
                            QStringLiteral("normal"));
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
        frmWrite *w = writewindow::open(&owner, QStringLiteral("天"), QStringLiteral("天 地"));
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->windowTitle(), QStringLiteral("练习书写 - 天"));
        WriteCanvas *c = w->canvas;
        QCOMPARE(c->session().strokeCount(), 4);
        QCOMPARE(w->lblStatus->text(), QStringLiteral("第 1 笔，共 4 笔"));
        for (int i = 0; i < 4; ++i) {
            draw(c, medianOf(QStringLiteral("天"), i), Input(input));
            QCOMPARE(c->session().current(), i + 1);
        }
        QVERIFY(c->session().complete());
        QCOMPARE(w->lblScore->text(), QStringLiteral("一次写对 4 笔，共 4 笔"));
        QCOMPARE(w->starCount(), 3);
        QVERIFY(w->stars->isVisible());
        QVERIFY(!w->cmdHint->isEnabled());
        // The outlines appear smoothly, then stay.
        QVERIFY(c->animating());
        QTRY_VERIFY(!c->animating());
        QVERIFY(inkPixels(c) > 2000);

        // Ink drawn after the end is not taken.
        draw(c, medianOf(QStringLiteral("天"), 0), Input(input));
        QCOMPARE(c->session().rightFirstTime(), 4);

        w->cmdAgain_Click();
        QCOMPARE(c->session().current(), 0);
        QVERIFY(inkPixels(c) < 50);
        QVERIFY(w->lblScore->text().isEmpty());
    }

    // A reversed stroke is refused and says why; the second miss flashes the
    // stroke, the third draws it for the pupil and counts it as missed.
    void missesHintAndDrawing()
    {
        QWidget owner;
        frmWrite *w = writewindow::open(&owner, QStringLiteral("天"), QString());
        QVERIFY(QTest::qWaitForWindowExposed(w));
        WriteCanvas *c = w->canvas;
        const QList<QPointF> first = medianOf(QStringLiteral("天"), 0);

        draw(c, reversed(first), Input::Mouse);
        QCOMPARE(c->session().current(), 0);
        QCOMPARE(c->session().missesOnCurrent(), 1);
        QVERIFY(w->lblStatus->text().contains(QStringLiteral("方向不对")));
        QTRY_VERIFY(!c->animating()); // the red ink goes away
        const int bare = inkPixels(c);

        draw(c, reversed(first), Input::Mouse);
        QVERIFY(w->lblStatus->text().contains(QStringLiteral("看看提示")));
        QCOMPARE(c->session().current(), 0);

        draw(c, reversed(first), Input::Mouse);
        QCOMPARE(c->session().current(), 1);
        QVERIFY(w->lblStatus->text().contains(QStringLiteral("这一笔是这样写的")));
        QTRY_VERIFY(!c->animating());
        QVERIFY(inkPixels(c) > bare + 300); // stroke 1 now stands in black

        // A tap is no attempt.
        draw(c, {QPointF(500, 500)}, Input::Mouse);
        QCOMPARE(c->session().missesOnCurrent(), 0);

        for (int i = 1; i < 4; ++i)
            draw(c, medianOf(QStringLiteral("天"), i), Input::Mouse);
        QCOMPARE(w->lblScore->text(), QStringLiteral("一次写对 3 笔，共 4 笔"));
        QCOMPARE(w->starCount(), 2);
    }

    // "提示" flashes the next stroke once; "保留笔迹" keeps the pupil's ink
    // beside the outlines.
    void hintAndKeptInk()
    {
        QWidget owner;
        frmWrite *w = writewindow::open(&owner, QStringLiteral("人"), QString());
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->cmdHint->click();
        QVERIFY(w->canvas->animating());
        QTRY_VERIFY(!w->canvas->animating());
        QCOMPARE(w->canvas->session().missesOnCurrent(), 0);

        // Drawn a little beside the median: accepted, the ink kept.
        QList<QPointF> beside = medianOf(QStringLiteral("人"), 0);
        for (QPointF &p : beside)
            p += QPointF(18, 0);
        draw(w->canvas, beside, Input::Mouse);
        QCOMPARE(w->canvas->keptInk().size(), 1);
        QTRY_VERIFY(!w->canvas->animating());
        const QImage without = w->canvas->grab().toImage();
        w->chkKeepInk->setChecked(true);
        QVERIFY(w->canvas->grab().toImage() != without);
    }

    // The grid is square, at least 400 pixels at the default size, and grows
    // with the window; 看 shows the animation in the same place.
    void gridAndModes()
    {
        QWidget owner;
        frmWrite *w = writewindow::open(&owner, QStringLiteral("天"), QString());
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QRectF sq = StrokeView::gridSquare(QRectF(w->canvas->rect()));
        QVERIFY2(sq.width() >= 400, qPrintable(QString::number(sq.width())));
        w->resize(w->width() + 200, w->height() + 200);
        QTRY_VERIFY(StrokeView::gridSquare(QRectF(w->canvas->rect())).width() >= sq.width() + 150);
        QVERIFY(w->windowFlags() & Qt::Dialog);
        QCOMPARE(w->parentWidget(), &owner);

        w->optWatch->click();
        QCOMPARE(w->stack->currentWidget(), w->watchView);
        QVERIFY(w->watchView->isAnimating());
        QVERIFY(!w->cmdHint->isEnabled());
        w->optWrite->click();
        QCOMPARE(w->stack->currentWidget(), w->canvas);
        QVERIFY(!w->watchView->isAnimating());
        // "写": the grid only.
        const int bare = inkPixels(w->canvas);
        QCOMPARE(bare, 0);
    }

    // Strictness and mode are kept in section "writing"; a value that is not
    // understood gives the default.
    void settings()
    {
        {
            QWidget owner;
            frmWrite *w = writewindow::open(&owner, QStringLiteral("天"), QString());
            w->cboStrictness->setCurrentIndex(2);
            w->optWrite->click();
            delete w;
        }
        QCOMPARE(modPub::getSetting(QStringLiteral("writing"), QStringLiteral("strictness")),
                 QStringLiteral("strict"));
        QCOMPARE(modPub::getSetting(QStringLiteral("writing"), QStringLiteral("mode")),
                 QStringLiteral("write"));
        QWidget owner;
        frmWrite *w = writewindow::open(&owner, QStringLiteral("天"), QString());
        QCOMPARE(w->cboStrictness->currentText(), QStringLiteral("严格"));
        QVERIFY(w->optWrite->isChecked());
        delete w;

        modPub::saveSetting(QStringLiteral("writing"), QStringLiteral("strictness"), QStringLiteral("9"));
        modPub::saveSetting(QStringLiteral("writing"), QStringLiteral("mode"), QStringLiteral("看"));
        const WritingSettings s = WritingSettings::load();
        QCOMPARE(s.strictness, strokecheck::Strictness::Normal);
        QCOMPARE(s.mode, WritingSettings::Mode::Trace);
    }

    // A character the data lacks says so and takes no ink; "下一个字" walks
    // the bank's Chinese characters that have strokes, wrapping.
    void missingAndNext()
    {
        QWidget owner;
        const QString bank = QStringLiteral("ā 天地 b 天 人 \U00020000");
        frmWrite *w = writewindow::open(&owner, QStringLiteral("b"), bank);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(w->lblStatus->text().contains(QStringLiteral("没有笔顺数据")));
        QVERIFY(!w->cmdHint->isEnabled() && !w->optWatch->isEnabled());
        draw(w->canvas, medianOf(QStringLiteral("天"), 0), Input::Mouse);
        QCOMPARE(w->canvas->session().strokeCount(), 0);

        QCOMPARE(frmWrite::nextCharacter(bank, QStringLiteral("天")), QStringLiteral("地"));
        QCOMPARE(frmWrite::nextCharacter(bank, QStringLiteral("人")), QStringLiteral("天"));
        QCOMPARE(frmWrite::nextCharacter(QStringLiteral("ā b"), QStringLiteral("天")), QString());
        w->cmdNext_Click();
        QCOMPARE(w->character(), QStringLiteral("天"));
        w->cmdNext_Click();
        QCOMPARE(w->character(), QStringLiteral("地"));
        QCOMPARE(w->canvas->session().strokeCount(), 6);

        QCOMPARE(frmWrite::characterFor(QStringLiteral("天地")), QStringLiteral("天"));
        QCOMPARE(frmWrite::characterFor(QStringLiteral("bā")), QStringLiteral("天"));
    }

    // "练习书写…" on the card: the item's first character, 天 for pinyin; the
    // practice window owns the writing window and keeps its item.
    void fromThePracticeCard()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("地球 bā"));
        frmMain *main = f.open();
        chooseFromCardMenu(main->lblBack, QStringLiteral("练习书写…"));
        QTRY_VERIFY(writewindow::current());
        frmWrite *w = writewindow::current();
        QCOMPARE(w->character(), QStringLiteral("地"));
        QCOMPARE(w->parentWidget(), main);
        w->cmdNext_Click();
        QCOMPARE(w->character(), QStringLiteral("球"));
        main->cmdAfter_Click();
        chooseFromCardMenu(main->lblChar, QStringLiteral("练习书写…"));
        QCOMPARE(writewindow::current(), w);
        QCOMPARE(w->character(), QStringLiteral("天"));
        QCOMPARE(main->curIndex(), 2);
    }

    // The viewer's "写一写" opens the one writing window for its box, and a
    // second opening reuses it under the new owner.
    void fromTheViewer()
    {
        QWidget practice;
        frmPlay viewer(&practice);
        viewer.show();
        QCOMPARE(viewer.cmdWrite->text(), QStringLiteral("写一写"));
        QCOMPARE(viewer.cmdWrite->geometry(), QRect(108, 0, 65, 31));
        QVERIFY(!viewer.cmdWrite->geometry().intersects(viewer.Command1->geometry()));
        QVERIFY(!viewer.cmdWrite->geometry().intersects(viewer.Command2->geometry()));
        viewer.setCharacter(QStringLiteral("人"));
        viewer.cmdWrite->click();
        frmWrite *w = writewindow::current();
        QVERIFY(w);
        QCOMPARE(w->character(), QStringLiteral("人"));
        QCOMPARE(w->parentWidget(), &viewer);
        QCOMPARE(writewindow::open(&practice, QStringLiteral("大"), QString()), w);
        QCOMPARE(w->parentWidget(), &practice);
        QCOMPARE(w->character(), QStringLiteral("大"));
    }
};

LORVANTA_TEST_MAIN(WriteWindowTest, QApplication)
#include "viewer_frmwrite.moc"
