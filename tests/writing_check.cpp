// The stroke checker: how often it accepts what a pupil would draw and
// refuses what is wrong, over the first-grade characters, and the course of
// one character (misses, hint, the stroke drawn for the pupil, the score).
#include "core/strokedata.h"
#include "resources/presets.h"
#include "rules/strokecheck.h"

#include <QPolygonF>
#include <QTest>

#include <cmath>
#include <random>

using namespace strokecheck;

namespace {

constexpr double kGrid = 1024;

QList<StrokeShape> shapesOf(const StrokeGlyph &glyph)
{
    QList<StrokeShape> out;
    for (qsizetype i = 0; i < glyph.medians.size(); ++i)
        out.append({glyph.medians[i], glyph.outlines[i].toFillPolygon().toList()});
    return out;
}

StrokeShape shapeOfLine(QList<QPointF> median) { return {std::move(median), {}}; }

// A point at arc length s along a polyline, carried on straight past either end.
QPointF pointAlong(const QList<QPointF> &line, double s)
{
    if (line.size() == 1)
        return line[0];
    if (s <= 0) {
        const QLineF first(line[0], line[1]);
        return first.length() > 0 ? first.pointAt(s / first.length()) : line[0];
    }
    double walked = 0;
    for (qsizetype i = 1; i < line.size(); ++i) {
        const QLineF seg(line[i - 1], line[i]);
        if (walked + seg.length() >= s || i == line.size() - 1)
            return seg.length() > 0 ? seg.pointAt((s - walked) / seg.length()) : line[i];
        walked += seg.length();
    }
    return line.last();
}

// The stroke as a pupil draws it with a mouse or pen: the whole line off by
// up to 4 % of the box, each end up to 10 % short or long, a shaky hand, a
// changing speed and the pointer sampled 60 to 200 times a second, on a
// canvas of about 400 pixels. `sloppiness` scales the offset and the ends.
QList<QPointF> drawLike(const QList<QPointF> &median, std::mt19937 &rng, double sloppiness = 1)
{
    std::uniform_real_distribution<double> u(0, 1);
    std::normal_distribution<double> shake(0, 3.5);
    const double length = polylineLength(median);
    const double from = (u(rng) * 0.2 - 0.1) * sloppiness * length;
    const double to = length - (u(rng) * 0.2 - 0.1) * sloppiness * length;
    const double angle = u(rng) * 2 * M_PI;
    const double off = u(rng) * 0.04 * sloppiness * kGrid;
    const QPointF offset(off * std::cos(angle), off * std::sin(angle));
    const double speed = 400 + u(rng) * 1600; // grid units per second
    const double rate = 60 + u(rng) * 140; // samples per second
    const double linear = 0.3 + 0.7 * u(rng); // the rest eases in and out
    const double wobble = u(rng) * 6, wobblePhase = u(rng) * 2 * M_PI, wobbleCycles = 1 + 2 * u(rng);
    const int n = std::max(2, int(std::abs(to - from) / speed * rate) + 1);
    const double pixel = kGrid / 400;
    QList<QPointF> out;
    for (int k = 0; k < n; ++k) {
        const double t = double(k) / (n - 1);
        const double eased = linear * t + (1 - linear) * t * t * (3 - 2 * t);
        const double w = wobble * std::sin(wobblePhase + 2 * M_PI * wobbleCycles * t);
        QPointF p = pointAlong(median, from + (to - from) * eased) + offset + QPointF(w, -w)
            + QPointF(shake(rng), shake(rng));
        out.append(QPointF(std::round(p.x() / pixel) * pixel, std::round(p.y() / pixel) * pixel));
    }
    return out;
}

// A random line across the box, drawn the same way.
QList<QPointF> scribble(std::mt19937 &rng)
{
    std::uniform_real_distribution<double> x(40, 984), y(-80, 860);
    std::uniform_int_distribution<int> corners(2, 6);
    QList<QPointF> path;
    for (int i = corners(rng); i > 0; --i)
        path.append(QPointF(x(rng), y(rng)));
    return drawLike(path, rng);
}

struct Rates {
    int tries[6] = {};
    int accepted[6] = {};
    void add(int kind, bool ok)
    {
        ++tries[kind];
        accepted[kind] += ok ? 1 : 0;
    }
    double rate(int kind) const { return tries[kind] ? double(accepted[kind]) / tries[kind] : 0; }
};

// The last is for the table only: twice the offset and the error at the ends.
const char *const kKinds[]
    = {"own median, noisy", "reversed", "wrong order", "shifted 1/4 box", "scribble", "own, twice as sloppy"};

} // namespace

class WritingCheck : public QObject
{
    Q_OBJECT
private slots:
    // Every stroke of the first-grade characters, drawn as a pupil would, and
    // the same strokes reversed, out of order, misplaced, and scribbles.
    void firstGradeRates()
    {
        const QStringList chars = resources::firstGradeCharacters().split(u' ', Qt::SkipEmptyParts);
        QCOMPARE(chars.size(), 100);
        QList<QList<StrokeShape>> glyphs;
        for (const QString &c : chars) {
            const auto glyph = StrokeData::bundled().find(*StrokeData::singleCodePoint(c));
            QVERIFY2(glyph, qPrintable(c));
            glyphs.append(shapesOf(*glyph));
        }

        const Strictness levels[] = {Strictness::Loose, Strictness::Normal, Strictness::Strict};
        Rates rates[3];
        constexpr int kRounds = 3;
        std::mt19937 rng(20);
        std::uniform_real_distribution<double> u(0, 1);
        for (int round = 0; round < kRounds; ++round) {
            for (const QList<StrokeShape> &strokes : std::as_const(glyphs)) {
                for (qsizetype i = 0; i < strokes.size(); ++i) {
                    const QList<StrokeShape> later = strokes.mid(i + 1);
                    QList<QList<QPointF>> drawn(6);
                    drawn[0] = drawLike(strokes[i].median, rng);
                    drawn[1] = drawn[0];
                    std::reverse(drawn[1].begin(), drawn[1].end());
                    if (strokes.size() > 1) {
                        qsizetype j = std::uniform_int_distribution<qsizetype>(0, strokes.size() - 2)(rng);
                        drawn[2] = drawLike(strokes[j < i ? j : j + 1].median, rng);
                    }
                    const double a = u(rng) * 2 * M_PI;
                    const QPointF shift(kGrid / 4 * std::cos(a), kGrid / 4 * std::sin(a));
                    drawn[3] = drawLike(strokes[i].median, rng);
                    for (QPointF &p : drawn[3])
                        p += shift;
                    drawn[4] = scribble(rng);
                    drawn[5] = drawLike(strokes[i].median, rng, 2);
                    for (int level = 0; level < 3; ++level)
                        for (int kind = 0; kind < 6; ++kind)
                            if (!drawn[kind].isEmpty())
                                rates[level].add(
                                    kind,
                                    judgeStroke(strokes[i], later, drawn[kind], levels[level]).accepted);
                }
            }
        }

        QString table = QStringLiteral("\naccepted               宽松     一般     严格\n");
        for (int kind = 0; kind < 6; ++kind) {
            table += QStringLiteral("%1").arg(QString::fromLatin1(kKinds[kind]), -21);
            for (const Rates &r : rates)
                table += QStringLiteral("%1 %").arg(100 * r.rate(kind), 7, 'f', 2);
            table += u'\n';
        }
        table += QStringLiteral("(%1 strokes each)").arg(rates[1].tries[0]);
        qInfo().noquote() << table;

        const Rates &normal = rates[1];
        QVERIFY2(normal.rate(0) >= 0.99, qPrintable(table));
        for (int kind = 1; kind < 5; ++kind)
            QVERIFY2(normal.rate(kind) <= 0.01, qPrintable(table));
        // Looser accepts more of the good strokes, stricter fewer.
        QVERIFY(rates[0].rate(0) >= normal.rate(0) && normal.rate(0) >= rates[2].rate(0));
    }

    // 是: strokes 3 and 4 are short, parallel and about a tenth of the box
    // apart. Stroke 3 drawn a little past the middle, so that stroke 4 fits a
    // little better, is still stroke 3; drawn right on stroke 4 it is not.
    void parallelStrokes()
    {
        const auto glyph = StrokeData::bundled().find(U'是');
        QVERIFY(glyph);
        const QList<StrokeShape> strokes = shapesOf(*glyph);
        const QList<StrokeShape> later = strokes.mid(3);
        const QList<QPointF> third = resample(strokes[2].median, 20);
        const QList<QPointF> fourth = resample(strokes[3].median, 20);
        QList<QPointF> between;
        for (int k = 0; k < 20; ++k)
            between.append(third[k] + 0.55 * (fourth[k] - third[k]));
        // Either stroke alone would take it.
        QVERIFY(judgeStroke(strokes[3], {}, between, Strictness::Normal).accepted);
        const Verdict near = judgeStroke(strokes[2], later, between, Strictness::Normal);
        QVERIFY2(near.accepted, qPrintable(reasonTexts(near.reasons).join(u' ')));

        const Verdict onFourth = judgeStroke(strokes[2], later, fourth, Strictness::Normal);
        QVERIFY(!onFourth.accepted);
        QVERIFY(onFourth.reasons != NoReason);
    }

    // What each refusal says, on a plain horizontal stroke.
    void reasons()
    {
        const StrokeShape bar = shapeOfLine({{200, 450}, {800, 450}});
        auto judge
            = [&](const QList<QPointF> &drawn) { return judgeStroke(bar, {}, drawn, Strictness::Normal); };

        QVERIFY(judge({{210, 455}, {500, 448}, {790, 452}}).accepted);
        QCOMPARE(judge({{300, 300}}).reasons, unsigned(TooFewPoints));
        QCOMPARE(judge({{300, 300}, {301, 300}}).reasons, unsigned(TooFewPoints));

        const unsigned reversed = judge({{800, 450}, {200, 450}}).reasons;
        QVERIFY(reversed & DirectionWrong);
        QVERIFY(reversed & StartTooFar && reversed & EndTooFar);
        QVERIFY(judge({{200, 450}, {450, 450}}).reasons & TooShort);
        QVERIFY(judge({{200, 450}, {500, 200}, {800, 450}, {500, 700}, {800, 450}}).reasons & TooLong);
        QVERIFY(judge({{200, 650}, {800, 650}}).reasons & TooFarOnAverage);
        QCOMPARE(reasonTexts(StartTooFar | LaterStrokeFits), QStringList({"笔顺不对", "起笔位置不对"}));

        // A later stroke that fits clearly better refuses this one.
        const StrokeShape lower = shapeOfLine({{200, 380}, {800, 380}});
        const Verdict v = judgeStroke(bar, {bar, lower}, {{200, 385}, {800, 385}}, Strictness::Loose);
        QVERIFY(!v.accepted && (v.reasons & LaterStrokeFits));
        QCOMPARE(v.betterLater, 1);
    }

    // A dot: short, and its direction still counts.
    void shortStroke()
    {
        const StrokeShape dot = shapeOfLine({{480, 760}, {520, 720}});
        QVERIFY(judgeStroke(dot, {}, {{478, 765}, {500, 740}, {522, 716}}, Strictness::Normal).accepted);
        QVERIFY(judgeStroke(dot, {}, {{522, 716}, {500, 740}, {478, 765}}, Strictness::Normal).reasons
                & DirectionWrong);
    }

    void resampling()
    {
        const QList<QPointF> l = resample({{0, 0}, {10, 0}, {10, 10}}, 5);
        QCOMPARE(l, QList<QPointF>({{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}}));
        QCOMPARE(resample({{3, 3}, {3, 3}}, 3), QList<QPointF>({{3, 3}, {3, 3}, {3, 3}}));
        QVERIFY(resample({}, 4).isEmpty());
    }

    // Misses, the hint on the second, the stroke drawn on the third; the
    // score counts strokes right at the first try.
    void session()
    {
        Session s(4);
        QCOMPARE(s.record(true), Session::Outcome::Accepted);
        QCOMPARE(s.record(false), Session::Outcome::Missed);
        QCOMPARE(s.record(false), Session::Outcome::Hint);
        QCOMPARE(s.record(false), Session::Outcome::DrawnForPupil);
        QCOMPARE(s.current(), 2);
        QCOMPARE(s.missesOnCurrent(), 0);
        QCOMPARE(s.record(false), Session::Outcome::Missed);
        QCOMPARE(s.record(true), Session::Outcome::Accepted);
        QVERIFY(!s.complete());
        QCOMPARE(s.record(true), Session::Outcome::Accepted);
        QVERIFY(s.complete());
        QCOMPARE(s.record(false), Session::Outcome::Accepted); // nothing left to miss
        QCOMPARE(s.rightFirstTime(), 2);

        QCOMPARE(scoreText(7, 9), QStringLiteral("一次写对 7 笔，共 9 笔"));
        QCOMPARE(starsFor(9, 9), 3);
        QCOMPARE(starsFor(7, 9), 2);
        QCOMPARE(starsFor(6, 9), 1);
        QCOMPARE(starsFor(0, 9), 1);
    }
};

QTEST_APPLESS_MAIN(WritingCheck)
#include "writing_check.moc"
