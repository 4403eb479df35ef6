// The writing session without a window: a character written small and off
// the middle, a later stroke first, misses until the stroke is drawn, 撤销,
// the facts of a finished character, "下一个字", and the stored settings.
#include "core/settings.h"
#include "tests/support/testsupport.h"
#include "writing/writingsession.h"
#include "writing/writingsettings.h"

#include <QCoreApplication>
#include <QSignalSpy>

using Outcome = WritingSession::Outcome;

namespace {

QList<QPointF> median(const WritingSession &s, int stroke) { return s.shapes()[stroke].median; }

// A stroke of the session's character where a pupil writing it at `scale`
// with its middle at `middle` would draw it.
QList<QPointF> placed(const WritingSession &s, int stroke, double scale = 0.6, QPointF middle = {620, 250})
{
    QList<QPointF> out;
    for (const QPointF &p : strokecheck::resample(median(s, stroke), 30))
        out.append(middle + scale * (p - QPointF(512, 388)));
    return out;
}

QList<QPointF> reversed(QList<QPointF> l)
{
    std::reverse(l.begin(), l.end());
    return l;
}

} // namespace

class WritingSessionTest : public QObject
{
    Q_OBJECT
private slots:
    // 天 at 0.6 of its size towards the bottom right: every stroke right at the
    // first try, the strokes standing where the pupil wrote them, one
    // finished character with nothing for the mistake book.
    void smallAndOffTheMiddle()
    {
        WritingSession s;
        QVERIFY(s.setCharacter(QStringLiteral("天")));
        QSignalSpy finished(&s, &WritingSession::characterFinished);
        QCOMPARE(s.statusText(), QStringLiteral("第 1 笔，共 4 笔"));
        for (int k = 0; k < 4; ++k)
            QCOMPARE(s.submitStroke(placed(s, k)), Outcome::Accepted);
        QVERIFY(s.complete());
        QCOMPARE(s.statusText(), QStringLiteral("写完了！"));
        QCOMPARE(s.scoreText(), QStringLiteral("一次写对 4 笔，共 4 笔"));
        QCOMPARE(s.stars(), 3);
        QVERIFY(!s.canUndo());
        QVERIFY(QLineF(s.pupilFrame().map(QPointF(512, 388)), QPointF(620, 250)).length() < 10);

        QCOMPARE(finished.size(), 1);
        const auto result = finished[0][0].value<WritingSession::Result>();
        QCOMPARE(result.character, QStringLiteral("天"));
        QCOMPARE(result.strokes, 4);
        QCOMPARE(result.rightFirstTime, 4);
        QVERIFY(!result.needsPractice());
        // Ink after the end is no stroke.
        QVERIFY(!s.submitStroke(placed(s, 0)));
    }

    // The 撇 of 天 drawn where its long 横 belongs: the wrong order, said so.
    void laterStrokeFirst()
    {
        WritingSession s;
        s.setCharacter(QStringLiteral("天"));
        s.submitStroke(median(s, 0));
        QCOMPARE(s.submitStroke(median(s, 2)), Outcome::Missed);
        QCOMPARE(s.statusText(), QStringLiteral("第 2 笔，共 4 笔　笔顺不对"));
        QCOMPARE(s.lastVerdict().betterLater, 2);
        QCOMPARE(s.current(), 1);
    }

    // With two misses allowed, the first gives the hint and the second draws
    // the stroke; the refused tries stay on record, and so do the facts.
    void missesUntilDrawn()
    {
        WritingSession s;
        s.setMissesForDrawing(2);
        s.setCharacter(QStringLiteral("人"));
        QCOMPARE(s.submitStroke(reversed(median(s, 0))), Outcome::Hint);
        QCOMPARE(s.statusText(), QStringLiteral("第 1 笔，共 2 笔　方向不对，看看提示"));
        QCOMPARE(s.submitStroke(reversed(median(s, 0))), Outcome::DrawnForPupil);
        QCOMPARE(s.statusText(), QStringLiteral("第 2 笔，共 2 笔　这一笔是这样写的"));
        QVERIFY(s.drawnForPupil(0));
        QCOMPARE(s.tries().size(), 2);
        QCOMPARE(s.tries()[1].state, WritingSession::Try::State::Refused);
        QVERIFY(s.takenInk()[0].isEmpty()); // no ink of the pupil's for the frame
        QCOMPARE(s.submitStroke(median(s, 1)), Outcome::Accepted);
        const WritingSession::Result r = s.result();
        QCOMPARE(r.rightFirstTime, 1);
        QCOMPARE(r.refusedTwice, QList<int> {0});
        QCOMPARE(r.drawnForPupil, QList<int> {0});
        QVERIFY(r.needsPractice());
        QCOMPARE(s.stars(), 1);
    }

    // 撤销 takes back the last stroke done; its ink stays on record apart. The
    // first try's verdict keeps its score; 再写一次 wipes everything.
    void undoAndRestart()
    {
        WritingSession s;
        s.setCharacter(QStringLiteral("天"));
        QVERIFY(!s.canUndo());
        s.submitStroke(median(s, 0));
        s.submitStroke(median(s, 1));
        QVERIFY(s.undo());
        QCOMPARE(s.current(), 1);
        QCOMPARE(s.takenInk().size(), 1);
        QCOMPARE(s.tries().last().state, WritingSession::Try::State::TakenBack);
        s.submitStroke(median(s, 1));
        s.submitStroke(median(s, 2));
        s.submitStroke(median(s, 3));
        QCOMPARE(s.rightFirstTime(), 4);

        s.restart();
        QCOMPARE(s.current(), 0);
        QVERIFY(s.tries().isEmpty());
        QCOMPARE(s.rightFirstTime(), 0);
        QVERIFY(s.scoreText().isEmpty());
    }

    // "下一个字" goes round the bank's characters, never to the only one; a
    // character without data says so and takes no stroke.
    void nextAndMissing()
    {
        WritingSession s;
        s.setCharacter(QStringLiteral("天"));
        s.setBankText(QStringLiteral("ā 天"));
        QVERIFY(s.nextCharacter().isEmpty());
        QVERIFY(!s.goToNext());
        s.setBankText(QStringLiteral("天 人 b"));
        QVERIFY(s.goToNext());
        QCOMPARE(s.character(), QStringLiteral("人"));

        QVERIFY(!s.setCharacter(QStringLiteral("b")));
        QCOMPARE(s.statusText(), QStringLiteral("“b”没有笔顺数据，不能练习书写。"));
        QVERIFY(!s.submitStroke({{100, 100}, {400, 400}}));
        s.setCharacter(QString());
        QCOMPARE(s.statusText(), QStringLiteral("没有要写的字。"));
    }

    // Section "writing": what is stored and what a bad value gives. 看 is
    // never the mode to open in.
    void settings()
    {
        WritingSettings w;
        w.strictness = strokecheck::Strictness::Strict;
        w.mode = WritingSettings::Mode::Watch;
        w.missesForDrawing = 4;
        QCOMPARE(w.save(), QString());
        const WritingSettings back = WritingSettings::load();
        QCOMPARE(back.strictness, strokecheck::Strictness::Strict);
        QCOMPARE(back.mode, WritingSettings::Mode::Trace);
        QCOMPARE(back.missesForDrawing, 4);

        const QString section = QStringLiteral("writing");
        modPub::saveSetting(section, QStringLiteral("mode"), QStringLiteral("watch"));
        modPub::saveSetting(section, QStringLiteral("misses"), QStringLiteral("9"));
        modPub::saveSetting(section, QStringLiteral("strictness"), QStringLiteral("9"));
        const WritingSettings bad = WritingSettings::load();
        QCOMPARE(bad.mode, WritingSettings::Mode::Trace);
        QCOMPARE(bad.missesForDrawing, 3);
        QCOMPARE(bad.strictness, strokecheck::Strictness::Normal);
        modPub::saveSetting(section, QStringLiteral("misses"), QStringLiteral(" 2 "));
        modPub::saveSetting(section, QStringLiteral("mode"), QStringLiteral("write"));
        QCOMPARE(WritingSettings::load().missesForDrawing, 2);
        QCOMPARE(WritingSettings::load().mode, WritingSettings::Mode::Write);
    }
};

LORVANTA_TEST_MAIN(WritingSessionTest, QCoreApplication)
#include "writing_session.moc"
