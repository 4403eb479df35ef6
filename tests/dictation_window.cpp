// The 听写 window with the practice window: what is spoken and when, what the
// card shows, the check grid's keys, the mistake book (also on a full disk),
// the record, and the practice window's deck of mistakes.
#include "practice/frmdictation.h"
#include "speech/speechengine.h"
#include "tests/support/fulldisk.h"
#include "tests/support/practicefixture.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>

#include <sys/stat.h>

// Records what it is asked to say; the test says when a sound has ended.
class FakeEngine : public QObject, public SpeechEngine
{
    Q_OBJECT
public:
    void speak(const QString &, const QString &caption, const QString &) override
    {
        spoken << caption;
        if (noDevice)
            emit silent();
    }
    void stop() override { ++stops; }
    QObject *signalSource() override { return this; }
    void end() { emit playbackFinished(QStringLiteral("local")); }

    QStringList spoken;
    int stops = 0;
    bool noDevice = false;
signals:
    void playbackStarted(const QString &source);
    void playbackFinished(const QString &source);
    void silent();
};

namespace {
void press(QWidget *w, Qt::Key key) { QTest::keyClick(w, key); }

frmDictation *openOn(const QString &bank, FakeEngine &engine, QWidget *owner = nullptr)
{
    DictationHost host;
    host.engine = [&engine] { return &engine; };
    auto *w = new frmDictation(owner, bank, 1, host);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    w->activateWindow();
    (void)QTest::qWaitForWindowActive(w);
    return w;
}

void setOptions(frmDictation *w, int repeats, int writeSeconds, bool manual)
{
    w->optBank->setChecked(true);
    w->cboRepeats->setCurrentIndex(repeats - 1);
    w->spnPause->setValue(0);
    w->spnWrite->setValue(writeSeconds);
    w->chkManual->setChecked(manual);
}
} // namespace

class DictationWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { clearSettings(); }

    void manualRunAndCheck()
    {
        PracticeFixture f;
        FakeEngine engine;
        QPointer<frmDictation> w = openOn(QStringLiteral("天 地 人 口 手"), engine);
        setOptions(w, 2, 8, true);
        w->cmdStart_Click();
        QCOMPARE(engine.spoken, QStringList {"天"});
        // The card names the position only.
        QCOMPARE(w->card->position(), QStringLiteral("第 1 个 / 共 5 个"));
        engine.end(); // the second reading follows the first at once (no pause)
        QTRY_COMPARE(engine.spoken, (QStringList {"天", "天"}));
        engine.end();
        QCOMPARE(w->schedule()->phase(), dictation::Schedule::Phase::WaitingForParent);
        // Manual: Space goes on, R reads again, Left goes back; autorepeat is ignored.
        press(w->card, Qt::Key_Space);
        QCOMPARE(engine.spoken.last(), QStringLiteral("地"));
        press(w->card, Qt::Key_R);
        QTest::sendKeyEvent(QTest::KeyAction::Press, w->card, Qt::Key_Right, QString(), Qt::NoModifier);
        QKeyEvent held(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(w->card, &held);
        QCOMPARE(engine.spoken, (QStringList {"天", "天", "地", "地", "人"}));
        press(w->card, Qt::Key_Left);
        QCOMPARE(engine.spoken.last(), QStringLiteral("地"));
        // Every card text, at every step, holds no glyph of any item.
        for (const QString &text : {w->card->position(), w->card->status(), w->card->note()})
            for (const QChar c : QStringLiteral("天地人口手"))
                QVERIFY2(!text.contains(c), qPrintable(text));
        // P pauses and cuts the sound off; P again reads the item again.
        const int stops = engine.stops;
        press(w->card, Qt::Key_P);
        QVERIFY(w->schedule()->paused());
        QVERIFY(engine.stops > stops);
        press(w->card, Qt::Key_P);
        QCOMPARE(engine.spoken.last(), QStringLiteral("地"));

        // Esc asks; No goes on, Yes ends the run with the items reached (3).
        f.answer = MessageAnswer::No;
        press(w->card, Qt::Key_Escape);
        QCOMPARE(f.texts().last(), QStringLiteral("要结束这次听写，开始对答案吗？"));
        QVERIFY(w->running());
        QVERIFY(!w->schedule()->paused());
        f.answer = MessageAnswer::Yes;
        press(w->card, Qt::Key_Escape);
        QVERIFY(!w->running());
        QCOMPARE(w->pages->currentIndex(), 2);
        QCOMPARE(w->grid->items(), (QStringList {"天", "地", "人"}));

        // The grid: a number marks, the arrows and Space mark, again unmarks.
        QCOMPARE(w->lblScore->text(), QStringLiteral("对 3 个，错 0 个"));
        QVERIFY(!w->cmdAddBook->isEnabled());
        press(w->grid, Qt::Key_3);
        press(w->grid, Qt::Key_Left);
        press(w->grid, Qt::Key_Space);
        press(w->grid, Qt::Key_1);
        press(w->grid, Qt::Key_1);
        QCOMPARE(w->grid->wrongItems(), (QStringList {"地", "人"}));
        QCOMPARE(w->lblScore->text(), QStringLiteral("对 1 个，错 2 个"));

        // The book: GBK, canonical, no repeats with what it held.
        const QString book = dictationwindow::mistakeBookPath();
        testsupport::writeBytes(book, QByteArray("\xB5\xD8 ga\r\n")); // 地 ga
        w->cmdAddBook_Click();
        QCOMPARE(testsupport::fileBytes(book), modPub::encodeGbk(QStringLiteral("地 ɡɑ 人")) + "\r\n");
        QVERIFY(w->lblStatus->text().contains(QStringLiteral("新加 1 个")));
        // A book that cannot be read as text is left alone.
        QFile::remove(book);
        QDir().mkdir(book);
        const int boxes = int(f.shown.size());
        w->cmdAddBook_Click();
        QCOMPARE(f.shown.size(), boxes + 1);
        QVERIFY(QFileInfo(book).isDir());
        QDir().rmdir(book);
        // A FIFO neither blocks the window nor is replaced.
        QVERIFY(::mkfifo(QFile::encodeName(book).constData(), 0600) == 0);
        w->cmdAddBook_Click();
        QCOMPARE(f.shown.size(), boxes + 2);
        QVERIFY(QFileInfo(book).exists() && !QFileInfo(book).isFile());
        QFile::remove(book);

        // The record: one line for the run, replaced when the marks change.
        QVERIFY(w->saveRecord());
        w->grid->toggle(2);
        w->close();
        QTRY_VERIFY(!w);
        const QString record = modPub::readTextFile(dictationwindow::recordPath());
        QCOMPARE(record.count(QStringLiteral("\r\n")), 0);
        const std::optional<dictation::Record> r = dictation::parseRecordLine(record);
        QVERIFY(r);
        QCOMPARE(r->total, 3);
        QCOMPARE(r->wrong, QStringList {"地"});
    }

    void timedRunWithoutSound()
    {
        PracticeFixture f;
        FakeEngine engine;
        engine.noDevice = true;
        QPointer<frmDictation> w = openOn(QStringLiteral("天 地 b-a"), engine);
        setOptions(w, 1, 1, false);
        w->chkPinyin->setChecked(false);
        QCOMPARE(w->lblCount->text(), QStringLiteral("共 2 个"));
        w->cmdStart_Click();
        // Nothing can be heard: the card says so, and the writing time still runs.
        QVERIFY(w->card->note().contains(QStringLiteral("无法播放声音")));
        QCOMPARE(w->card->status(), QStringLiteral("请写下来"));
        QTRY_COMPARE_WITH_TIMEOUT(engine.spoken, (QStringList {"天", "地"}), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(w->pages->currentIndex(), 2, 3000);
        QCOMPARE(w->grid->items(), (QStringList {"天", "地"}));
        // The options were stored.
        QCOMPARE(dictation::Settings::load(), w->settings());
        w->close();
    }

    void mistakesOnAFullDisk()
    {
        testsupport::FullDisk disk;
        if (!disk.mounted())
            QSKIP("needs a tmpfs of its own (root)");
        PracticeFixture f;
        modPub::setBankDirOverride(disk.path());
        const QString book = dictationwindow::mistakeBookPath();
        testsupport::writeBytes(book, modPub::encodeGbk(QStringLiteral("天")) + "\r\n");
        FakeEngine engine;
        QPointer<frmDictation> w = openOn(QStringLiteral("人 口"), engine);
        setOptions(w, 1, 8, true);
        w->cmdStart_Click();
        w->cmdAnswers_Click();
        w->grid->toggle(0);
        QVERIFY(disk.fill());
        w->cmdAddBook_Click();
        QCOMPARE(testsupport::fileBytes(book), modPub::encodeGbk(QStringLiteral("天")) + "\r\n");
        QVERIFY(f.texts().last().contains(QStringLiteral("错字本没有保存成功")));
        // The record cannot be written either, and says so.
        QVERIFY(!w->saveRecord());
        QFile::remove(disk.filler());
        QVERIFY(w->saveRecord());
        w->close();
        modPub::setBankDirOverride(f.dir.path());
    }

    void practiceWindowDecks()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天 地 人"));
        frmMain *m = f.open();
        const QByteArray bank = f.bankBytes();
        // Ctrl+T: a modal child of the practice window; the item is hidden meanwhile.
        QTest::keyClick(m->windowHandle(), Qt::Key_T, Qt::ControlModifier);
        QPointer<frmDictation> w = m->findChild<frmDictation *>();
        QVERIFY(w);
        QCOMPARE(w->windowModality(), Qt::WindowModal);
        QVERIFY(w->isWindow());
        QVERIFY(m->lblChar->isHidden());
        w->close();
        QTRY_VERIFY(!w);
        QVERIFY(!m->lblChar->isHidden());

        // "练习错字": the deck of mistakes, named on the counter; D takes an
        // item off it and leaves the bank file alone.
        m->practiseDeck({"地", "人"}, QStringLiteral("听写错字"), QString());
        QCOMPARE(m->cmdSet->text(), QStringLiteral("听写错字 1/2"));
        m->Command2_Click();
        QVERIFY(f.texts().last().contains(QStringLiteral("将从这次听写的错字中删除")));
        QCOMPARE(m->bankText(), QStringLiteral("人"));
        QCOMPARE(f.bankBytes(), bank);

        // "练习错字本": deleting takes the item off the book, as the book is
        // on disk now (not as it was loaded).
        const QString book = dictationwindow::mistakeBookPath();
        modPub::writeTextFile(book, QStringLiteral("口 手"), true);
        m->practiseMistakeBook();
        QCOMPARE(m->cmdSet->text(), QStringLiteral("错字本 1/2"));
        modPub::writeTextFile(book, QStringLiteral("口 手 目"), true);
        m->Command2_Click();
        QCOMPARE(modPub::readTextFile(book), QStringLiteral("手 目"));
        QCOMPARE(f.bankBytes(), bank);
        // Back to the bank as after the editor.
        m->loadBank();
        QCOMPARE(m->cmdSet->text(), QStringLiteral("我的生字库 1/3"));
        // An empty book says so and keeps the deck.
        QFile::remove(book);
        m->practiseMistakeBook();
        QVERIFY(f.texts().last().contains(QStringLiteral("错字本里还没有字")));
        QCOMPARE(m->deckLabel(), QString());

        // A run with the real engine, left going when the practice window
        // goes; the engine is older than the dictation window, so it goes first.
        QVERIFY(m->speechEngine());
        m->openDictation();
        m->findChild<frmDictation *>()->cmdStart_Click();
        QVERIFY(m->findChild<frmDictation *>()->running());
        f.window.reset();
    }
};

LORVANTA_TEST_MAIN(DictationWindow, QApplication)
#include "dictation_window.moc"
