#include "rules/history.h"

#include <QSet>

#include <algorithm>

namespace history {

namespace {

const QString dictationWord = QStringLiteral("听写");
const QString writingWord = QStringLiteral("练写");
const QString rightWord = QStringLiteral("对");
const QString wrongWord = QStringLiteral("错");

// Two digits, or -1.
int digits(QStringView s, qsizetype at, int count)
{
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = s.at(at + i);
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c.unicode() - u'0');
    }
    return v;
}

// "yyyy-MM-dd HH:mm:ss", read by hand: ten years of lines open in a blink,
// which QDateTime::fromString's general parser would not allow.
QDateTime parseMoment(QStringView s)
{
    if (s.size() != 19 || s.at(4) != u'-' || s.at(7) != u'-' || s.at(10) != u' ' || s.at(13) != u':'
        || s.at(16) != u':')
        return {};
    const QDate date(digits(s, 0, 4), digits(s, 5, 2), digits(s, 8, 2));
    const int h = digits(s, 11, 2), m = digits(s, 14, 2), sec = digits(s, 17, 2);
    if (!date.isValid() || !QTime::isValid(h, m, sec))
        return {};
    return QDateTime(date, QTime(h, m, sec));
}

std::optional<bool> parseMark(QStringView s)
{
    if (s == rightWord)
        return true;
    if (s == wrongWord)
        return false;
    return std::nullopt;
}

// "3/4": strokes right at the first try of all.
bool parseStrokes(QStringView s, Entry &e)
{
    const qsizetype slash = s.indexOf(u'/');
    if (slash <= 0)
        return false;
    bool ok1 = false, ok2 = false;
    e.firstTry = s.first(slash).toInt(&ok1);
    e.strokes = s.sliced(slash + 1).toInt(&ok2);
    return ok1 && ok2 && e.strokes > 0 && e.strokes <= 99 && e.firstTry >= 0 && e.firstTry <= e.strokes;
}

bool isWrong(const Entry &e) { return !e.right; }

} // namespace

QString entryLine(const Entry &e)
{
    const QString when = e.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (e.activity == Activity::Dictation)
        return QStringList {when, dictationWord, e.item, e.right ? rightWord : wrongWord}.join(u'\t');
    return QStringList {when, writingWord, e.item, QStringLiteral("%1/%2").arg(e.firstTry).arg(e.strokes),
                        e.right ? rightWord : wrongWord}
        .join(u'\t');
}

namespace {
// `known`: the moment of the line before when this line begins with the same.
std::optional<Entry> parseLine(QStringView line, const QDateTime &known)
{
    if (line.endsWith(u'\r'))
        line.chop(1);
    const QList<QStringView> f = line.split(u'\t');
    if (f.size() < 4)
        return std::nullopt;
    Entry e;
    e.when = known.isValid() ? known : parseMoment(f.at(0));
    e.item = f.at(2).toString();
    if (!e.when.isValid() || e.item.isEmpty() || e.item.contains(u' '))
        return std::nullopt;
    if (f.at(1) == dictationWord && f.size() == 4) {
        e.activity = Activity::Dictation;
        const std::optional<bool> mark = parseMark(f.at(3));
        if (!mark)
            return std::nullopt;
        e.right = *mark;
        return e;
    }
    if (f.at(1) == writingWord && f.size() == 5) {
        e.activity = Activity::Writing;
        const std::optional<bool> mark = parseMark(f.at(4));
        if (!mark || !parseStrokes(f.at(3), e))
            return std::nullopt;
        e.right = *mark;
        return e;
    }
    return std::nullopt;
}
} // namespace

std::optional<Entry> parseEntryLine(QStringView line) { return parseLine(line, QDateTime()); }

QDateTime periodStart(Period period, const QDateTime &now)
{
    const QDate today = now.date();
    switch (period) {
    case Period::Week: return QDateTime(today.addDays(1 - today.dayOfWeek()), QTime(0, 0));
    case Period::Month: return QDateTime(QDate(today.year(), today.month(), 1), QTime(0, 0));
    case Period::All: break;
    }
    return {};
}

History History::parse(QStringView text)
{
    History h;
    QList<Entry> read;
    // A run's lines follow one another; its start seen again later means the
    // run was written again, and its earlier lines no longer count.
    QHash<QDateTime, QList<qsizetype>> runLines;
    QList<bool> dropped;
    QDateTime lastRun;
    QStringView lastMoment;
    QDateTime lastParsed;
    int number = 0;
    for (QStringView line : text.split(u'\n')) {
        ++number;
        if (line.trimmed().isEmpty())
            continue;
        // The lines of one run share their moment: it is parsed once.
        const bool same = !lastMoment.isEmpty() && line.size() > 19 && line.at(19) == u'\t'
            && line.first(19) == lastMoment;
        std::optional<Entry> e = parseLine(line, same ? lastParsed : QDateTime());
        if (e && !same) {
            lastMoment = line.first(19);
            lastParsed = e->when;
        }
        if (!e) {
            h.m_badLines << number;
            lastRun = QDateTime();
            continue;
        }
        if (e->activity == Activity::Dictation) {
            if (e->when != lastRun) {
                auto it = runLines.find(e->when);
                if (it != runLines.end()) {
                    for (qsizetype i : std::as_const(*it))
                        dropped[i] = true;
                    it->clear();
                }
                lastRun = e->when;
            }
            runLines[e->when] << read.size();
        } else {
            lastRun = QDateTime();
        }
        read << *e;
        dropped << false;
    }
    h.m_entries.reserve(read.size());
    for (qsizetype i = 0; i < read.size(); ++i)
        if (!dropped.at(i))
            h.m_entries << std::move(read[i]);
    return h;
}

QString History::badLinesText() const
{
    if (m_badLines.isEmpty())
        return QString();
    QStringList numbers;
    for (int n : m_badLines.first(std::min<qsizetype>(m_badLines.size(), 10)))
        numbers << QString::number(n);
    if (m_badLines.size() > 10)
        numbers.last() += QStringLiteral("…");
    return QStringLiteral("学习记录.txt 有 %1 行看不懂，没有用上：第 %2 行。")
        .arg(m_badLines.size())
        .arg(numbers.join(u'、'));
}

void History::add(const QList<Entry> &entries)
{
    if (entries.isEmpty())
        return;
    // A run written again replaces its earlier lines, as parse() would read it.
    const Entry &first = entries.first();
    if (first.activity == Activity::Dictation)
        m_entries.removeIf([&first](const Entry &e) {
            return e.activity == Activity::Dictation && e.when == first.when;
        });
    m_entries += entries;
}

QList<History::Run> History::dictations(const QDateTime &since) const
{
    QList<Run> runs;
    for (const Entry &e : m_entries) {
        if (e.activity != Activity::Dictation || (since.isValid() && e.when < since))
            continue;
        if (runs.isEmpty() || runs.last().when != e.when)
            runs << Run {e.when, 0, 0};
        ++runs.last().total;
        runs.last().right += e.right ? 1 : 0;
    }
    std::stable_sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) { return a.when < b.when; });
    return runs;
}

QList<History::Count> History::mostOftenWrong(int count, const QDateTime &since) const
{
    QHash<QString, std::pair<int, qsizetype>> wrong; // count, index of the last mistake
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const Entry &e = m_entries.at(i);
        if (isWrong(e) && (!since.isValid() || e.when >= since)) {
            auto &w = wrong[e.item];
            ++w.first;
            w.second = i;
        }
    }
    QList<std::pair<QString, std::pair<int, qsizetype>>> all;
    all.reserve(wrong.size());
    for (auto it = wrong.cbegin(); it != wrong.cend(); ++it)
        all.append({it.key(), it.value()});
    std::sort(all.begin(), all.end(), [](const auto &a, const auto &b) {
        return a.second.first != b.second.first ? a.second.first > b.second.first
                                                : a.second.second > b.second.second;
    });
    QList<Count> out;
    for (const auto &[item, w] : all.first(std::min<qsizetype>(all.size(), std::max(0, count))))
        out << Count {item, w.first};
    return out;
}

int History::rightInARow(const QString &item) const
{
    int run = 0;
    for (auto it = m_entries.crbegin(); it != m_entries.crend(); ++it) {
        if (it->activity != Activity::Dictation || it->item != item)
            continue;
        if (!it->right)
            break;
        ++run;
    }
    return run;
}

int History::wrongCount(const QString &item) const
{
    return int(std::count_if(m_entries.cbegin(), m_entries.cend(),
                             [&item](const Entry &e) { return e.item == item && isWrong(e); }));
}

QStringList History::mastered(const QStringList &items, int inARow) const
{
    // From the newest line back: an item's streak ends at its first mistake.
    const QSet<QString> wanted(items.cbegin(), items.cend());
    QHash<QString, int> streak;
    QSet<QString> ended;
    for (auto it = m_entries.crbegin(); it != m_entries.crend(); ++it) {
        if (it->activity != Activity::Dictation || !wanted.contains(it->item) || ended.contains(it->item))
            continue;
        if (it->right)
            ++streak[it->item];
        else
            ended.insert(it->item);
    }
    QStringList out;
    for (const QString &item : items)
        if (streak.value(item) >= inARow && !out.contains(item))
            out << item;
    return out;
}

int History::dictatedAtLeastOnce(const QStringList &bankItems, const QDateTime &since) const
{
    QSet<QString> dictated;
    for (const Entry &e : m_entries)
        if (e.activity == Activity::Dictation && (!since.isValid() || e.when >= since))
            dictated.insert(e.item);
    const QSet<QString> bank(bankItems.cbegin(), bankItems.cend());
    return int(std::count_if(bank.cbegin(), bank.cend(), [&](const QString &i) { return dictated.contains(i); }));
}

QList<History::Day> History::writingPerDay(const QDateTime &since) const
{
    QMap<QDate, Day> days;
    for (const Entry &e : m_entries) {
        if (e.activity != Activity::Writing || (since.isValid() && e.when < since))
            continue;
        Day &d = days[e.when.date()];
        d.date = e.when.date();
        ++d.characters;
        d.right += e.right ? 1 : 0;
        d.strokes += e.strokes;
        d.firstTry += e.firstTry;
    }
    return days.values();
}

QString masteredQuestion(const QStringList &items, int inARow)
{
    return QStringLiteral("这些已经连续写对 %1 次，可以从错字本里去掉：%2").arg(inARow).arg(items.join(u' '));
}

} // namespace history
