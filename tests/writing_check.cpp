// The stroke check: how often it takes what a pupil writes and refuses what
// is wrong over the first-grade characters, the worked cases behind each of
// its limits, and the course of one character (misses, hint, the stroke
// drawn for the pupil) and what the writing practice picks to write.
#include "core/strokedata.h"
#include "resources/presets.h"
#include "rules/strokecheck.h"
#include "rules/writingcourse.h"

#include <QPolygonF>
#include <QTest>

#include <cmath>
#include <random>

using namespace strokecheck;
using writingcourse::Course;

namespace {

constexpr double kGrid = 1024;

QList<StrokeShape> shapesOf(const StrokeGlyph &glyph)
{
    QList<StrokeShape> out;
    for (qsizetype i = 0; i < glyph.medians.size(); ++i)
        out.append({glyph.medians[i], glyph.outlines[i].toFillPolygon().toList()});
    return out;
}

QList<StrokeShape> shapesOf(char32_t c) { return shapesOf(*StrokeData::bundled().find(c)); }

StrokeShape bar(QPointF from, QPointF to) { return {{from, to}, {}}; }

QList<QPointF> moved(QList<QPointF> line, QPointF by)
{
    for (QPointF &p : line)
        p += by;
    return line;
}

// The stroke as a pupil draws it with a mouse or pen: the character off by
// `offset`, each end up to 10 % short or long, a shaky hand, a changing
// speed and the pointer sampled 60 to 200 times a second, on a canvas of
// about 400 pixels. `sloppiness` scales the ends' error and the shake.
QList<QPointF> drawLike(const QList<QPointF> &median, QPointF offset, std::mt19937 &rng,
                        double sloppiness = 1)
{
    std::uniform_real_distribution<double> u(0, 1);
    std::normal_distribution<double> shake(0, 2.5 * sloppiness);
    const double length = polylineLength(median);
    const double from = (u(rng) * 0.2 - 0.1) * sloppiness * length;
    const double to = length - (u(rng) * 0.2 - 0.1) * sloppiness * length;
    const double speed = 400 + u(rng) * 1600; // grid units per second
    const double rate = 60 + u(rng) * 140; // samples per second
    const double linear = 0.3 + 0.7 * u(rng); // the rest eases in and out
    const double wobble = u(rng) * 6 * sloppiness, wobblePhase = u(rng) * 2 * M_PI,
                 wobbleCycles = 1 + 2 * u(rng);
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

struct Rates {
    int tries[5] = {};
    int accepted[5] = {};
    void add(int kind, bool ok)
    {
        ++tries[kind];
        accepted[kind] += ok ? 1 : 0;
    }
    double rate(int kind) const { return tries[kind] ? double(accepted[kind]) / tries[kind] : 0; }
};

const char *const kKinds[]
    = {"own median, noisy", "reversed", "next stroke first", "shifted 1/4 box", "own, twice as sloppy"};

} // namespace

class WritingCheck : public QObject
{
    Q_OBJECT
private slots:
    // Every stroke of the first-grade characters after the strokes before it,
    // drawn as a pupil would with the whole character off by up to 4 % of the
    // box, and the same stroke reversed, the next one drawn in its place,
    // and shifted a quarter box. (The benchmark measures the full spread.)
    void firstGradeRates()
    {
        const QStringList chars = resources::firstGradeCharacters().split(u' ', Qt::SkipEmptyParts);
        QList<QList<StrokeShape>> glyphs;
        for (const QString &c : chars)
            glyphs.append(shapesOf(*StrokeData::singleCodePoint(c)));

        const Strictness levels[] = {Strictness::Loose, Strictness::Normal, Strictness::Strict};
        Rates rates[3];
        std::mt19937 rng(20);
        std::uniform_real_distribution<double> u(0, 1);
        for (int round = 0; round < 2; ++round) {
            for (const QList<StrokeShape> &strokes : std::as_const(glyphs)) {
                const double a = u(rng) * 2 * M_PI, off = u(rng) * 0.04 * kGrid;
                const QPointF offset(off * std::cos(a), off * std::sin(a));
                QList<QList<QPointF>> good, sloppy;
                for (const StrokeShape &s : strokes) {
                    good.append(drawLike(s.median, offset, rng));
                    sloppy.append(drawLike(s.median, offset * 2, rng, 2));
                }
                for (qsizetype i = 0; i < strokes.size(); ++i) {
                    QList<QList<QPointF>> wrong(5);
                    wrong[1] = good[i];
                    std::reverse(wrong[1].begin(), wrong[1].end());
                    if (i + 1 < strokes.size())
                        wrong[2] = good[i + 1];
                    const double b = u(rng) * 2 * M_PI;
                    if (i > 0)
                        wrong[3] = moved(good[i], QPointF(std::cos(b), std::sin(b)) * kGrid / 4);
                    const QList<QList<QPointF>> before = good.mid(0, i);
                    for (int level = 0; level < 3; ++level) {
                        rates[level].add(
                            0, judgeStroke(strokes, int(i), before, good[i], levels[level]).accepted);
                        rates[level].add(
                            4,
                            judgeStroke(strokes, int(i), sloppy.mid(0, i), sloppy[i], levels[level])
                                .accepted);
                        for (int kind = 1; kind < 4; ++kind)
                            if (!wrong[kind].isEmpty())
                                rates[level].add(
                                    kind,
                                    judgeStroke(strokes, int(i), before, wrong[kind], levels[level])
                                        .accepted);
                    }
                }
            }
        }

        QString table = QStringLiteral("\naccepted               宽松     一般     严格\n");
        for (int kind = 0; kind < 5; ++kind) {
            table += QStringLiteral("%1").arg(QString::fromLatin1(kKinds[kind]), -21);
            for (const Rates &r : rates)
                table += QStringLiteral("%1 %").arg(100 * r.rate(kind), 7, 'f', 2);
            table += u'\n';
        }
        qInfo().noquote() << table;

        const Rates &normal = rates[1];
        QVERIFY2(normal.rate(0) >= 0.99, qPrintable(table));
        for (int kind = 1; kind < 4; ++kind)
            QVERIFY2(normal.rate(kind) <= 0.01, qPrintable(table));
        // On the sloppy row each strictness means what it says.
        QVERIFY2(rates[0].rate(4) > normal.rate(4) && normal.rate(4) > rates[2].rate(4), qPrintable(table));
    }

    // 是: strokes 3 and 4 are short, parallel and about a tenth of the box
    // apart. Stroke 3 drawn a little past the middle, so that stroke 4 fits a
    // little better, is still stroke 3; drawn right on stroke 4 it is the
    // wrong order.
    void parallelStrokes()
    {
        const QList<StrokeShape> strokes = shapesOf(U'是');
        QList<QList<QPointF>> taken;
        for (int i = 0; i < 2; ++i)
            taken.append(strokes[i].median);
        const QList<QPointF> third = resample(strokes[2].median, 20);
        const QList<QPointF> fourth = resample(strokes[3].median, 20);
        QList<QPointF> between;
        for (int k = 0; k < 20; ++k)
            between.append(third[k] + 0.55 * (fourth[k] - third[k]));
        const Verdict near = judgeStroke(strokes, 2, taken, between, Strictness::Normal);
        QVERIFY2(near.accepted, qPrintable(reasonTexts(near.reasons).join(u' ')));

        const Verdict onFourth = judgeStroke(strokes, 2, taken, fourth, Strictness::Normal);
        QVERIFY(!onFourth.accepted);
        QCOMPARE(reasonTexts(onFourth.reasons).value(0), QStringLiteral("笔顺不对"));
        QCOMPARE(onFourth.betterLater, 3);
    }

    // 天 written at 0.6 of its size towards the bottom right corner: every stroke
    // taken in the pupil's frame, and the frame found. Drawn a quarter box
    // away from the strokes before it, a stroke is refused as off as a whole.
    void pupilsFrame()
    {
        const QList<StrokeShape> strokes = shapesOf(U'天');
        auto place = [](const QPointF &p) { return QPointF(620, 250) + 0.6 * (p - QPointF(512, 388)); };
        QList<QList<QPointF>> drawn;
        for (const StrokeShape &s : strokes) {
            QList<QPointF> line;
            for (const QPointF &p : resample(s.median, 30))
                line.append(place(p));
            drawn.append(line);
        }
        for (int k = 0; k < 4; ++k) {
            const Verdict v = judgeStroke(strokes, k, drawn.mid(0, k), drawn[k], Strictness::Normal);
            QVERIFY2(
                v.accepted,
                qPrintable(QStringLiteral("stroke %1: %2").arg(k).arg(reasonTexts(v.reasons).join(u' '))));
        }
        const Frame f = fitFrame(strokes, drawn.mid(0, 3));
        QVERIFY(f.fitted);
        QVERIFY2(std::abs(f.scale - 0.6) < 0.03, qPrintable(QString::number(f.scale)));
        QVERIFY(QLineF(f.map(QPointF(512, 388)), QPointF(620, 250)).length() < 10);

        const Verdict shifted
            = judgeStroke(strokes, 3, drawn.mid(0, 3), moved(drawn[3], QPointF(-256, 0)), Strictness::Normal);
        QCOMPARE(reasonTexts(shifted.reasons), QStringList {QStringLiteral("位置偏了")});
    }

    // What each refusal says first, on a plain character of two bars: a long
    // one taken, a short one to write under it.
    void reasons()
    {
        const QList<StrokeShape> strokes = {bar({200, 650}, {800, 650}), bar({300, 350}, {700, 350})};
        const QList<QList<QPointF>> taken = {strokes[0].median};
        auto first = [&](const QList<QPointF> &drawn) {
            return reasonTexts(judgeStroke(strokes, 1, taken, drawn, Strictness::Normal).reasons).value(0);
        };
        QVERIFY(judgeStroke(strokes, 1, taken, {{310, 355}, {500, 348}, {690, 352}}, Strictness::Normal)
                    .accepted);
        QCOMPARE(first({{300, 300}}), QStringLiteral("没有写出笔画"));
        QCOMPARE(first({{300, 300}, {303, 300}}), QStringLiteral("没有写出笔画"));
        QCOMPARE(first({{700, 350}, {300, 350}}), QStringLiteral("方向不对"));
        QCOMPARE(first({{300, 350}, {360, 350}}), QStringLiteral("笔画太短"));
        QCOMPARE(first({{300, 350}, {1100, 350}}), QStringLiteral("笔画太长"));
        QCOMPARE(first({{300, 150}, {700, 150}}), QStringLiteral("位置偏了"));
        QCOMPARE(first({{300, 350}, {500, 200}, {700, 350}}), QStringLiteral("笔画形状不对"));
        QCOMPARE(first({{300, 350}, {700, 180}}), QStringLiteral("收笔位置不对"));
        QCOMPARE(first({{150, 350}, {700, 350}}), QStringLiteral("起笔位置不对"));
        QCOMPARE(reasonTexts(StartTooFar | LaterStrokeFits | TooShort),
                 QStringList({"笔顺不对", "笔画太短", "起笔位置不对"}));
    }

    // The limits one by one, each at a case where it alone decides.
    void limits()
    {
        const QList<StrokeShape> cross = {bar({200, 400}, {800, 400}), bar({500, 100}, {500, 700})};
        // 十's vertical drawn first: the next stroke, refused as the wrong order.
        const Verdict next = judgeStroke(cross, 0, {}, cross[1].median, Strictness::Normal);
        QVERIFY(!next.accepted);
        QCOMPARE(next.betterLater, 1);

        // A short bar drawn at 90° through its middle: only its way is wrong.
        const QList<StrokeShape> dash = {cross[0], bar({470, 600}, {530, 600})};
        const QList<QList<QPointF>> taken = {cross[0].median};
        const Verdict turned = judgeStroke(dash, 1, taken, {{500, 630}, {500, 570}}, Strictness::Normal);
        QCOMPARE(turned.reasons, unsigned(DirectionWrong));

        // A 30-unit dot is a stroke, not a tap.
        const QList<StrokeShape> dot = {cross[0], bar({480, 600}, {501, 579})};
        QVERIFY(judgeStroke(dot, 1, taken, {{480, 600}, {501, 579}}, Strictness::Normal).accepted);

        // Two parallel bars 30 apart, drawn two thirds of the way to the
        // later one: it fits better, not clearly, and the stroke is taken.
        const QList<StrokeShape> close = {cross[0], bar({300, 600}, {700, 600}), bar({300, 570}, {700, 570})};
        const Verdict between = judgeStroke(close, 1, taken, {{300, 580}, {700, 580}}, Strictness::Normal);
        QVERIFY2(between.accepted, qPrintable(reasonTexts(between.reasons).join(u' ')));

        // A thick stroke is missed by more: about 80 units off its centre
        // line is still on it (the same line on a thin stroke is not).
        const QList<StrokeShape> thin = {cross[0], bar({300, 650}, {700, 650})};
        QList<StrokeShape> thick = thin;
        thick[1].outline = {{300, 710}, {700, 710}, {700, 590}, {300, 590}};
        const QList<QPointF> beside = {{300, 725}, {700, 725}};
        QVERIFY(judgeStroke(thick, 1, taken, beside, Strictness::Normal).accepted);
        QVERIFY(!judgeStroke(thin, 1, taken, beside, Strictness::Normal).accepted);

        // A long hairpin turned a third of the way down: every drawn point
        // lies on the stroke, but most of the stroke is far from the line
        // drawn, and so its shape is wrong, not only its length.
        const QList<StrokeShape> pin = {cross[0], {{{470, 800}, {470, 200}, {530, 200}, {530, 800}}, {}}};
        const Verdict turnedEarly
            = judgeStroke(pin, 1, taken, {{470, 800}, {470, 600}, {530, 600}, {530, 800}}, Strictness::Normal);
        QVERIFY2(turnedEarly.reasons & ShapeWrong, qPrintable(reasonTexts(turnedEarly.reasons).join(u' ')));
    }

    void resampling()
    {
        const QList<QPointF> l = resample({{0, 0}, {10, 0}, {10, 10}}, 5);
        QCOMPARE(l, QList<QPointF>({{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}}));
        QCOMPARE(resample({{3, 3}, {3, 3}}, 3), QList<QPointF>({{3, 3}, {3, 3}, {3, 3}}));
        QVERIFY(resample({}, 4).isEmpty());
    }

    // Misses, the hint, the stroke drawn for the pupil after the chosen
    // number of misses; a step back; the score's stars.
    void course()
    {
        Course c(4);
        QCOMPARE(c.record(true), Course::Outcome::Accepted);
        QCOMPARE(c.record(false), Course::Outcome::Missed);
        QCOMPARE(c.record(false), Course::Outcome::Hint);
        QCOMPARE(c.record(false), Course::Outcome::DrawnForPupil);
        QCOMPARE(c.current(), 2);
        QCOMPARE(c.missesOnCurrent(), 0);
        QVERIFY(c.stepBack());
        QCOMPARE(c.current(), 1);
        QCOMPARE(c.record(true), Course::Outcome::Accepted);
        QCOMPARE(c.record(true), Course::Outcome::Accepted);
        QCOMPARE(c.record(true), Course::Outcome::Accepted);
        QVERIFY(c.complete());
        QCOMPARE(c.record(false), Course::Outcome::Accepted); // nothing left to miss

        // Drawn at the second miss, the hint on the first; at five, hints from the second.
        Course two(2, 2);
        QCOMPARE(two.record(false), Course::Outcome::Hint);
        QCOMPARE(two.record(false), Course::Outcome::DrawnForPupil);
        Course five(2, 9);
        QCOMPARE(five.missesForDrawing(), 5);
        const Course::Outcome expected[]
            = {Course::Outcome::Missed, Course::Outcome::Hint, Course::Outcome::Hint, Course::Outcome::Hint,
               Course::Outcome::DrawnForPupil};
        for (Course::Outcome o : expected)
            QCOMPARE(five.record(false), o);
        QCOMPARE(Course(1, 0).missesForDrawing(), 2);

        QCOMPARE(writingcourse::scoreText(7, 9), QStringLiteral("一次写对 7 笔，共 9 笔"));
        QCOMPARE(writingcourse::starsFor(9, 9), 3);
        QCOMPARE(writingcourse::starsFor(7, 9), 2);
        QCOMPARE(writingcourse::starsFor(6, 9), 1);
        QCOMPARE(writingcourse::starsFor(0, 9), 1);
    }

    // "下一个字" walks the bank's characters that have strokes, wrapping, and
    // never to the character itself; a pinyin card opens 天 and says so.
    void picking()
    {
        const auto hasStrokes = [](QChar c) { return c != u'地'; };
        const QString bank = QStringLiteral("ā 天地 b 天 人 大");
        QCOMPARE(writingcourse::nextCharacter(bank, QStringLiteral("天"), hasStrokes), QStringLiteral("人"));
        QCOMPARE(writingcourse::nextCharacter(bank, QStringLiteral("大"), hasStrokes), QStringLiteral("天"));
        QCOMPARE(writingcourse::nextCharacter(bank, QStringLiteral("b"), hasStrokes), QStringLiteral("天"));
        QCOMPARE(writingcourse::nextCharacter(QStringLiteral("ā 天"), QStringLiteral("天"), hasStrokes),
                 QString());
        QCOMPARE(writingcourse::nextCharacter(QStringLiteral("ā 天"), QStringLiteral("人"), hasStrokes),
                 QStringLiteral("天"));
        QCOMPARE(writingcourse::nextCharacter(QStringLiteral("ā b"), QStringLiteral("天"), hasStrokes),
                 QString());

        QCOMPARE(writingcourse::characterFor(QStringLiteral("地球")), QStringLiteral("地"));
        QCOMPARE(writingcourse::characterFor(QStringLiteral("bā")), QStringLiteral("天"));
        QCOMPARE(writingcourse::menuText(QStringLiteral("地球")), QStringLiteral("练习书写…"));
        QCOMPARE(writingcourse::menuText(QStringLiteral("bā")), QStringLiteral("练习书写“天”…"));
    }
};

QTEST_APPLESS_MAIN(WritingCheck)
#include "writing_check.moc"
