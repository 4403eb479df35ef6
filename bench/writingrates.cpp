#include "bench/writingrates.h"

#include "bench/writinghand.h"
#include "bench/writingjudge.h"
#include "core/strokedata.h"
#include "resources/presets.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using writingjudge::Attempt;
using writingjudge::Input;
using writingjudge::Line;

namespace writingrates {
namespace {

// Common characters of the second and third grades, after the first-grade list.
const char16_t kMoreCharacters[]
    = u"春夏秋冬风花草树叶飞鱼鸡鸭羊狗猫兔虾家门窗桌椅床灯笔纸画字读写说话听看走跑跳坐站吃喝睡笑哭唱歌跟朋友"
      u"老师生校园课文语数色红黄绿蓝黑高低远近前左右南北方外内冷热新旧快慢爱想要给送拿放关进起请谢再时间年星"
      u"期"
      u"今昨晚午夜晴阴雪雷电光海河江湖桥船车路城村地米面饭菜肉蛋茶汤瓜豆苗种会能以没还很真太最都也就这那哪谁"
      u"什"
      u"么怎样为因所但如被让叫做作找答知道认识记忘发现变成像较更些每各部分双件条张块片支位名号岁斤两元角毛钱"
      u"买"
      u"卖店商市场医院病药身体脸眼睛鼻嘴朵舌指脚腿血骨皮服裤鞋帽包伞球玩游戏舞琴棋报信视脑机汽农兵军国旗首京"
      u"华"
      u"民族世界";

constexpr int kPupils = 3; // hands per character

enum Kind {
    WholeOther,
    WholeSmall,
    WholeShifted,
    WholeScaled,
    Reversed,
    Swapped,
    ShiftedQuarter,
    Scribble,
    Dot,
    Twice,
    OtherCharacter,
    KindCount
};
const char *const kKindNames[] = {
    "  another hand",
    "  the same hand at 60 % size",
    "  shifted by 8 % of the box",
    "  at 0.8 of the size",
    "  reversed",
    "  swapped with the next",
    "  shifted 1/4 box",
    "  scribble",
    "  a dot for a long stroke",
    "  twice the length",
    "  another character's stroke",
};
constexpr int kFirstWrong = Reversed;

struct Model {
    QString character;
    QList<QList<QPointF>> medians;
};

QList<Model> models()
{
    QStringList chars = resources::firstGradeCharacters().split(u' ', Qt::SkipEmptyParts);
    for (QChar c : QString::fromUtf16(kMoreCharacters))
        chars.append(QString(c));
    QList<Model> out;
    QStringList seen;
    for (const QString &c : std::as_const(chars)) {
        const auto glyph = StrokeData::bundled().find(*StrokeData::singleCodePoint(c));
        if (glyph && !seen.contains(c)) {
            seen.append(c);
            out.append({c, glyph->medians});
        }
    }
    return out;
}

struct Plan {
    Input input;
    QList<int> kinds; // of each attempt
    int characters = 0;
};

QList<QList<QPointF>> drawAll(const Model &m, const writinghand::Placement &p, std::mt19937 &rng)
{
    QList<QList<QPointF>> strokes;
    for (const QList<QPointF> &median : m.medians)
        strokes.append(writinghand::draw(median, p, rng));
    return strokes;
}

// The wrong stroke of a kind at a stroke of the character, drawn by the
// pupil's hand; nothing when the kind does not apply there.
std::optional<QList<QPointF>> wrongStroke(int kind, const QList<Model> &all, int self, int k,
                                          const writinghand::Placement &hand, std::mt19937 &rng)
{
    const Model &m = all[self];
    const QList<QPointF> &median = m.medians[k];
    switch (kind) {
    case Reversed: {
        QList<QPointF> s = writinghand::draw(median, hand, rng);
        std::reverse(s.begin(), s.end());
        return s;
    }
    case Swapped:
        if (k + 1 >= m.medians.size())
            return std::nullopt;
        return writinghand::draw(m.medians[k + 1], hand, rng);
    case ShiftedQuarter: {
        if (k == 0)
            return std::nullopt;
        const double a = std::uniform_real_distribution<double>(0, 2 * M_PI)(rng);
        QList<QPointF> s = writinghand::draw(median, hand, rng);
        for (QPointF &p : s)
            p += QPointF(std::cos(a), std::sin(a)) * 256;
        return s;
    }
    case Scribble: return writinghand::scribble(hand, rng);
    case Dot:
        if (strokecheck::polylineLength(median) < 250)
            return std::nullopt;
        return writinghand::draw(writinghand::dotAtStart(median, rng), hand, rng);
    case Twice: return writinghand::draw(writinghand::doubled(median), hand, rng);
    case OtherCharacter: {
        const int other = (self + 1 + int(rng() % (all.size() - 1))) % int(all.size());
        const QList<QList<QPointF>> &medians = all[other].medians;
        return writinghand::draw(medians[rng() % medians.size()], hand, rng);
    }
    default: return std::nullopt;
    }
}

Plan plan()
{
    const QList<Model> all = models();
    Plan plan;
    plan.characters = int(all.size());
    std::mt19937 rng(2604);
    auto add = [&](int kind, const QString &c, QList<QList<QPointF>> strokes) {
        plan.input.attempts.append(Attempt {c, std::move(strokes)});
        plan.kinds.append(kind);
    };
    for (int pupil = 0; pupil < kPupils; ++pupil) {
        for (int self = 0; self < all.size(); ++self) {
            const Model &m = all[self];
            const writinghand::Placement hand = writinghand::anotherHand(rng);
            const QList<QList<QPointF>> good = drawAll(m, hand, rng);
            add(WholeOther, m.character, good);
            add(WholeSmall, m.character, drawAll(m, writinghand::scaledInMiddle(0.6), rng));
            add(WholeShifted, m.character, drawAll(m, writinghand::shiftedBy(0.08, rng), rng));
            add(WholeScaled, m.character, drawAll(m, writinghand::scaledInMiddle(0.8), rng));
            for (int kind = kFirstWrong; kind < KindCount; ++kind) {
                // A few tries for a stroke where the kind applies.
                for (int tries = 0; tries < 8; ++tries) {
                    const int k = int(rng() % m.medians.size());
                    if (auto wrong = wrongStroke(kind, all, self, k, hand, rng)) {
                        add(kind, m.character, good.mid(0, k) << *wrong);
                        break;
                    }
                }
            }
        }
    }
    return plan;
}

// The reason a refusal of a kind should give first; empty: any.
const char16_t *const kToldReason[KindCount] = {
    nullptr,     nullptr, nullptr,     nullptr,     u"方向不对", u"笔顺不对",
    u"位置偏了", nullptr, u"笔画太短", u"笔画太长", nullptr,
};

struct Rates {
    bool known = false;
    double share[KindCount] = {};
    // Of the refusals of a kind, those that give its reason first.
    double told[KindCount] = {};
    // Of the swapped strokes refused, those called the wrong order at all.
    double swappedAsOrder = 0;
};

Rates ratesOf(const Plan &plan, const QList<Line> &lines)
{
    QList<QList<const Line *>> byAttempt(plan.input.attempts.size());
    for (const Line &l : lines)
        if (l.attempt >= 0 && l.attempt < byAttempt.size())
            byAttempt[l.attempt].append(&l);
    int count[KindCount] = {}, hits[KindCount] = {}, refused[KindCount] = {}, told[KindCount] = {};
    int swappedOrder = 0;
    for (qsizetype a = 0; a < byAttempt.size(); ++a) {
        const int kind = plan.kinds[a];
        const QList<const Line *> &ls = byAttempt[a];
        if (ls.size() != plan.input.attempts[a].strokes.size())
            return {}; // an answer missing: no figures rather than wrong ones
        ++count[kind];
        if (kind < kFirstWrong) {
            hits[kind] += std::all_of(ls.cbegin(), ls.cend(), [](const Line *l) { return l->accepted; });
            continue;
        }
        const Line &last = *ls.last();
        hits[kind] += last.accepted;
        if (last.accepted)
            continue;
        ++refused[kind];
        if (kToldReason[kind])
            told[kind] += last.reasons.value(0) == QString::fromUtf16(kToldReason[kind]);
        if (kind == Swapped)
            swappedOrder += last.reasons.contains(QStringLiteral("笔顺不对"));
    }
    Rates r;
    r.known = true;
    auto percent = [](int part, int whole) { return whole ? 100.0 * part / whole : 0; };
    for (int k = 0; k < KindCount; ++k) {
        r.share[k] = percent(hits[k], count[k]);
        r.told[k] = percent(told[k], refused[k]);
    }
    r.swappedAsOrder = percent(swappedOrder, refused[Swapped]);
    return r;
}

std::optional<QList<Line>> linesOf(const QByteArray &output)
{
    QList<Line> lines;
    for (const QByteArray &text : output.split('\n')) {
        if (text.trimmed().isEmpty())
            continue;
        const auto line = writingjudge::parseLine(text);
        if (!line)
            return std::nullopt;
        lines.append(*line);
    }
    return lines;
}

// Another program's answers for the attempts in `file`; nothing when it fails.
std::optional<QList<Line>> runJudge(const QString &program, const QStringList &args, double *seconds)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(30 * 60 * 1000)
        || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "  %s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
        return std::nullopt;
    }
    *seconds = t.elapsed() / 1000.0;
    return linesOf(p.readAllStandardOutput());
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() && f.flush();
}

// Recorded with this table's strokes by the check before strokes were judged
// in the pupil's frame (commit 5df7683's, through the --judge of commit
// 343df88): 宽松, 一般, 严格.
// Shares as printed (kinds in the order of Kind; told: reversed, swapped,
// shifted, dot and twice).
Rates recorded(std::initializer_list<double> shares, std::initializer_list<double> told, double asOrder)
{
    Rates r;
    r.known = true;
    std::copy(shares.begin(), shares.end(), r.share);
    const int toldKinds[] = {Reversed, Swapped, ShiftedQuarter, Dot, Twice};
    for (int i = 0; i < 5; ++i)
        r.told[toldKinds[i]] = told.begin()[i];
    r.swappedAsOrder = asOrder;
    return r;
}

const Rates kRecordedBefore[3] = {
    recorded({59.0, 1.9, 91.6, 97.0, 0.0, 2.3, 0.8, 0.4, 0.0, 4.4, 1.9}, {100.0, 0.1, 2.4, 0.6, 0.1}, 0.1),
    recorded({25.0, 0.1, 8.4, 41.0, 0.0, 0.9, 0.0, 0.1, 0.0, 0.8, 1.0}, {100.0, 0.0, 0.3, 0.1, 0.2}, 0.0),
    recorded({3.8, 0.0, 0.0, 0.7, 0.0, 0.2, 0.0, 0.0, 0.0, 0.0, 0.3}, {100.0, 0.0, 0.0, 0.0, 0.0}, 0.0),
};

void printRow(const char *name, const Rates (&now)[3], const Rates (&before)[3], const Rates &writer,
              const std::function<double(const Rates &)> &value)
{
    auto cell = [&](const Rates &r) {
        if (r.known)
            std::printf(" %6.1f", value(r));
        else
            std::printf("      -");
    };
    std::printf("%-34s", name);
    for (const Rates &r : now)
        cell(r);
    std::printf("   |");
    for (const Rates &r : before)
        cell(r);
    std::printf("   |");
    cell(writer);
    std::printf("\n");
}

void printTable(const Rates (&now)[3], const Rates (&before)[3], const Rates &writer, bool beforeRecorded)
{
    const Rates none;
    std::printf("%-34s   宽松   一般   严格 |   宽松   一般   严格 | hanzi-writer\n",
                "(%)                    now:");
    for (int k = 0; k < KindCount; ++k) {
        if (k == WholeOther)
            std::printf("whole character right at the first try, before:\n");
        if (k == kFirstWrong)
            std::printf("wrong stroke taken\n");
        printRow(kKindNames[k], now, before, writer, [k](const Rates &r) { return r.share[k]; });
    }
    std::printf("refused, telling why first\n");
    for (int k = kFirstWrong; k < KindCount; ++k)
        if (kToldReason[k])
            printRow(qPrintable(QStringLiteral("%1: %2")
                                    .arg(QString::fromLatin1(kKindNames[k]))
                                    .arg(QString::fromUtf16(kToldReason[k]))),
                     now, before, none, [k](const Rates &r) { return r.told[k]; });
    printRow("  swapped, called 笔顺不对 at all", now, before, none,
             [](const Rates &r) { return r.swappedAsOrder; });
    if (beforeRecorded)
        std::printf(
            "(before: the check of commit 5df7683, recorded with these strokes; --before PROGRAM, the "
            "lorvanta-bench-writing of commit 343df88, measures it again)\n");
}

} // namespace

void run(const Options &options)
{
    const QString &before = options.before;
    const Plan p = plan();
    qsizetype strokes = 0;
    for (const Attempt &a : p.input.attempts)
        strokes += a.strokes.size();
    std::printf("Writing check: %d characters (the first-grade list and common characters of the second and "
                "third grades), %d pupils each, %lld attempts, %lld strokes\n",
                p.characters, kPupils, static_cast<long long>(p.input.attempts.size()),
                static_cast<long long>(strokes));
    std::printf(
        "  another hand: scale 0.75-1.1, rotation up to 6 degrees, shear up to 0.1, shift up to 8 %% of "
        "the box, a warp up to 2.5 %%;\n  each stroke 5-10 %% short or long at each end, a wobble, "
        "entry ticks and flicks, uneven speed, pixel rounding\n");

    QTemporaryDir dir;
    Rates now[3], old[3], writer;
    const char *const words[] = {"loose", "normal", "strict"};
    for (int level = 0; level < 3; ++level) {
        Input input = p.input;
        input.strictness = strokecheck::Strictness(level);
        QElapsedTimer t;
        t.start();
        now[level] = ratesOf(p, writingjudge::judge(input));
        std::printf("  judged at %s in %.1f s\n", words[level], t.elapsed() / 1000.0);
        const QString file = dir.filePath(QStringLiteral("attempts-%1.json").arg(level));
        if (!before.isEmpty() && writeFile(file, writingjudge::toJson(input))) {
            double seconds = 0;
            if (const auto lines = runJudge(before, {QStringLiteral("--judge"), file}, &seconds))
                old[level] = ratesOf(p, *lines);
        }
        if (level == 1 && options.hanziWriter) {
            const QString writerDir
                = QStringLiteral(LORVANTA_SOURCE_DIR "/third_party/bench/node_modules/hanzi-writer");
            double seconds = 0;
            if (!QFileInfo::exists(writerDir + QStringLiteral("/dist/index.cjs.js")))
                std::printf(
                    "  hanzi-writer is not installed (bash bench/setup-hanzi-writer.sh installs it)\n");
            else if (writeFile(file, writingjudge::toJson(input))) {
                const auto lines
                    = runJudge(QStringLiteral("node"),
                               {QStringLiteral(LORVANTA_SOURCE_DIR "/bench/hanzi_writer_judge.js"), file,
                                writerDir, QStringLiteral(LORVANTA_STROKE_PACKAGE)},
                               &seconds);
                if (lines)
                    writer = ratesOf(p, *lines);
                std::printf("  hanzi-writer judged in %.1f s\n", seconds);
            }
        }
    }
    const bool recorded = before.isEmpty();
    if (recorded)
        std::copy(std::begin(kRecordedBefore), std::end(kRecordedBefore), std::begin(old));
    printTable(now, old, writer, recorded);
}

} // namespace writingrates
