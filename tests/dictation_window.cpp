// The 听写 window with the practice window: what is spoken and when, what the
// card shows, the check grid's keys and size, the mistake book (also on a
// full disk), the record, and the practice window's deck of mistakes.
#include "core/clock.h"
#include "core/network.h"
#include "core/settings.h"
#include "dictation/checkgrid.h"
#include "dictation/dictationcard.h"
#include "dictation/dictationfiles.h"
#include "dictation/frmdictation.h"
#include "resources/texts.h"
#include "rules/readaloud.h"
#include "sheet/sheet.h"
#include "speech/speechengine.h"
#include "tests/support/fulldisk.h"
#include "tests/support/practicefixture.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>

// Records what it is asked to say; the test says when a sound has ended.
class FakeEngine : public QObject, public SpeechEngine
{
    Q_OBJECT
public:
    void speak(const QString &request, const QString &caption, const QString &) override
    {
        spoken << caption;
        requests << request;
        if (noDevice)
            emit silent();
    }
    void stop() override { ++stops; }
    QObject *signalSource() override { return this; }
    void end() { emit playbackFinished(QStringLiteral("local")); }

    QStringList spoken;
    QStringList requests;
    int stops = 0;
    bool noDevice = false;
signals:
    void playbackStarted(const QString &source);
    void playbackFinished(const QString &source);
    void silent();
};

// The practice window's part, played by the test.
class FakeHost : public DictationHost
{
public:
    SpeechEngine *speechEngine() override { return &engine; }
    QString syllableTable() const override { return resources::syllableTable(); }
    void practise(const QStringList &items) override { practised = items; }
    void openCopybook(QWidget *, const QStringList &items, const QString &label) override
    {
        copybook = items.join(u' ') + u'|' + label;
    }
    void printPages(QWidget *, sheet::Pages &pages, const QString &) override { printed = pages.pageCount(); }

    FakeEngine engine;
    QStringList practised;
    QString copybook;
    int printed = 0;
};

namespace {
void press(QWidget *w, Qt::Key key) { QTest::keyClick(w, key); }

using testsupport::child;

frmDictation *openOn(const QString &bank, FakeHost &host, QWidget *owner = nullptr)
{
    auto *w = new frmDictation(owner, host, bank, 1);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    w->activateWindow();
    (void)QTest::qWaitForWindowActive(w);
    return w;
}

void setOptions(frmDictation *w, int repeats, int writeSeconds, bool manual)
{
    dictation::Settings s = w->run().settings();
    s.order = dictation::Order::InOrder;
    s.repeats = repeats;
    s.pauseSeconds = 1;
    s.writeSeconds = writeSeconds;
    s.manual = manual;
    s.words = dictation::WordMode::CharacterOnly;
    w->run().setSettings(s);
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
        FakeHost host;
        FakeEngine &engine = host.engine;
        QPointer<frmDictation> w = openOn(QStringLiteral("天 地 人 口 手"), host);
        setOptions(w, 2, 8, true);
        auto *card = child<DictationCard>(w, "card");
        auto *grid = child<CheckGrid>(w, "grid");
        child<QPushButton>(w, "cmdStart")->click();
        QCOMPARE(engine.spoken, QStringList {"天"});
        // The card names the position only.
        QCOMPARE(card->position(), QStringLiteral("第 1 个 / 共 5 个"));
        engine.end(); // the second reading follows the first after the pause
        QTRY_COMPARE_WITH_TIMEOUT(engine.spoken, (QStringList {"天", "天"}), 3000);
        engine.end();
        QCOMPARE(w->run().schedule()->phase(), dictation::Schedule::Phase::WaitingForParent);
        // Manual: Space goes on, R reads again, Left goes back; autorepeat is ignored.
        press(card, Qt::Key_Space);
        QCOMPARE(engine.spoken.last(), QStringLiteral("地"));
        press(card, Qt::Key_R);
        QTest::sendKeyEvent(QTest::KeyAction::Press, card, Qt::Key_Right, QString(), Qt::NoModifier);
        QKeyEvent held(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(card, &held);
        QCOMPARE(engine.spoken, (QStringList {"天", "天", "地", "地", "人"}));
        press(card, Qt::Key_Left);
        QCOMPARE(engine.spoken.last(), QStringLiteral("地"));
        // Every card text, at every step, holds no glyph of any item.
        for (const QString &text : {card->position(), card->status(), card->note()})
            for (const QChar c : QStringLiteral("天地人口手"))
                QVERIFY2(!text.contains(c), qPrintable(text));
        // P pauses and cuts the sound off; P again reads the item again.
        const int stops = engine.stops;
        press(card, Qt::Key_P);
        QVERIFY(w->run().schedule()->paused());
        QVERIFY(engine.stops > stops);
        press(card, Qt::Key_P);
        QCOMPARE(engine.spoken.last(), QStringLiteral("地"));

        // Esc asks; No goes on, Yes ends the run with the items reached (3).
        f.answer = MessageAnswer::No;
        press(card, Qt::Key_Escape);
        QCOMPARE(f.texts().last(), QStringLiteral("要结束这次听写，开始对答案吗？"));
        QVERIFY(w->run().running());
        QVERIFY(!w->run().schedule()->paused());
        f.answer = MessageAnswer::Yes;
        press(card, Qt::Key_Escape);
        QVERIFY(!w->run().running());
        QCOMPARE(child<QStackedWidget>(w, "pages")->currentIndex(), 2);
        QCOMPARE(grid->items(), (QStringList {"天", "地", "人"}));

        // The grid: a number marks, the arrows and Space mark, again unmarks.
        auto *score = child<QLabel>(w, "lblScore");
        QCOMPARE(score->text(), QStringLiteral("对 3 个，错 0 个"));
        QVERIFY(!child<QPushButton>(w, "cmdAddBook")->isEnabled());
        press(grid, Qt::Key_3);
        press(grid, Qt::Key_Left);
        press(grid, Qt::Key_Space);
        press(grid, Qt::Key_1);
        press(grid, Qt::Key_1);
        QCOMPARE(w->run().check().wrongItems(), (QStringList {"地", "人"}));
        QCOMPARE(score->text(), QStringLiteral("对 1 个，错 2 个"));

        // The book: GBK, canonical, no repeats with what it held.
        const QString book = dictationfiles::mistakeBookPath();
        testsupport::writeBytes(book, QByteArray("\xB5\xD8 ga\r\n")); // 地 ga
        child<QPushButton>(w, "cmdAddBook")->click();
        QCOMPARE(testsupport::fileBytes(book), modPub::encodeGbk(QStringLiteral("地 ɡɑ 人")) + "\r\n");
        QVERIFY(child<QLabel>(w, "lblStatus")->text().contains(QStringLiteral("新加 1 个")));
        // A book that cannot be read as text is left alone.
        QFile::remove(book);
        QDir().mkdir(book);
        const int boxes = int(f.shown.size());
        child<QPushButton>(w, "cmdAddBook")->click();
        QCOMPARE(f.shown.size(), boxes + 1);
        QVERIFY(QFileInfo(book).isDir());
        QDir().rmdir(book);
        // A FIFO neither blocks the window nor is replaced.
        QVERIFY(::mkfifo(QFile::encodeName(book).constData(), 0600) == 0);
        child<QPushButton>(w, "cmdAddBook")->click();
        QCOMPARE(f.shown.size(), boxes + 2);
        QVERIFY(QFileInfo(book).exists() && !QFileInfo(book).isFile());
        QFile::remove(book);

        // The record: one line for the run, replaced when the marks change.
        QCOMPARE(w->run().saveRecord(), QString());
        w->run().toggleMark(2);
        w->close();
        QTRY_VERIFY(!w);
        const QString record = modPub::readTextFile(dictationfiles::recordPath());
        QCOMPARE(record.count(QStringLiteral("\r\n")), 0);
        const std::optional<dictation::Record> r = dictation::parseRecordLine(record);
        QVERIFY(r);
        QCOMPARE(r->total, 3);
        QCOMPARE(r->wrong, QStringList {"地"});
    }

    void lessonChoices()
    {
        // The controller alone: what a run holds, the parent's words, the check's result.
        PracticeFixture f;
        FakeHost host;
        DictationRun run(host, QStringLiteral("天 地 5 人 口 手"), 1);
        dictation::Settings s = run.settings();
        s.words = dictation::WordMode::CharacterAndWord;
        run.setSettings(s);
        QCOMPARE(run.items(), (QStringList {"天", "地", "人", "口", "手"}));
        QCOMPARE(run.skippedText(), QStringLiteral("1 个读不出来，不听写：5"));
        s.order = dictation::Order::Last;
        s.lastCount = 3;
        run.setSettings(s);
        QCOMPARE(run.items(), (QStringList {"人", "口", "手"}));
        QCOMPARE(run.countText(), QStringLiteral("共 3 个"));
        s.order = dictation::Order::Picked;
        run.setSettings(s);
        run.setPicked(QStringLiteral("地"), false);
        run.setPicked(QStringLiteral("口"), false);
        QCOMPARE(run.items(), (QStringList {"天", "人", "手"}));

        // Own words: kept in GBK beside the bank, read back by the next run;
        // the list's own word or none takes the line away again.
        QVERIFY(!run.setOwnWord(u'天', QStringLiteral("地上")).isEmpty());
        QCOMPARE(run.setOwnWord(u'天', QStringLiteral("天上")), QString());
        const QString words = dictationfiles::ownWordsPath();
        QCOMPARE(testsupport::fileBytes(words), modPub::encodeGbk(QStringLiteral("天 天上")) + "\r\n");
        testsupport::writeBytes(words, modPub::encodeGbk(QStringLiteral("天 天上\r\n人人\r\n手 小手\r\n")));
        DictationRun next(host, QStringLiteral("天 人 手"), 1);
        QCOMPARE(next.words().wordFor(u'天'), QStringLiteral("天上"));
        QCOMPARE(next.badWordLines(), QStringList {"人人"});
        QCOMPARE(next.setOwnWord(u'手', QString()), QString());
        QCOMPARE(modPub::readTextFile(words), QStringLiteral("天 天上\r\n人人"));

        // The check's result, with the time from the program's clock.
        Clock::setMoment(QDateTime(QDate(2026, 12, 9), QTime(19, 30, 41)));
        dictation::Settings manual = next.settings();
        manual.order = dictation::Order::InOrder;
        manual.manual = true;
        next.setSettings(manual);
        // With a speech service: the word's request; none for a final only the local voice says.
        modPub::saveSetting(QStringLiteral("services"), QStringLiteral("tts"),
                            QStringLiteral("http://127.0.0.1:9/tts/"));
        QVERIFY(next.start());
        QCOMPARE(host.engine.spoken, QStringList {"天，天上的天"});
        QCOMPARE(host.engine.requests.last(),
                 readaloud::ttsRequest(QStringLiteral("http://127.0.0.1:9/tts/"),
                                       modPub::urlEncode(QStringLiteral("天，天上的天"))));
        next.finish();
        DictationRun finals(host, QStringLiteral("inɡ"), 1);
        QVERIFY(finals.start());
        QCOMPARE(host.engine.spoken.last(), QStringLiteral("ing"));
        QCOMPARE(host.engine.requests.last(), QString());
        QSignalSpy done(&next, &DictationRun::checkDone);
        next.toggleMark(0);
        QCOMPARE(next.saveRecord(), QString());
        QCOMPARE(done.size(), 1);
        QCOMPARE(next.check().wrongItems(), QStringList {"天"});
        QCOMPARE(next.check().started, QDateTime(QDate(2026, 12, 9), QTime(19, 30, 41)));
        QVERIFY(modPub::readTextFile(dictationfiles::recordPath())
                    .startsWith(QStringLiteral("2026-12-09 19:30 共 1 个")));
        Clock::setMoment(QDateTime());
    }

    void gridFitsTheWindow()
    {
        PracticeFixture f;
        FakeHost host;
        QStringList bank;
        for (const QChar c : QStringLiteral("一二三上口目耳手日田禾火虫云山八十了子人大"))
            bank << c;
        QPointer<frmDictation> w = openOn(bank.join(u' '), host);
        w->run().start();
        w->run().finish();
        auto *grid = child<CheckGrid>(w, "grid");
        auto *area = child<QScrollArea>(w, "gridArea");
        QCOMPARE(grid->items().size(), 1); // the items reached
        w->run().again();
        setOptions(w, 1, 1, true);
        w->run().start();
        for (int i = 0; i < 21; ++i)
            w->run().forward();
        QTRY_COMPARE(grid->items().size(), 21);
        // Three rows of seven without scrolling, at the first size and in a wide, low window.
        for (const QSize size : {QSize(640, 480), QSize(1200, 480)}) {
            w->resize(size);
            QTRY_VERIFY(3 * (grid->tileSide() + 8) + 8 <= area->viewport()->height());
            QVERIFY(7 * (grid->tileSide() + 8) + 8 <= area->viewport()->width());
        }
        // Larger, the tiles grow: at 1600 × 900 the items are at least 60 pt.
        w->resize(1600, 900);
        QTRY_VERIFY2(grid->itemPixels() * 72 / 96 >= 60, qPrintable(QString::number(grid->itemPixels())));
        // The copybook of the mistakes says what it holds.
        w->run().toggleMark(2);
        w->run().toggleMark(5);
        child<QPushButton>(w, "cmdSheet")->click();
        QCOMPARE(host.copybook, QStringLiteral("三 目|听写错字（2 个）"));
        w->close();
    }

    void timedRunWithoutSound()
    {
        PracticeFixture f;
        FakeHost host;
        FakeEngine &engine = host.engine;
        engine.noDevice = true;
        QPointer<frmDictation> w = openOn(QStringLiteral("天 地 b-a"), host);
        setOptions(w, 1, 1, false);
        auto *card = child<DictationCard>(w, "card");
        child<QCheckBox>(w, "chkPinyin")->setChecked(false);
        QTRY_COMPARE(child<QLabel>(w, "lblCount")->text(), QStringLiteral("共 2 个"));
        w->run().start();
        // Nothing can be heard: the card says so, and the writing time still runs.
        QVERIFY(card->note().contains(QStringLiteral("无法播放声音")));
        QCOMPARE(card->status(), QStringLiteral("请写下来"));
        QTRY_COMPARE_WITH_TIMEOUT(engine.spoken, (QStringList {"天", "地"}), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(child<QStackedWidget>(w, "pages")->currentIndex(), 2, 3000);
        QCOMPARE(w->run().check().items, (QStringList {"天", "地"}));
        // The options were stored.
        QCOMPARE(dictation::Settings::load(), w->run().settings());
        w->close();
    }

    void mistakesOnAFullDisk()
    {
        testsupport::FullDisk disk;
        if (!disk.mounted())
            QSKIP("needs a tmpfs of its own (root)");
        PracticeFixture f;
        modPub::setBankDirOverride(disk.path());
        const QString book = dictationfiles::mistakeBookPath();
        testsupport::writeBytes(book, modPub::encodeGbk(QStringLiteral("天")) + "\r\n");
        FakeHost host;
        QPointer<frmDictation> w = openOn(QStringLiteral("人 口"), host);
        setOptions(w, 1, 8, true);
        w->run().start();
        w->run().finish();
        w->run().toggleMark(0);
        QVERIFY(disk.fill());
        child<QPushButton>(w, "cmdAddBook")->click();
        QCOMPARE(testsupport::fileBytes(book), modPub::encodeGbk(QStringLiteral("天")) + "\r\n");
        QVERIFY(f.texts().last().contains(QStringLiteral("错字本没有保存成功")));
        // The record cannot be written either, and says so.
        QVERIFY(w->run().saveRecord().contains(QStringLiteral("听写记录没有保存成功")));
        QFile::remove(disk.filler());
        QCOMPARE(w->run().saveRecord(), QString());
        w->close();
        modPub::setBankDirOverride(f.dir.path());
    }

    // A record that is a link to the bank, a book saved as UTF-8 by a text
    // editor, one with stray bytes: the bank stays, the book keeps its
    // encoding, and nothing is rewritten that could not be read whole.
    void filesBesideTheBankOnAFamilysFolder()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口"));
        const QByteArray bank = f.bankBytes();
        const QString book = dictationfiles::mistakeBookPath();
        QVERIFY(QFile::link(f.bankPath(), dictationfiles::recordPath()));
        QVERIFY(testsupport::writeBytes(book, QByteArray("天 地\n")));
        FakeHost host;
        QPointer<frmDictation> w = openOn(QStringLiteral("人 口"), host);
        setOptions(w, 1, 8, true);
        w->run().start();
        w->run().finish();
        w->run().toggleMark(0);
        QVERIFY(w->run().saveRecord().contains(QStringLiteral("是一个链接，指向生字库")));
        QCOMPARE(f.bankBytes(), bank);
        child<QPushButton>(w, "cmdAddBook")->click();
        QCOMPARE(testsupport::fileBytes(book), QByteArray("天 地 人\r\n"));
        // Stray bytes: refused by name, the book as it was.
        const QByteArray stray("\xCC\xEC \x80\r\n", 6);
        QVERIFY(testsupport::writeBytes(book, stray));
        w->run().toggleMark(1);
        child<QPushButton>(w, "cmdAddBook")->click();
        QVERIFY(f.texts().last().contains(QStringLiteral("不是 GBK 或 UTF-8 文本，没有改动它")));
        QCOMPARE(testsupport::fileBytes(book), stray);
        // A record of its own gets each run's line appended, once however often the marks change.
        QVERIFY(QFile::remove(dictationfiles::recordPath()));
        QVERIFY(testsupport::writeBytes(dictationfiles::recordPath(), "旧的记录\r\n"));
        QCOMPARE(w->run().saveRecord(), QString());
        w->run().toggleMark(1);
        QCOMPARE(w->run().saveRecord(), QString());
        const QList<QByteArray> lines = testsupport::fileBytes(dictationfiles::recordPath()).split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.first(), QByteArray("旧的记录\r"));
        w->close();
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
        QVERIFY(child<QLabel>(m, "lblChar")->isHidden());
        w->close();
        QTRY_VERIFY(!w);
        QVERIFY(!child<QLabel>(m, "lblChar")->isHidden());

        // "练习错字": the deck of mistakes, named on the counter; D takes an
        // item off it and leaves the bank file alone.
        m->practiseDeck({"地", "人"}, QStringLiteral("听写错字"), QString());
        QCOMPARE(child<QPushButton>(m, "cmdSet")->text(), QStringLiteral("听写错字 1/2"));
        m->Command2_Click();
        QVERIFY(f.texts().last().contains(QStringLiteral("将从这次听写的错字中删除")));
        QCOMPARE(m->deck().text(), QStringLiteral("人"));
        QCOMPARE(f.bankBytes(), bank);

        // "练习错字本": deleting takes the item off the book, as the book is
        // on disk now (not as it was loaded).
        const QString book = dictationfiles::mistakeBookPath();
        modPub::writeTextFile(book, QStringLiteral("口 手"), true);
        m->practiseMistakeBook();
        QCOMPARE(child<QPushButton>(m, "cmdSet")->text(), QStringLiteral("错字本 1/2"));
        modPub::writeTextFile(book, QStringLiteral("口 手 目"), true);
        m->Command2_Click();
        QCOMPARE(modPub::readTextFile(book), QStringLiteral("手 目"));
        QCOMPARE(f.bankBytes(), bank);
        // Back to the bank as after the editor.
        m->loadBank();
        QCOMPARE(child<QPushButton>(m, "cmdSet")->text(), QStringLiteral("我的生字库 1/3"));
        // An empty book says so and keeps the deck.
        QFile::remove(book);
        m->practiseMistakeBook();
        QVERIFY(f.texts().last().contains(QStringLiteral("错字本里还没有字")));
        QCOMPARE(m->deck().label(), QString());

        // A run with the real engine, left going when the practice window
        // goes; the engine is older than the dictation window, so it goes first.
        QVERIFY(m->speechEngine());
        m->openDictation();
        m->findChild<frmDictation *>()->run().start();
        QVERIFY(m->findChild<frmDictation *>()->run().running());
        f.window.reset();
    }
};

LORVANTA_TEST_MAIN(DictationWindow, QApplication)
#include "dictation_window.moc"
