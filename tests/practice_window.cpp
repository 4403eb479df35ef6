// The practice window driven as a pupil would: start-up, stepping, keys,
// layout at several sizes, deleting items and reloading after the editor.
#include "rules/layout.h"
#include "tests/support/practicefixture.h"

#include <QApplication>
#include <QFontInfo>
#include <QTimer>

using namespace modPub;

namespace {
const QString noBankYet = QStringLiteral("还没有字库，点击“我的生字库”按钮进行输入");
const QString bankEmpty = QStringLiteral("当前生字库内容为空，请点击“我的生字库”输入生字");
const QString changed = QStringLiteral("生字库发生变化，系统自动重新载入");

QString deleteQuestion(const QString &caption)
{
    return QStringLiteral("确定要删除【") + caption + QStringLiteral("】吗？\r\n熟练认识了点“是”将从生字库中删除“")
        + caption + QStringLiteral("”字，未熟练认识点“否”");
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
        QCOMPARE(w->lblChar->text(), QStringLiteral("ā"));
        QCOMPARE(w->cmdSet->text(), QStringLiteral("我的生字库 1/24"));
        QVERIFY(!w->cmdBefore->isEnabled());
        QVERIFY(w->cmdAfter->isEnabled());
        QVERIFY(!w->Command1->isEnabled());
        QCOMPARE(w->lblChar->font().family(), QStringLiteral("宋体"));
        QVERIFY(f.shown.isEmpty());
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
        QCOMPARE(w->cmdSet->text(), QStringLiteral("我的生字库 1/4"));
        QCOMPARE(w->caption(), QString());
        QCOMPARE(w->baseFontSize(), 243);
    }

    void badBankFilesNeverStopTheStart()
    {
        {   // A folder where the file should be: not replaced, the pupil is told.
            PracticeFixture f;
            QDir(f.dir.path()).mkdir(bankFileName());
            frmMain *w = f.open();
            QVERIFY(QFileInfo(f.bankPath()).isDir());
            QCOMPARE(f.texts(), QStringList{noBankYet});
            QCOMPARE(w->caption(), QString());
        }
        {   // Binary garbage and broken GBK are shown as whatever they decode to.
            PracticeFixture f;
            QByteArray garbage;
            for (int i = 0; i < 2000; ++i)
                garbage.append(char((i * 131 + 7) & 0xFF));
            f.writeBank(garbage);
            frmMain *w = f.open();
            QCOMPARE(f.bankBytes(), garbage); // never rewritten
            QVERIFY(w->curIndex() >= 1);
        }
        {   // One enormous item: kept whole in memory, the card shows its beginning.
            PracticeFixture f;
            f.writeBank(QByteArray(4 * 1024 * 1024, 'b'));
            frmMain *w = f.open();
            QCOMPARE(w->caption().size(), 4 * 1024 * 1024);
            QVERIFY(w->lblChar->text().size() < 2000);
            QCOMPARE(w->baseFontSize(), 40);
        }
    }

    void steppingWithButtonsAndKeys()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口 手"));
        frmMain *w = f.open();
        QCOMPARE(w->caption(), QStringLiteral("人"));
        QCOMPARE(w->lblChar->font().family(), QStringLiteral("楷体"));
        QCOMPARE(w->baseFontSize(), 240);
        QVERIFY(w->Command1->isEnabled());
        QVERIFY(!w->cmdBefore->isEnabled() && w->cmdAfter->isEnabled());
        QCOMPARE(w->cmdSet->text(), QStringLiteral("我的生字库 1/3"));

        // Keys reach the window first, whichever control has the focus.
        QCOMPARE(QApplication::focusWidget(), w->Text1);
        QTest::keyClick(w->Text1, Qt::Key_Right);
        QTest::keyClick(w->Text1, Qt::Key_Right);
        QCOMPARE(w->caption(), QStringLiteral("手"));
        QVERIFY(!w->cmdAfter->isEnabled());
        QTest::keyClick(w->Text1, Qt::Key_Right);
        QCOMPARE(w->curIndex(), 3); // no wrapping by hand
        QTest::keyClick(w->Text1, Qt::Key_PageUp);
        QCOMPARE(w->curIndex(), 2);
        QTest::keyClick(w->Text1, Qt::Key_Up, Qt::ControlModifier); // shift state ignored
        QCOMPARE(w->curIndex(), 1);
        QTest::keyClick(w->Text1, Qt::Key_Left);
        QCOMPARE(w->curIndex(), 1);
        QTest::keyClick(w->Text1, Qt::Key_Down);
        QTest::keyClick(w->Text1, Qt::Key_PageDown);
        QCOMPARE(w->caption(), QStringLiteral("手"));
        QCOMPARE(QApplication::focusWidget(), w->Text1);

        QTest::mouseClick(w->cmdBefore, Qt::LeftButton);
        QCOMPARE(w->caption(), QStringLiteral("口"));
        QCOMPARE(QApplication::focusWidget(), w->Text1);
        QCOMPARE(w->cmdSet->text(), QStringLiteral("我的生字库 2/3"));
    }

    void asciiLettersHyphensAndBlankItems()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("ga b-a"));
        frmMain *w = f.open();
        QCOMPARE(w->caption(), QStringLiteral("ɡɑ"));
        QCOMPARE(w->tag(), QStringLiteral("ɡɑ"));
        QVERIFY(!w->Command1->isEnabled());
        w->cmdAfter_Click();
        QCOMPARE(w->caption(), QStringLiteral("b ɑ"));
        QCOMPARE(w->tag(), QStringLiteral("b-ɑ"));
        QCOMPARE(w->baseFontSize(), 204);
        QVERIFY(!w->Command1->isEnabled());

        PracticeFixture g;
        g.writeBankText(QStringLiteral("a  b"));
        w = g.open();
        w->cmdAfter_Click();
        QCOMPARE(w->caption(), QString());
        QCOMPARE(w->lblChar->font().family(), QStringLiteral("宋体"));
        QCOMPARE(w->baseFontSize(), 243);
        QCOMPARE(w->cmdSet->text(), QStringLiteral("我的生字库 2/3"));

        PracticeFixture h;
        h.writeBankText(QStringLiteral("a字"));
        w = h.open();
        QCOMPARE(w->lblChar->font().family(), QStringLiteral("楷体"));
        QCOMPARE(w->baseFontSize(), 210);
        QVERIFY(w->Command1->isEnabled());
    }

    void fontsResolveToChineseFaces()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天 ǖ"));
        frmMain *w = f.open();
        const QString kai = QFontInfo(w->lblChar->font()).family();
        QVERIFY2(kai.contains(QStringLiteral("Kai")) || kai.contains(QStringLiteral("WenKai")), qPrintable(kai));
        w->cmdAfter_Click();
        const QFontMetrics m(w->lblChar->font());
        for (const QChar c : QStringLiteral("ɑɡǖǘǚǜāóěì"))
            QVERIFY2(m.inFont(c), qPrintable(QString(c)));
    }

    void layoutAtDesignSize()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天"));
        frmMain *w = f.open();
        QCOMPARE(w->size(), QSize(830, 513));
        QCOMPARE(w->refHeight(), 6895);
        QCOMPARE(w->refWidth(), 12450);
        QCOMPARE(w->lblBack->geometry(), QRect(0, 40, 830, 400));
        QCOMPARE(w->Picture1->geometry(), QRect(ui::px(1837), ui::px(6900), ui::px(8775), ui::px(495)));
        QCOMPARE(w->Image3->pos(), QPoint(ui::px(6120), ui::px(6650)));
        QCOMPARE(w->lblAbout->x(), ui::px(12450 - ui::widthOf(w->lblAbout) - 135));
        QCOMPARE(w->lblShuoming->x(),
                 ui::px(12450 - ui::widthOf(w->lblShuoming) - ui::widthOf(w->lblAbout) - 300));
        // The item is centred on the card, above the button bar.
        QCOMPARE(w->lblChar->font().pointSizeF(), 240.0);
        QCOMPARE(w->lblChar->x(), ui::px(ui::halfOf(12450 - ui::widthOf(w->lblChar))));
        QCOMPARE(w->lblChar->y(), ui::px(ui::halfOf(7695 - ui::heightOf(w->lblChar) - 495)));
        QCOMPARE(w->Text1->x(), ui::px(-60000));
    }

    void layoutFollowsResizes()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天"));
        frmMain *w = f.open();
        w->resize(415, 513); // half the width
        QCOMPARE(w->lblChar->font().pointSizeF(), 120.0);
        QCOMPARE(w->lblBack->width(), 415);
        w->resize(830, 230); // only lower: the height ratio wins
        QTRY_COMPARE(w->height(), 230);
        // The ratio uses the outer height, frame included.
        const double outer = ui::twips(w->frameGeometry().height());
        QVERIFY2(qAbs(w->lblChar->font().pointSizeF() - 240.0 * outer / 6895) < 0.01,
                 qPrintable(QString::number(w->lblChar->font().pointSizeF())));
        w->resize(1660, 1026); // twice the width, a little more than twice the height
        QCOMPARE(w->lblChar->font().pointSizeF(), 480.0);

        // Too low for the card: only its width follows, nothing else moves.
        w->resize(830, 513);
        const QPoint bar = w->Picture1->pos();
        const QPoint item = w->lblChar->pos();
        w->resize(600, 100);
        QCOMPARE(w->lblBack->width(), 600);
        QCOMPARE(w->Picture1->pos(), bar);
        QCOMPARE(w->lblChar->pos(), item);
        // No width at all: the item keeps a usable size.
        w->resize(0, 513);
        w->showCurrentItem();
        QVERIFY(w->lblChar->font().pointSizeF() >= 1.0);
    }

    void deleteItems()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口 手"));
        frmMain *w = f.open();
        w->cmdAfter_Click();
        f.answer = MessageAnswer::No;
        QTest::keyClick(w->Text1, Qt::Key_D);
        QCOMPARE(f.texts(), QStringList{deleteQuestion(QStringLiteral("口"))});
        QCOMPARE(f.shown[0].icon, MessageIcon::Information);
        QCOMPARE(f.shown[0].buttons, MessageButtons::YesNo);
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("人 口 手")) + "\r\n");
        QCOMPARE(QApplication::focusWidget(), w->Text1);

        f.answer = MessageAnswer::Yes;
        QTest::keyClick(w->Text1, Qt::Key_Delete);
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("人 手")) + "\r\n");
        QCOMPARE(w->caption(), QStringLiteral("手"));
        QCOMPARE(w->cmdSet->text(), QStringLiteral("我的生字库 2/2"));
        // The last item: the display moves to the new last one.
        w->Command2_Click();
        QCOMPARE(w->caption(), QStringLiteral("人"));
        QCOMPARE(w->cmdSet->text(), QStringLiteral("我的生字库 1/1"));
        // The only item: the file keeps just CR LF and the pupil is told.
        f.shown.clear();
        w->Command2_Click();
        QCOMPARE(f.bankBytes(), QByteArray("\r\n"));
        QCOMPARE(w->caption(), QString());
        QCOMPARE(w->lblChar->text(), QString());
        QCOMPARE(f.texts(), (QStringList{deleteQuestion(QStringLiteral("人")), bankEmpty}));
        QVERIFY(!w->cmdBefore->isEnabled() && !w->cmdAfter->isEnabled());
        QCOMPARE(w->cmdSet->text(), QStringLiteral("我的生字库 1/1"));
        // Nothing shown: deleting explains itself.
        f.shown.clear();
        w->Command2_Click();
        QCOMPARE(f.texts(), QStringList{QStringLiteral("当前没有任何文字显示无法进行删除操作，请去生字库添加内容吧")});
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
        QCOMPARE(f.texts(), QStringList{changed});
        QCOMPARE(w->caption(), QStringLiteral("山"));
        QCOMPARE(w->cmdSet->text(), QStringLiteral("我的生字库 1/2"));

        // An empty bank saved: the change message, then the no-bank message;
        // the old item stays on the card.
        f.shown.clear();
        closeEditorSoon([&f] { f.writeBankText(QString()); });
        w->cmdSet_Click();
        QCOMPARE(f.texts(), (QStringList{changed, noBankYet}));
        QCOMPARE(w->caption(), QStringLiteral("山"));
    }

    void wideCharactersStayWholeForTheViewer()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("𠀀字"));
        frmMain *w = f.open();
        QVERIFY(w->caption().startsWith(QStringLiteral("𠀀")));
        // Pressing V opens the viewer even for a character the card's test calls pinyin.
        QTest::keyClick(w->Text1, Qt::Key_V);
        QVERIFY(w->viewer());
    }
};

LORVANTA_TEST_MAIN(PracticeWindow, QApplication)
#include "practice_window.moc"
