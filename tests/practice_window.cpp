// The practice window driven as a pupil would: start-up, stepping, keys,
// layout at several sizes, deleting items and reloading after the editor.
#include "core/bankfile.h"
#include "core/httpclient.h"
#include "core/modules.h"
#include "core/settings.h"
#include "core/version.h"
#include "rules/deck.h"
#include "rules/layout.h"
#include "speech/speechengine.h"
#include "tests/support/fulldisk.h"
#include "tests/support/localserver.h"
#include "tests/support/practicefixture.h"
#include "viewer/webviewfactory.h"

#include <QApplication>
#include <QFontInfo>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cmath>

using testsupport::child;

using namespace modPub;
using testsupport::FullDisk;

namespace {
const QString noBankYet = QStringLiteral("还没有字库，点击“我的生字库”按钮进行输入");
const QString bankEmpty = QStringLiteral("当前生字库内容为空，请点击“我的生字库”输入生字");
const QString changed = QStringLiteral("生字库发生变化，系统自动重新载入");

QString deleteQuestion(const QString &caption)
{
    return QStringLiteral("确定要删除【") + caption
        + QStringLiteral("】吗？\r\n熟练认识了点“是”将从生字库中删除“") + caption
        + QStringLiteral("”字，未熟练认识点“否”");
}

// A key pressed in the window, as the window system delivers it: to the
// window, which hands it to whatever control has the focus.
void press(frmMain *w, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(w->windowHandle(), key, modifiers);
}

// Steps with the window's own buttons to the item at index.
void stepTo(frmMain *w, int index)
{
    while (w->deck().index() < index && child<QPushButton>(w, "cmdAfter")->isEnabled())
        w->cmdAfter_Click();
    while (w->deck().index() > index && child<QPushButton>(w, "cmdBefore")->isEnabled())
        w->cmdBefore_Click();
    QCOMPARE(w->deck().index(), index);
}

bool activate(QWidget *w)
{
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

// Closes the modal editor through its close box as soon as it is open,
// after running `during` (which may change the bank file meanwhile).
void closeEditorSoon(std::function<void()> during = {})
{
    QTimer::singleShot(0, qApp, [during] {
        if (during)
            during();
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
}
} // namespace

class PracticeWindow : public QObject
{
    Q_OBJECT
private slots:
    void init() { clearSettings(); }

    void startupWithoutBankWritesTheTonedVowels()
    {
        PracticeFixture f;
        frmMain *w = f.open();
        QCOMPARE(f.bankBytes(), encodeGbk(defaultBank()) + "\r\n");
        QCOMPARE(w->windowTitle(), QStringLiteral("Lorvanta V" LORVANTA_VERSION_STRING));
        QCOMPARE(w->caption(), QStringLiteral("ā"));
        QCOMPARE(child<QLabel>(w, "lblChar")->text(), QStringLiteral("ā"));
        QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 1/24"));
        QVERIFY(!child<QPushButton>(w, "cmdBefore")->isEnabled());
        QVERIFY(child<QPushButton>(w, "cmdAfter")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "Command1")->isEnabled());
        QCOMPARE(child<QLabel>(w, "lblChar")->font().family(), ui::designFamily(QStringLiteral("宋体")));
        QVERIFY(f.shown.isEmpty());
        // The first item is shown without the modules: speech, the HTTP
        // client and the web view are loaded when first needed.
        for (const QString &module : {modules::fileName<SpeechEngineFactory>(),
                                      modules::fileName<HttpClient>(), modules::fileName<WebViewFactory>()})
            QVERIFY2(!modules::attempted(module), qPrintable(module));
    }

    void emptyFilesGetTheDefaultButSpacesStay()
    {
        for (const QByteArray &content : {QByteArray(), QByteArray("\r\n")}) {
            PracticeFixture f;
            f.writeBank(content);
            f.open();
            QCOMPARE(f.bankBytes(), encodeGbk(defaultBank()) + "\r\n");
        }
        PracticeFixture f;
        f.writeBank("   ");
        frmMain *w = f.open();
        QCOMPARE(f.bankBytes(), QByteArray("   "));
        QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 1/4"));
        QCOMPARE(w->caption(), QString());
        QCOMPARE(w->baseFontSize(), 243);
    }

    void badBankFilesNeverStopTheStart()
    {
        { // A folder where the file should be: not replaced, the pupil is told.
            PracticeFixture f;
            QDir(f.dir.path()).mkdir(bankFileName());
            frmMain *w = f.open();
            QVERIFY(QFileInfo(f.bankPath()).isDir());
            QCOMPARE(f.texts(), QStringList {noBankYet});
            QCOMPARE(w->caption(), QString());
        }
        { // Binary garbage and broken GBK are shown as whatever they decode to.
            PracticeFixture f;
            QByteArray garbage;
            for (int i = 0; i < 2000; ++i)
                garbage.append(char((i * 131 + 7) & 0xFF));
            f.writeBank(garbage);
            frmMain *w = f.open();
            QCOMPARE(f.bankBytes(), garbage); // never rewritten
            QVERIFY(w->deck().index() >= 1);
        }
        { // One enormous item: kept whole in memory, the card shows its beginning.
            PracticeFixture f;
            f.writeBank(QByteArray(4 * 1024 * 1024, 'b'));
            frmMain *w = f.open();
            QCOMPARE(w->caption().size(), 4 * 1024 * 1024);
            QVERIFY(child<QLabel>(w, "lblChar")->text().size() < 2000);
            QCOMPARE(w->baseFontSize(), 40);
        }
    }

    void steppingWithButtonsAndKeys()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口 手"));
        frmMain *w = f.open();
        QCOMPARE(w->caption(), QStringLiteral("人"));
        QCOMPARE(child<QLabel>(w, "lblChar")->font().family(), ui::designFamily(QStringLiteral("楷体")));
        QCOMPARE(w->baseFontSize(), 240);
        QVERIFY(child<QPushButton>(w, "Command1")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "cmdBefore")->isEnabled() && child<QPushButton>(w, "cmdAfter")->isEnabled());
        QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 1/3"));

        // Keys reach the window first, whichever control has the focus.
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "Text1"));
        press(w, Qt::Key_Right);
        press(w, Qt::Key_Right);
        QCOMPARE(w->caption(), QStringLiteral("手"));
        QVERIFY(!child<QPushButton>(w, "cmdAfter")->isEnabled());
        press(w, Qt::Key_Right);
        QCOMPARE(w->deck().index(), 3); // no wrapping by hand
        press(w, Qt::Key_PageUp);
        QCOMPARE(w->deck().index(), 2);
        press(w, Qt::Key_Up, Qt::ControlModifier); // shift state ignored
        QCOMPARE(w->deck().index(), 1);
        press(w, Qt::Key_Left);
        QCOMPARE(w->deck().index(), 1);
        press(w, Qt::Key_Down);
        press(w, Qt::Key_PageDown);
        QCOMPARE(w->caption(), QStringLiteral("手"));
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "Text1"));

        QTest::mouseClick(child<QPushButton>(w, "cmdBefore"), Qt::LeftButton);
        QCOMPARE(w->caption(), QStringLiteral("口"));
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "Text1"));
        QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 2/3"));
    }

    void asciiLettersHyphensAndBlankItems()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("ga b-a"));
        frmMain *w = f.open();
        QCOMPARE(w->caption(), QStringLiteral("ɡɑ"));
        QCOMPARE(w->tag(), QStringLiteral("ɡɑ"));
        QVERIFY(!child<QPushButton>(w, "Command1")->isEnabled());
        w->cmdAfter_Click();
        QCOMPARE(w->caption(), QStringLiteral("b ɑ"));
        QCOMPARE(w->tag(), QStringLiteral("b-ɑ"));
        QCOMPARE(w->baseFontSize(), 204);
        QVERIFY(!child<QPushButton>(w, "Command1")->isEnabled());

        PracticeFixture g;
        g.writeBankText(QStringLiteral("a  b"));
        w = g.open();
        w->cmdAfter_Click();
        QCOMPARE(w->caption(), QString());
        QCOMPARE(child<QLabel>(w, "lblChar")->font().family(), ui::designFamily(QStringLiteral("宋体")));
        QCOMPARE(w->baseFontSize(), 243);
        QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 2/3"));

        PracticeFixture h;
        h.writeBankText(QStringLiteral("a字"));
        w = h.open();
        QCOMPARE(child<QLabel>(w, "lblChar")->font().family(), ui::designFamily(QStringLiteral("楷体")));
        QCOMPARE(w->baseFontSize(), 210);
        QVERIFY(child<QPushButton>(w, "Command1")->isEnabled());
    }

    void fontsResolveToChineseFaces()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天 ǖ"));
        frmMain *w = f.open();
        const QString kai = QFontInfo(child<QLabel>(w, "lblChar")->font()).family();
        QVERIFY2(kai.contains(QStringLiteral("Kai")) || kai.contains(QStringLiteral("WenKai")),
                 qPrintable(kai));
        w->cmdAfter_Click();
        const QFontMetrics m(child<QLabel>(w, "lblChar")->font());
        for (const QChar c : QStringLiteral("ɑɡǖǘǚǜāóěì"))
            QVERIFY2(m.inFont(c), qPrintable(QString(c)));

        // The window asks for installed families directly; each is the face
        // the design name itself would have shown.
        for (const QString &design :
             {QStringLiteral("楷体"), QStringLiteral("宋体"), QStringLiteral("微软雅黑"),
              QStringLiteral("Arial"), QStringLiteral("Arial Narrow")}) {
            QCOMPARE(QFontInfo(QFont(ui::designFamily(design))).family(), QFontInfo(QFont(design)).family());
        }
        // An installed family is kept; a name with no installed substitute is left to fontconfig.
        const QString installed = QFontInfo(QFont(ui::designFamily(QStringLiteral("宋体")))).family();
        QCOMPARE(ui::designFamily(installed), installed);
        QCOMPARE(ui::designFamily(QStringLiteral("No Such Face")), QStringLiteral("No Such Face"));
    }

    void layoutAtDesignSize()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天"));
        frmMain *w = f.open();
        QCOMPARE(w->size(), QSize(830, 513));
        QCOMPARE(w->refHeight(), 6895);
        QCOMPARE(w->refWidth(), 12450);
        QCOMPARE(child<QLabel>(w, "lblBack")->geometry(), QRect(0, 40, 830, 400));
        QCOMPARE(child<QWidget>(w, "Picture1")->geometry(), QRect(ui::px(1837), ui::px(6900), ui::px(8775), ui::px(495)));
        QCOMPARE(child<QLabel>(w, "Image3")->pos(), QPoint(ui::px(6120), ui::px(6650)));
        QCOMPARE(child<QLabel>(w, "lblAbout")->x(), ui::px(12450 - ui::widthOf(child<QLabel>(w, "lblAbout")) - 135));
        QCOMPARE(child<QLabel>(w, "lblShuoming")->x(),
                 ui::px(12450 - ui::widthOf(child<QLabel>(w, "lblShuoming")) - ui::widthOf(child<QLabel>(w, "lblAbout")) - 300));
        // The item is centred on the card, above the button bar.
        QCOMPARE(child<QLabel>(w, "lblChar")->font().pointSizeF(), 240.0);
        QCOMPARE(child<QLabel>(w, "lblChar")->x(), ui::px(ui::halfOf(12450 - ui::widthOf(child<QLabel>(w, "lblChar")))));
        QCOMPARE(child<QLabel>(w, "lblChar")->y(), ui::px(ui::halfOf(7695 - ui::heightOf(child<QLabel>(w, "lblChar")) - 495)));
        QCOMPARE(child<QLineEdit>(w, "Text1")->x(), ui::px(-60000));
    }

    void layoutFollowsResizes()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天"));
        frmMain *w = f.open();
        w->resize(415, 513); // half the width
        QCOMPARE(child<QLabel>(w, "lblChar")->font().pointSizeF(), 120.0);
        QCOMPARE(child<QLabel>(w, "lblBack")->width(), 415);
        w->resize(830, 230); // only lower: the height ratio wins
        QTRY_COMPARE(w->height(), 230);
        // The ratio uses the outer height, frame included.
        const double outer = ui::twips(w->frameGeometry().height());
        QVERIFY2(qAbs(child<QLabel>(w, "lblChar")->font().pointSizeF() - 240.0 * outer / 6895) < 0.01,
                 qPrintable(QString::number(child<QLabel>(w, "lblChar")->font().pointSizeF())));
        w->resize(1660, 1026); // twice the width, a little more than twice the height
        QCOMPARE(child<QLabel>(w, "lblChar")->font().pointSizeF(), 480.0);

        // Too low for the card: only its width follows, nothing else moves.
        w->resize(830, 513);
        const QPoint bar = child<QWidget>(w, "Picture1")->pos();
        const QPoint item = child<QLabel>(w, "lblChar")->pos();
        w->resize(600, 100);
        QCOMPARE(child<QLabel>(w, "lblBack")->width(), 600);
        QCOMPARE(child<QWidget>(w, "Picture1")->pos(), bar);
        QCOMPARE(child<QLabel>(w, "lblChar")->pos(), item);
        // No width at all: the item keeps a usable size.
        w->resize(0, 513);
        w->showCurrentItem();
        QVERIFY(child<QLabel>(w, "lblChar")->font().pointSizeF() >= 1.0);
    }

    void deleteItems()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口 手"));
        frmMain *w = f.open();
        w->cmdAfter_Click();
        f.answer = MessageAnswer::No;
        press(w, Qt::Key_D);
        QCOMPARE(f.texts(), QStringList {deleteQuestion(QStringLiteral("口"))});
        QCOMPARE(f.shown[0].icon, MessageIcon::Information);
        QCOMPARE(f.shown[0].buttons, MessageButtons::YesNo);
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("人 口 手")) + "\r\n");
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "Text1"));

        f.answer = MessageAnswer::Yes;
        press(w, Qt::Key_Delete);
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("人 手")) + "\r\n");
        QCOMPARE(w->caption(), QStringLiteral("手"));
        QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 2/2"));
        // The last item: the display moves to the new last one.
        w->Command2_Click();
        QCOMPARE(w->caption(), QStringLiteral("人"));
        QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 1/1"));
        // The only item: the file keeps just CR LF and the pupil is told.
        f.shown.clear();
        w->Command2_Click();
        QCOMPARE(f.bankBytes(), QByteArray("\r\n"));
        QCOMPARE(w->caption(), QString());
        QCOMPARE(child<QLabel>(w, "lblChar")->text(), QString());
        QCOMPARE(f.texts(), (QStringList {deleteQuestion(QStringLiteral("人")), bankEmpty}));
        QVERIFY(!child<QPushButton>(w, "cmdBefore")->isEnabled() && !child<QPushButton>(w, "cmdAfter")->isEnabled());
        QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 1/1"));
        // Nothing shown: deleting explains itself.
        f.shown.clear();
        w->Command2_Click();
        QCOMPARE(f.texts(),
                 QStringList {QStringLiteral("当前没有任何文字显示无法进行删除操作，请去生字库添加内容吧")});
    }

    void deleteOnAFullDiskKeepsTheItem()
    {
        FullDisk disk;
        if (!disk.mounted())
            QSKIP("mounting a small tmpfs is not allowed here (needs root); deleting on a full disk is not "
                  "tested");
        PracticeFixture f;
        setBankDirOverride(disk.path());
        f.writeBankText(QStringLiteral("人 口 手"));
        QVERIFY(disk.fill());
        frmMain *w = f.open();
        w->cmdAfter_Click();
        w->Command2_Click();
        // Asked, answered Yes, told that nothing was saved: the item stays,
        // in the window as in the file.
        QCOMPARE(f.texts(), (QStringList {deleteQuestion(QStringLiteral("口")), bankNotSavedText()}));
        QCOMPARE(f.shown.last().icon, MessageIcon::Information);
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("人 口 手")) + "\r\n");
        QCOMPARE(w->deck().text(), QStringLiteral("人 口 手"));
        QCOMPARE(w->caption(), QStringLiteral("口"));
        QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 2/3"));
        // With room again, the same command deletes.
        QVERIFY(QFile::remove(disk.filler()));
        f.shown.clear();
        w->Command2_Click();
        QCOMPARE(f.texts(), QStringList {deleteQuestion(QStringLiteral("口"))});
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("人 手")) + "\r\n");
        f.window.reset(); // closes before the file system goes
    }

    void deleteRemovesEveryCopyAndHyphenatedItems()
    {
        PracticeFixture f;
        f.writeBank("ga \xCC\xEC \xA8\xC0\xA8\xBB b-a ga");
        frmMain *w = f.open();
        w->Command2_Click();
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("天 b-ɑ")) + "\r\n");
        w->cmdAfter_Click();
        QCOMPARE(w->caption(), QStringLiteral("b ɑ"));
        w->Command2_Click();
        QCOMPARE(f.texts().last(), deleteQuestion(QStringLiteral("b ɑ")));
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("天")) + "\r\n");
    }

    void twoCopiesKeepEachOthersDeletions()
    {
        // Two practice windows on one bank, as two copies of the program
        // would be: each deletion keeps what the other deleted before.
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口 山 水 火"));
        frmMain *first = f.open();
        frmMain second;
        second.show();
        second.cmdAfter_Click();
        second.cmdAfter_Click(); // 山
        second.Command2_Click();
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("人 口 水 火")) + "\r\n");

        first->cmdAfter_Click(); // 口, in a bank that still holds 山
        first->Command2_Click();
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("人 水 火")) + "\r\n");
        // The window now holds the bank as the file does.
        QCOMPARE(first->deck().text(), QStringLiteral("人 水 火"));
        QCOMPARE(first->caption(), QStringLiteral("水"));
        QCOMPARE(child<QPushButton>(first, "cmdSet")->text(), QStringLiteral("我的生字库 2/3"));

        // The other way round: first's deletion stays too.
        second.Command2_Click(); // 水, which second shows after its deletion
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("人 火")) + "\r\n");

        // A bank shuffled in memory and not changed on disk is written in
        // the window's order, as before.
        f.writeBankText(QStringLiteral("一 二 三"));
        first->loadBank();
        first->deck().setText(QStringLiteral("三 一 二"));
        first->showCurrentItem(); // 三
        first->Command2_Click();
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("一 二")) + "\r\n");
    }

    // The counter on the bank button is readable whole at the design size
    // for every count up to 999,999: its ink lies inside the button with a
    // clear margin on both sides, centred, and the figures stay legible.
    void bankButtonShowsTheWholeCounter()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口 手"));
        frmMain *w = f.open();
        const QRect design = child<QPushButton>(w, "cmdSet")->geometry();
        QCOMPARE(design, QRect(0, 0, ui::px(1815), ui::px(495)));
        QImage shortOne;
        for (int k = 1; k <= 6; ++k) {
            for (int j = 1; j <= k; ++j) {
                const int upper = int(std::pow(10, k)) - 1;
                const int index = j == k ? upper : int(std::pow(10, j - 1));
                child<QPushButton>(w, "cmdSet")->setText(deck::counterCaption(index, upper));
                const QImage shot = child<QPushButton>(w, "cmdSet")->grab().toImage().convertToFormat(QImage::Format_RGB32);
                int left = shot.width(), right = -1, top = shot.height(), bottom = -1;
                int counterTop = shot.height(), counterBottom = -1;
                for (int y = 0; y < shot.height(); ++y)
                    for (int x = 0; x < shot.width(); ++x) {
                        const QColor c = shot.pixelColor(x, y);
                        if (std::max({c.red(), c.green(), c.blue()}) >= 110)
                            continue;
                        left = std::min(left, x);
                        right = std::max(right, x);
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                        if (x > shot.width() * 3 / 4) {
                            counterTop = std::min(counterTop, y);
                            counterBottom = std::max(counterBottom, y);
                        }
                    }
                const QString what = child<QPushButton>(w, "cmdSet")->text();
                QVERIFY2(left >= 3 && right <= shot.width() - 4,
                         qPrintable(QStringLiteral("%1: ink from %2 to %3 of %4 px")
                                        .arg(what)
                                        .arg(left)
                                        .arg(right)
                                        .arg(shot.width())));
                QVERIFY2(
                    std::abs(left - (shot.width() - 1 - right)) <= 3,
                    qPrintable(QStringLiteral("%1: not centred (%2..%3)").arg(what).arg(left).arg(right)));
                QVERIFY2(top >= 2 && bottom <= shot.height() - 3, qPrintable(what));
                QVERIFY2(counterBottom - counterTop + 1 >= 6,
                         qPrintable(QStringLiteral("%1: figures %2 px high")
                                        .arg(what)
                                        .arg(counterBottom - counterTop + 1)));
                if (k == 1)
                    shortOne = shot;
            }
        }
        QCOMPARE(child<QPushButton>(w, "cmdSet")->geometry(), design);
        // A short count looks as any button's caption does.
        child<QPushButton>(w, "cmdSet")->setText(deck::counterCaption(9, 9));
        QPushButton plain(deck::counterCaption(9, 9), child<QWidget>(w, "Picture1"));
        plain.setFont(child<QPushButton>(w, "cmdSet")->font());
        plain.setPalette(child<QPushButton>(w, "cmdSet")->palette());
        plain.setAutoFillBackground(true);
        plain.setGeometry(design);
        QCOMPARE(plain.grab().toImage().convertToFormat(QImage::Format_RGB32), shortOne);
    }

    // A click on 朗读 or 每轮打乱一下 toggles the box and leaves the keyboard
    // where it was: the next Space reads the item, and Tab reaches both boxes.
    void checkBoxClicksKeepTheFocus()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口 手"));
        frmMain *w = f.open();
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "Text1"));
        QTest::mouseClick(child<QCheckBox>(w, "Check2"), Qt::LeftButton);
        QCOMPARE(child<QCheckBox>(w, "Check2")->checkState(), Qt::Checked);
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "Text1"));
        QTest::keyClick(w->windowHandle(), Qt::Key_Space);
        QCOMPARE(child<QCheckBox>(w, "Check2")->checkState(), Qt::Checked);

        w->Label2_Click(); // 每轮打乱一下 shows
        QTest::mouseClick(child<QCheckBox>(w, "Check1"), Qt::LeftButton);
        QCOMPARE(child<QCheckBox>(w, "Check1")->checkState(), Qt::Checked);
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "Text1"));

        QSet<QWidget *> reached;
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(w->windowHandle(), Qt::Key_Tab);
            reached.insert(QApplication::focusWidget());
        }
        QVERIFY(reached.contains(child<QCheckBox>(w, "Check1")));
        QVERIFY(reached.contains(child<QCheckBox>(w, "Check2")));
        w->Label2_Click();
    }

    void editorRoundTrip()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口 手"));
        frmMain *w = f.open();
        w->cmdAfter_Click();
        // Closed without saving: nothing said, the same item stays.
        closeEditorSoon();
        w->cmdSet_Click();
        QVERIFY(f.shown.isEmpty());
        QCOMPARE(w->caption(), QStringLiteral("口"));

        // The file changed while the editor was open: reloaded from item 1.
        closeEditorSoon([&f] { f.writeBankText(QStringLiteral("山 水")); });
        w->cmdSet_Click();
        QCOMPARE(f.texts(), QStringList {changed});
        QCOMPARE(w->caption(), QStringLiteral("山"));
        QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 1/2"));

        // An empty bank saved: the change message, then the no-bank message;
        // the old item stays on the card.
        f.shown.clear();
        closeEditorSoon([&f] { f.writeBankText(QString()); });
        w->cmdSet_Click();
        QCOMPARE(f.texts(), (QStringList {changed, noBankYet}));
        QCOMPARE(w->caption(), QStringLiteral("山"));
    }

    // Each key of Form_KeyDown (arrows, Page Up and Down, Space, V, D, Delete),
    // alone and with Shift, Ctrl or Alt, runs its handler once per press:
    // counted by the step it makes, the read-aloud requests and viewer
    // look-ups at a local server, and the questions asked.
    void everyKeyOncePerPress()
    {
        LocalServer server;
        clearSettings();
        saveSetting(QStringLiteral("services"), QStringLiteral("tts"),
                    server.base() + QStringLiteral("/tts/"));
        saveSetting(QStringLiteral("services"), QStringLiteral("dictionary"), server.base());
        PracticeFixture f;
        f.writeBankText(QStringLiteral("一 二 三 四 五 六 七 八 九 十"));
        frmMain *w = f.open();
        // A real box takes the activation with it; when it has closed, the
        // practice window waits for the window manager to give it back and
        // no control of the program has the focus. The answerer leaves it so.
        QWidget elsewhere;
        elsewhere.resize(120, 80);
        setMessageAnswerer([&](const QString &text, MessageIcon icon, MessageButtons buttons) {
            f.shown.append({text, icon, buttons});
            elsewhere.show();
            elsewhere.activateWindow();
            (void)QTest::qWaitForWindowActive(&elsewhere); // the checks after the answer tell
            return MessageAnswer::No;
        });
        const auto requestsTo = [&server](const QByteArray &prefix) {
            int n = 0;
            for (const LocalServer::Request &r : server.requests())
                n += r.target.startsWith(prefix) ? 1 : 0;
            return n;
        };

        const QList<Qt::KeyboardModifiers> states
            = {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier};
        for (const Qt::KeyboardModifiers mods : states) {
            const QByteArray state = QByteArray::number(int(mods), 16);
            for (const Qt::Key key :
                 {Qt::Key_Left, Qt::Key_Up, Qt::Key_PageUp, Qt::Key_Right, Qt::Key_Down, Qt::Key_PageDown}) {
                QVERIFY(activate(w));
                stepTo(w, 5);
                press(w, key, mods);
                const bool back = key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_PageUp;
                QVERIFY2(w->deck().index() == (back ? 4 : 6), state + " " + QByteArray::number(key, 16));
            }

            QVERIFY(activate(w));
            server.clear();
            press(w, Qt::Key_Space, mods);
            QVERIFY2(server.waitForRequests(1), state);
            QTest::qWait(150);
            QVERIFY2(requestsTo("/tts/") == 1, state);

            server.clear();
            press(w, Qt::Key_V, mods);
            // Alt+V is the button's access key, which clicks it a moment later.
            QTRY_VERIFY2(requestsTo("/zici/") >= 1, state);
            QTest::qWait(250);
            QVERIFY2(requestsTo("/zici/") == 1, state);
            QVERIFY(w->viewer());

            for (const Qt::Key key : {Qt::Key_D, Qt::Key_Delete}) {
                QVERIFY(activate(w));
                f.shown.clear();
                press(w, key, mods);
                QTRY_VERIFY2(!f.shown.isEmpty(), state);
                QTest::qWait(250);
                QVERIFY2(f.shown.size() == 1, state + " " + QByteArray::number(key, 16));
                QCOMPARE(f.shown[0].text, deleteQuestion(w->caption()));
            }
        }
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("一 二 三 四 五 六 七 八 九 十")) + "\r\n");
    }

    // The item and the loudspeaker lie beneath every other control, so each
    // control takes its own clicks whatever the size of the window and the
    // item. Labels lie beneath the controls that are windows of their own
    // (check boxes, text box, the button bar), as they are painted on the window.
    void itemLiesBeneathEveryControl()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("ɡù 天 ā"));
        frmMain *w = f.open();
        child<QLineEdit>(w, "Text2")->setText(QStringLiteral("60"));
        w->Label2_Click(); // the interval box, 秒 and 每轮打乱一下 show while autoplay runs
        const QList<QWidget *> windowed = {child<QCheckBox>(w, "Check2"),    child<QCheckBox>(w, "Check1"),   child<QLineEdit>(w, "Text2"),    child<QPushButton>(w, "cmdSet"),
                                           child<QPushButton>(w, "cmdBefore"), child<QPushButton>(w, "cmdAfter"), child<QPushButton>(w, "Command2"), child<QPushButton>(w, "Command1")};
        const QList<QWidget *> labels
            = {child<QLabel>(w, "Label3"), child<QLabel>(w, "Label4"), child<QLabel>(w, "lblShuoming"), child<QLabel>(w, "lblAbout"), child<QLabel>(w, "imgBofang"), child<QLabel>(w, "Label2")};
        const QList<QSize> sizes = {{830, 513}, {1000, 513}, {1500, 513}, {500, 300}, {1660, 1026}};
        for (const QSize &size : sizes) {
            w->resize(size);
            QTRY_COMPARE(w->size(), size);
            for (int item = 1; item <= 2; ++item) {
                stepTo(w, item);
                for (QWidget *c : windowed + labels) {
                    const QRect r(c->mapTo(w, QPoint(0, 0)), c->size());
                    for (const QPoint p :
                         {r.center(), r.topLeft() + QPoint(2, 2), r.topRight() + QPoint(-2, 2),
                          r.bottomLeft() + QPoint(2, -2), r.bottomRight() + QPoint(-2, -2)}) {
                        if (!w->rect().contains(p))
                            continue; // a bar wider than the window is cut off at its edges
                        QWidget *hit = w->childAt(p);
                        const bool ok = windowed.contains(c)
                            ? hit == c || c->isAncestorOf(hit)
                            : hit && hit != child<QLabel>(w, "lblChar") && hit != child<QLabel>(w, "Image3") && hit != child<QLabel>(w, "lblBack");
                        QVERIFY2(ok,
                                 qPrintable(QStringLiteral("%1x%2 %3: %4 at (%5,%6) is %7")
                                                .arg(size.width())
                                                .arg(size.height())
                                                .arg(w->caption(), c->metaObject()->className())
                                                .arg(p.x())
                                                .arg(p.y())
                                                .arg(hit ? hit->metaObject()->className() : "nothing")));
                    }
                }
                // The item is still above the card: a click on it reads it aloud.
                const QPoint onItem = child<QLabel>(w, "lblChar")->geometry().center();
                if (!child<QWidget>(w, "Picture1")->geometry().contains(onItem))
                    QCOMPARE(w->childAt(onItem), child<QLabel>(w, "lblChar"));
                QCOMPARE(w->childAt(child<QLabel>(w, "Image3")->geometry().center()), child<QLabel>(w, "Image3"));
            }
        }

        // Real clicks through the window at 1000 px with the tall pinyin item.
        w->resize(1000, 513);
        QTRY_COMPARE(w->width(), 1000);
        stepTo(w, 1);
        const auto clickAt = [w](QWidget *c, QPoint inside) {
            QTest::mouseClick(w->windowHandle(), Qt::LeftButton, Qt::NoModifier, c->mapTo(w, inside));
        };
        clickAt(child<QPushButton>(w, "cmdAfter"), child<QPushButton>(w, "cmdAfter")->rect().center());
        QCOMPARE(w->deck().index(), 2);
        const bool ticked = child<QCheckBox>(w, "Check2")->isChecked();
        clickAt(child<QCheckBox>(w, "Check2"), QPoint(8, child<QCheckBox>(w, "Check2")->height() - 3)); // the lower part of its box
        QCOMPARE(child<QCheckBox>(w, "Check2")->isChecked(), !ticked);
    }

    void viewerTakesTheKeyboardEachTime()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天 地"));
        frmMain *w = f.open();
        press(w, Qt::Key_V);
        frmPlay *v = w->viewer();
        QVERIFY(v);
        QVERIFY(QTest::qWaitForWindowActive(v));
        QCOMPARE(v->windowType(), Qt::Dialog); // kept above its owner
        QCOMPARE(v->windowHandle()->transientParent(), w->windowHandle());

        // Open already: V shows the new character and the box takes the keyboard.
        QVERIFY(activate(w));
        press(w, Qt::Key_Right);
        press(w, Qt::Key_V);
        QCOMPARE(w->viewer(), v);
        QVERIFY(QTest::qWaitForWindowActive(v));
        QCOMPARE(v->Text1->text(), QStringLiteral("地"));
        QCOMPARE(QApplication::focusWidget(), v->Text1);
        QCOMPARE(v->Text1->selectedText(), QStringLiteral("地"));
    }

    // Shown during the load, before the window is placed: centred on the screen.
    void startUpMessageCentredOnTheScreen()
    {
        PracticeFixture f;
        QDir(f.dir.path()).mkdir(bankFileName());
        setMessageAnswerer({});
        QRect frame;
        QString text;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll.stop();
            QTimer::singleShot(200, box, [&, box] {
                frame = box->frameGeometry();
                text = box->text();
                box->done(0);
            });
        });
        poll.start(20);
        frmMain *w = f.open(false);
        QCOMPARE(text, noBankYet);
        const QPoint screenCentre = w->screen()->availableGeometry().center();
        QVERIFY2(
            (frame.center() - screenCentre).manhattanLength() <= 2,
            qPrintable(
                QStringLiteral("box centred at (%1,%2)").arg(frame.center().x()).arg(frame.center().y())));
    }

    void wideCharactersStayWholeForTheViewer()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("𠀀字"));
        frmMain *w = f.open();
        QVERIFY(w->caption().startsWith(QStringLiteral("𠀀")));
        // Pressing V opens the viewer even for a character the card's test calls pinyin.
        press(w, Qt::Key_V);
        QVERIFY(w->viewer());
    }
};

LORVANTA_TEST_MAIN(PracticeWindow, QApplication)
#include "practice_window.moc"
