// 听写 rules without a window: the schedule on a fake clock, the items of a
// run, the stored options, the tile numbers, the mistake book and the record.
#include "core/settings.h"
#include "core/textutil.h"
#include "resources/presets.h"
#include "resources/texts.h"
#include "resources/words.h"
#include "rules/deck.h"
#include "rules/dictation.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMap>
#include <QSettings>

using namespace dictation;
using Phase = Schedule::Phase;

namespace {
std::optional<Reading> at(int item, int repeat) { return Reading {item, repeat}; }
} // namespace

class DictationRules : public QObject
{
    Q_OBJECT

private slots:
    void firstGradeWords()
    {
        // Checked by hand: the word each of the 100 built-in first-grade
        // characters is read with, and its reading there. Chosen by the list
        // as the most frequent two-character word both of whose characters a
        // first-grader knows, except where a word was picked by hand (tools/
        // lexiconconv.cpp): 八 十八, 手 小手, 月 月亮, 耳 耳朵, 田 田地, 云 白云,
        // 立 立正, 书 看书, 尺 尺子, 牙 牙齿, 林 树林, 从 从前, 又 又是, 和 和平,
        // 衣 衣服, 儿 儿子. 27 of them have several readings; the word tells which:
        // 上 了 子 大 儿 头 可 女 少 鸟 尺 中 正 好 长 比 把 雨 同 衣 的 和 几 只 石 见 厂.
        const QString checked
            = QStringLiteral("一 一起 yī  二 第二 èr  三 三十 sān  上 晚上 shàng  口 出口 kǒu  "
                             "目 目前 mù  耳 耳朵 ěr  手 小手 shǒu  日 日子 rì  田 田地 tián  "
                             "禾 禾苗 hé  火 火车 huǒ  虫 虫子 chóng  云 白云 yún  山 火山 shān  "
                             "八 十八 bā  十 十分 shí  了 为了 le  子 孩子 zi  人 女人 rén  "
                             "大 大家 dà  月 月亮 yuè  儿 儿子 ér  头 头发 tóu  里 这里 lǐ  "
                             "可 可以 kě  东 东西 dōng  西 东西 xī  天 今天 tiān  四 四处 sì  "
                             "是 但是 shì  女 女人 nǚ  开 开始 kāi  水 水果 shuǐ  去 过去 qù  "
                             "来 起来 lái  不 不过 bù  小 小时 xiǎo  少 多少 shǎo  牛 公牛 niú  "
                             "果 如果 guǒ  鸟 鸟儿 niǎo  早 早上 zǎo  书 看书 shū  刀 刀子 dāo  "
                             "尺 尺子 chǐ  本 本来 běn  木 木头 mù  林 树林 lín  土 土地 tǔ  "
                             "力 能力 lì  心 中心 xīn  中 其中 zhōng  五 第五 wǔ  立 立正 lì  "
                             "正 正在 zhèng  在 现在 zài  后 然后 hòu  我 我们 wǒ  好 好像 hǎo  "
                             "长 成长 zhǎng  比 比如 bǐ  巴 下巴 ba  把 把手 bǎ  下 一下 xià  "
                             "个 这个 gè  雨 下雨 yǔ  们 我们 men  问 问题 wèn  有 没有 yǒu  "
                             "半 一半 bàn  从 从前 cóng  你 你们 nǐ  才 刚才 cái  明 明白 míng  "
                             "同 同时 tóng  学 学生 xué  自 自己 zì  己 自己 jǐ  衣 衣服 yī  "
                             "白 明白 bái  的 有的 de  又 又是 yòu  和 和平 hé  竹 竹子 zhú  "
                             "牙 牙齿 yá  马 马上 mǎ  用 作用 yòng  几 几个 jǐ  只 只是 zhǐ  "
                             "石 石头 shí  多 多少 duō  出 出来 chū  见 看见 jiàn  对 对于 duì  "
                             "妈 妈妈 mā  全 完全 quán  回 回来 huí  工 工作 gōng  厂 工厂 chǎng");
        const Words words(resources::dictationWords());
        QStringList got;
        for (const QString &c : resources::firstGradeCharacters().split(u' '))
            got << c + u' ' + words.wordFor(c.at(0)) + u' ' + words.readingFor(c.at(0));
        QCOMPARE(got, checked.split(QStringLiteral("  ")));
        // A syllable's character: the most frequent with exactly that reading.
        QCOMPARE(words.characterFor(QStringLiteral("línɡ")), QStringLiteral("零"));
        QCOMPARE(words.characterFor(QStringLiteral("lǘ")), QStringLiteral("驴"));
        QCOMPARE(words.characterFor(QStringLiteral("tā")), QStringLiteral("他"));
        // Untoned: the first tone (mā, zāi), else the next one that has a character.
        QCOMPARE(words.characterFor(QStringLiteral("ma")), QStringLiteral("妈"));
        QCOMPARE(words.characterFor(QStringLiteral("ZAI")), QStringLiteral("灾"));
        QCOMPARE(words.characterFor(QStringLiteral("lü")), QStringLiteral("驴"));
    }

    void spokenForms()
    {
        const Words words(resources::dictationWords());
        const QString table = resources::syllableTable();
        const auto said = [&](const QString &item, WordMode mode = WordMode::CharacterAndWord) {
            const Spoken s = spokenForm(deck::normalizedForm(item), mode, words, table);
            return s.caption + u'|' + s.online;
        };
        QCOMPARE(said(QStringLiteral("在")), QStringLiteral("在，现在的在|在，现在的在"));
        QCOMPARE(said(QStringLiteral("在"), WordMode::CharacterOnly), QStringLiteral("在|在"));
        QCOMPARE(said(QStringLiteral("在"), WordMode::WordOnly), QStringLiteral("现在|现在"));
        QCOMPARE(said(QStringLiteral("天地")), QStringLiteral("天地|天地")); // a word as it is
        // Syllables with their tone for the local voice, a character with that reading for the service.
        QCOMPARE(said(QStringLiteral("línɡ")), QStringLiteral("líng|零"));
        QCOMPARE(said(QStringLiteral("lü")), QStringLiteral("lǖ|驴")); // untoned: the first tone
        QCOMPARE(said(QStringLiteral("ɡuɑ")), QStringLiteral("guā|瓜"));
        QCOMPARE(said(QStringLiteral("bā-hā")), QStringLiteral("bā hā|八哈"));
        // Initials and finals as the read-aloud reads them; z as zī; finals no voice has a character for.
        QCOMPARE(said(QStringLiteral("b")), QStringLiteral("b|播"));
        QCOMPARE(said(QStringLiteral("z")), QStringLiteral("z|资"));
        QCOMPARE(said(QStringLiteral("inɡ")), QStringLiteral("ing|"));
        // Nothing to hear: digits, stray letters, a lone dash.
        for (const char *item : {"5", "abc", "xyz", "-", "b5"})
            QVERIFY2(!spokenForm(deck::normalizedForm(QString::fromLatin1(item)), WordMode::CharacterAndWord,
                                 words, table)
                          .hearable(),
                     item);
        // The parent's own word goes first; without one, the list's.
        Words own = words;
        own.setOwnWords({{u'在', QStringLiteral("在家")}});
        QCOMPARE(spokenForm(QStringLiteral("在"), WordMode::CharacterAndWord, own, table).caption,
                 QStringLiteral("在，在家的在"));
        QCOMPARE(own.readingFor(u'在'), QString()); // not the list's word: its reading is not known
    }

    void ownWordsFile()
    {
        // Hand-edited: a full-width space, a comment, a line that is no "字 词", a repeat.
        const QString file
            = QStringLiteral("在 在家\r\n# 家长改的\r\n长\u3000长大\r\n再见\r\n再 再来\r\n长 长短\r\n");
        const OwnWords own = parseOwnWords(file);
        QCOMPARE(own.words.value(u'在'), QStringLiteral("在家"));
        QCOMPARE(own.words.value(u'长'), QStringLiteral("长短")); // the last line of a character counts
        QCOMPARE(own.badLines, QStringList {"再见"});
        QCOMPARE(parseOwnWords(QStringLiteral("天 地上")).badLines, QStringList {"天 地上"}); // no 天 in it
        // Changed in place, removed, added at the end; the rest as it was.
        QCOMPARE(
            updatedOwnWords(
                file, {{u'长', QStringLiteral("长江")}, {u'在', QString()}, {u'天', QStringLiteral("天上")}}),
            QStringLiteral("# 家长改的\r\n长 长江\r\n再见\r\n再 再来\r\n天 天上"));
        QCOMPARE(updatedOwnWords(QString(), {{u'天', QStringLiteral("天上")}}), QStringLiteral("天 天上"));
    }

    void timedRun()
    {
        // Two items, read twice, 2 s between readings, 8 s to write.
        Schedule s(2, 2, 2000, 8000, false);
        QCOMPARE(s.due(0), std::nullopt); // nothing before the start
        QCOMPARE(s.start(0), at(0, 1));
        QCOMPARE(s.start(5), std::nullopt);
        QCOMPARE(s.phase(), Phase::Speaking);
        QCOMPARE(s.nextDue(), Schedule::speakingLimitMs);
        // The pause counts from the end of the sound, not from the request.
        s.soundEnded(1200);
        QCOMPARE(s.phase(), Phase::BetweenReadings);
        QCOMPARE(s.nextDue(), 3200);
        QCOMPARE(s.due(3199), std::nullopt);
        QCOMPARE(s.due(3200), at(0, 2));
        s.soundEnded(4000);
        QCOMPARE(s.phase(), Phase::Writing);
        QCOMPARE(s.progress(), 0.5);
        QCOMPARE(s.due(11999), std::nullopt);
        QCOMPARE(s.due(12000), at(1, 1));
        QCOMPARE(s.reached(), 2);
        // The reading being spoken is not heard yet: half the run, not more.
        QCOMPARE(s.progress(), 0.5);
        s.soundEnded(13000);
        QCOMPARE(s.progress(), 0.75);
        QCOMPARE(s.due(15000), at(1, 2));
        QCOMPARE(s.progress(), 0.75);
        s.soundEnded(16000);
        // Writing time after the last item, then the end.
        QCOMPARE(s.due(24000), std::nullopt);
        QVERIFY(s.finished());
        QCOMPARE(s.nextDue(), -1);
        QCOMPARE(s.progress(), 1.0);
        QCOMPARE(s.repeatNow(25000), std::nullopt);
    }

    void soundThatNeverEnds()
    {
        // No end of the sound is heard: the run goes on after the limit,
        // with the pause counted from then.
        Schedule s(1, 2, 1000, 1000, false);
        s.start(0);
        QCOMPARE(s.due(Schedule::speakingLimitMs - 1), std::nullopt);
        QCOMPARE(s.due(Schedule::speakingLimitMs), std::nullopt);
        QCOMPARE(s.phase(), Phase::BetweenReadings);
        QCOMPARE(s.due(Schedule::speakingLimitMs + 1000), at(0, 2));
        // A zero pause reads the next time at once, within the same call.
        Schedule z(1, 3, 0, 1000, false);
        z.start(0);
        QCOMPARE(z.due(Schedule::speakingLimitMs), at(0, 2));
    }

    void keysDuringRun()
    {
        Schedule s(3, 2, 2000, 8000, false);
        s.start(0);
        // R during the pause: read again, the second reading still follows.
        s.soundEnded(1000);
        QCOMPARE(s.repeatNow(1500), at(0, 1));
        s.soundEnded(2500);
        QCOMPARE(s.due(4500), at(0, 2));
        // R while writing: read again and the writing time starts anew.
        s.soundEnded(5000);
        QCOMPARE(s.repeatNow(9000), at(0, 2));
        s.soundEnded(10000);
        QCOMPARE(s.nextDue(), 18000);
        // Right at once, Left back to the item before, Left at the first reads it again.
        QCOMPARE(s.forward(11000), at(1, 1));
        QCOMPARE(s.forward(11100), at(2, 1));
        QCOMPARE(s.reached(), 3);
        QCOMPARE(s.back(11200), at(1, 1));
        QCOMPARE(s.back(11300), at(0, 1));
        QCOMPARE(s.back(11400), at(0, 1));
        QCOMPARE(s.reached(), 3);
        QCOMPARE(s.forward(11500), at(1, 1));
        QCOMPARE(s.forward(11600), at(2, 1));
        QCOMPARE(s.forward(11700), std::nullopt);
        QVERIFY(s.finished());
    }

    void pauseAndResume()
    {
        Schedule s(2, 1, 2000, 8000, false);
        s.start(0);
        s.soundEnded(1000); // writing until 9000
        s.pause(4000);
        QVERIFY(s.paused());
        QCOMPARE(s.nextDue(), -1);
        QCOMPARE(s.due(60000), std::nullopt);
        // What was left of the writing time goes on after the pause.
        QCOMPARE(s.resume(100000), std::nullopt);
        QCOMPARE(s.nextDue(), 105000);
        QCOMPARE(s.due(105000), at(1, 1));
        // A pause cuts the reading off: resuming reads it from its start.
        s.pause(105500);
        s.soundEnded(105600); // the cut-off sound ending changes nothing
        QCOMPARE(s.phase(), Phase::Speaking);
        QCOMPARE(s.resume(200000), at(1, 1));
        QCOMPARE(s.resume(200001), std::nullopt);
        // A step while paused goes on unpaused.
        s.pause(200100);
        QCOMPARE(s.back(200200), at(0, 1));
        QVERIFY(!s.paused());
    }

    void manualAndEmpty()
    {
        Schedule s(2, 2, 1000, 8000, true);
        s.start(0);
        s.soundEnded(500);
        QCOMPARE(s.due(1500), at(0, 2)); // readings still come by themselves
        s.soundEnded(2000);
        QCOMPARE(s.phase(), Phase::WaitingForParent);
        QCOMPARE(s.nextDue(), -1);
        QCOMPARE(s.due(1000000), std::nullopt);
        QCOMPARE(s.forward(1000000), at(1, 1));

        Schedule none(0, 2, 1000, 1000, false);
        QCOMPARE(none.start(0), std::nullopt);
        QVERIFY(none.finished());
    }

    void itemsOfARun()
    {
        // Slots: "", 人, 口, "", 手, 口, b-a, "天\r\n地", ga
        const QString bank = QStringLiteral("人 口  手 口 b-a 天\r\n地 ga");
        QCOMPARE(runItems(bank, Order::InOrder, 1, true),
                 (QStringList {"人", "口", "手", "b-ɑ", "天", "地", "ɡɑ"}));
        QCOMPARE(runItems(bank, Order::InOrder, 1, false), (QStringList {"人", "口", "手", "天", "地"}));
        // From the shown slot (the empty one) to the end; 口 came before it.
        QCOMPARE(runItems(bank, Order::FromShown, 3, true),
                 (QStringList {"手", "口", "b-ɑ", "天", "地", "ɡɑ"}));
        QCOMPARE(runItems(bank, Order::FromShown, 99, true), QStringList());
        QCOMPARE(runItems(QString(), Order::InOrder, 1, true), QStringList());
        modPub::seedShuffle(7);
        QStringList shuffled = runItems(bank, Order::Shuffled, 1, true);
        QStringList sorted = runItems(bank, Order::InOrder, 1, true);
        std::sort(shuffled.begin(), shuffled.end());
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(shuffled, sorted);
    }

    void storedOptions()
    {
        QMap<QString, QString> stored {{"order", "4"},  {"repeats", "3"}, {"pause", "1"}, {"write", "300"},
                                       {"manual", "1"}, {"pinyin", "0"},  {"words", "2"}, {"last", "999"}};
        Settings s = Settings::fromValues([&](const QString &k) { return stored.value(k); });
        QCOMPARE(s.order, Order::Picked);
        QCOMPARE(s.repeats, 3);
        QCOMPARE(s.pauseSeconds, 1);
        QCOMPARE(s.writeSeconds, 300);
        QVERIFY(s.manual && !s.pinyin);
        QCOMPARE(s.words, WordMode::WordOnly);
        QCOMPARE(s.lastCount, 999);
        // Out of range (a pause under a second runs the readings into one),
        // not numbers, a greyed check box: each value falls back alone.
        stored = {{"order", "5"},  {"repeats", "-1"}, {"pause", "0"}, {"write", "0"},
                  {"manual", "2"}, {"pinyin", "yes"}, {"words", "3"}, {"last", "0"}};
        QCOMPARE(Settings::fromValues([&](const QString &k) { return stored.value(k); }), Settings());
        stored = {{"pause", "99999999999"}, {"last", "1000"}};
        QCOMPARE(Settings::fromValues([&](const QString &k) { return stored.value(k); }), Settings());
        stored = {{"repeats", "4"}, {"write", "8 s"}};
        QCOMPARE(Settings::fromValues([&](const QString &k) { return stored.value(k); }), Settings());

        // Through the settings store, section "dictation".
        QCOMPARE(s.save(), QString());
        QCOMPARE(Settings::load(), s);
        QCOMPARE(modPub::getSetting(QStringLiteral("dictation"), QStringLiteral("manual")),
                 QStringLiteral("1"));

        // A store whose lock cannot be taken: the section gives up in one short
        // wait and keeps what it held.
        const QString lock = testsupport::settingsFile() + QStringLiteral(".lock");
        QVERIFY(QDir().mkpath(lock));
        QElapsedTimer t;
        t.start();
        QVERIFY(!Settings().save().isEmpty());
        QVERIFY2(t.elapsed() < 2 * modPub::settingsLockWaitMs, qPrintable(QString::number(t.elapsed())));
        QVERIFY(QDir(lock).removeRecursively());
        QCOMPARE(Settings::load(), s);
    }

    void tileNumbers()
    {
        NumberEntry n;
        QCOMPARE(n.feed(3, 0, 20), std::optional<int>(3)); // 30 is no tile: taken at once
        QCOMPARE(n.feed(1, 100, 20), std::nullopt); // 1 or 1x
        QCOMPARE(n.nextDue(), 100 + NumberEntry::waitMs);
        QCOMPARE(n.feed(2, 300, 20), std::optional<int>(12));
        QCOMPARE(n.feed(1, 400, 20), std::nullopt);
        QCOMPARE(n.due(400 + NumberEntry::waitMs - 1), std::nullopt);
        QCOMPARE(n.due(400 + NumberEntry::waitMs), std::optional<int>(1));
        QCOMPARE(n.nextDue(), -1);
        // "2" then "5" of 20: 25 is no tile, the 5 is tile 5.
        QCOMPARE(n.feed(2, 2000, 20), std::nullopt);
        QCOMPARE(n.feed(5, 2100, 20), std::optional<int>(5));
        // No tile 0, none beyond the count.
        QCOMPARE(n.feed(0, 3000, 20), std::nullopt);
        QCOMPARE(n.feed(7, 3100, 5), std::nullopt);
        QCOMPARE(n.feed(5, 3200, 5), std::optional<int>(5));
        // Of 10 tiles, "1" may still become 10.
        QCOMPARE(n.feed(1, 4000, 10), std::nullopt);
        QCOMPARE(n.feed(0, 4100, 10), std::optional<int>(10));
        QCOMPARE(n.nextDue(), -1);
    }

    void mistakeBook()
    {
        // A hand-edited book: line breaks, a repeat, ASCII letters.
        const QString book = QStringLiteral("天 地\r\n人  天 ga");
        QCOMPARE(bookItems(book), (QStringList {"天", "地", "人", "ɡɑ"}));
        QCOMPARE(mergeMistakes(book, {"地", "ɡɑ", "口", "b-a", "口"}), QStringLiteral("天 地 人 ɡɑ 口 b-ɑ"));
        QCOMPARE(mergeMistakes(QString(), {"口"}), QStringLiteral("口"));
        QCOMPARE(scoreText(17, 3), QStringLiteral("对 17 个，错 3 个"));
    }

    void record()
    {
        Record r;
        r.when = QDateTime(QDate(2026, 12, 9), QTime(19, 30));
        r.total = 20;
        r.wrong = QStringList {"天", "地", "b-ɑ"};
        const QString line = recordLine(r);
        QCOMPARE(line, QStringLiteral("2026-12-09 19:30 共 20 个，对 17 个，错 3 个：天 地 b-ɑ"));
        QCOMPARE(parseRecordLine(line), std::optional<Record>(r));
        Record none = r;
        none.wrong.clear();
        QCOMPARE(recordLine(none), QStringLiteral("2026-12-09 19:30 共 20 个，对 20 个，错 0 个"));
        // Counts that do not add up, or no date: no record.
        QCOMPARE(parseRecordLine(QStringLiteral("2026-12-09 19:30 共 20 个，对 18 个，错 3 个：天 地 b-ɑ")),
                 std::nullopt);
        QCOMPARE(parseRecordLine(QStringLiteral("2026-13-40 19:30 共 1 个，对 1 个，错 0 个")), std::nullopt);

        QString file = appendRecordLine(QString(), recordLine(none));
        file = appendRecordLine(file, QStringLiteral("hand-written note"));
        file = appendRecordLine(file, line);
        QCOMPARE(file.count(QStringLiteral("\r\n")), 2);
        const QList<Record> last = lastRecords(file, 5);
        QCOMPARE(last.size(), 2);
        QCOMPARE(last.first(), r); // newest first
        QCOMPARE(lastRecords(file, 1).size(), 1);
    }
};

LORVANTA_TEST_MAIN(DictationRules, QCoreApplication)
#include "dictation_rules.moc"
