#include "rules/history.h"

#include <QSet>

#include <array>

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
// which QDateTime::fromString's general parser would not allow. The moment
// as seconds of the wall clock (Julian day * 86400 + time), or -1.
qint64 parseMoment(QStringView s)
{
    if (s.size() != 19 || s.at(4) != u'-' || s.at(7) != u'-' || s.at(10) != u' ' || s.at(13) != u':'
        || s.at(16) != u':')
        return -1;
    const int y = digits(s, 0, 4), mo = digits(s, 5, 2), d = digits(s, 8, 2);
    const int h = digits(s, 11, 2), m = digits(s, 14, 2), sec = digits(s, 17, 2);
    // A digit that is none gives -1, and -1 is a year QDate takes (1 BC).
    if (y < 1 || mo < 0 || d < 0 || !QDate::isValid(y, mo, d) || !QTime::isValid(h, m, sec))
        return -1;
    const QDate date(y, mo, d);
    return date.toJulianDay() * 86400 + h * 3600 + m * 60 + sec;
}

QDateTime momentAt(qint64 wallClock)
{
    return QDateTime(QDate::fromJulianDay(wallClock / 86400), QTime(0, 0).addSecs(int(wallClock % 86400)));
}

// Comparing local moments by their wall clock: QDateTime's own comparison
// asks the time zone database each time, which ten years of lines feel.
bool before(const QDateTime &a, const QDateTime &b)
{
    return a.date() != b.date() ? a.date() < b.date() : a.time() < b.time();
}
bool same(const QDateTime &a, const QDateTime &b) { return a.date() == b.date() && a.time() == b.time(); }
bool since(const Entry &e, const QDateTime &start) { return !start.isValid() || !before(e.when, start); }

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
// The line's entry; `moment` is the wall clock of its first field, parsed
// by the caller.
std::optional<Entry> parseLine(QStringView line, qint64 moment, const QDateTime &when)
{
    if (line.endsWith(u'\r'))
        line.chop(1);
    std::array<QStringView, 5> f;
    qsizetype fields = 0;
    for (qsizetype from = 0;; ++fields) {
        const qsizetype tab = line.indexOf(u'\t', from);
        if (fields == qsizetype(f.size()))
            return std::nullopt;
        f[fields] = line.sliced(from, (tab < 0 ? line.size() : tab) - from);
        if (tab < 0)
            break;
        from = tab + 1;
    }
    ++fields;
    if (fields < 4 || moment < 0 || f[2].isEmpty() || f[2].contains(u' '))
        return std::nullopt;
    Entry e;
    if (f[1] == dictationWord && fields == 4) {
        e.activity = Activity::Dictation;
        const std::optional<bool> mark = parseMark(f[3]);
        if (!mark)
            return std::nullopt;
        e.right = *mark;
    } else if (f[1] == writingWord && fields == 5) {
        e.activity = Activity::Writing;
        const std::optional<bool> mark = parseMark(f[4]);
        if (!mark || !parseStrokes(f[3], e))
            return std::nullopt;
        e.right = *mark;
    } else {
        return std::nullopt;
    }
    e.when = when;
    e.item = f[2].toString();
    return e;
}
} // namespace

std::optional<Entry> parseEntryLine(QStringView line)
{
    const qint64 moment = parseMoment(line.first(std::min<qsizetype>(19, line.size())));
    return parseLine(line, moment, moment < 0 ? QDateTime() : momentAt(moment));
}

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
    QList<bool> dropped;
    // A run's lines follow one another; its start seen again later means the
    // run was written again, and its earlier lines no longer count.
    QHash<qint64, std::pair<qsizetype, qsizetype>> runs; // first line in `read`, count
    qint64 lastRun = -1;
    QStringView lastField;
    qint64 lastMoment = -1;
    QDateTime lastWhen;
    int number = 0;
    for (qsizetype from = 0; from <= text.size();) {
        qsizetype end = text.indexOf(u'\n', from);
        if (end < 0)
            end = text.size();
        const QStringView line = text.sliced(from, end - from);
        from = end + 1;
        ++number;
        if (line.trimmed().isEmpty())
            continue;
        // The lines of one run share their moment: it is parsed once.
        const QStringView field = line.first(std::min<qsizetype>(19, line.size()));
        if (field != lastField) {
            lastField = field;
            lastMoment = parseMoment(field);
            lastWhen = lastMoment < 0 ? QDateTime() : momentAt(lastMoment);
        }
        std::optional<Entry> e = parseLine(line, lastMoment, lastWhen);
        // A line spoilt by hand inside a run leaves the run whole. A last
        // line without its end is a write cut off by a kill or a power cut:
        // no one's edit, and the next lines written take it back.
        if (!e) {
            if (end < text.size() || text.endsWith(u'\n'))
                h.m_badLines << number;
            continue;
        }
        if (e->activity == Activity::Dictation) {
            if (lastMoment != lastRun) {
                auto it = runs.find(lastMoment);
                if (it != runs.end())
                    for (qsizetype i = it->first; i < it->first + it->second; ++i)
                        dropped[i] = true;
                runs.insert(lastMoment, {read.size(), 0});
                lastRun = lastMoment;
            }
            ++runs[lastMoment].second;
        } else {
            lastRun = -1;
        }
        read << std::move(*e);
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
            return e.activity == Activity::Dictation && same(e.when, first.when);
        });
    m_entries += entries;
}

QList<History::Run> History::dictations(const QDateTime &start) const
{
    QList<Run> runs;
    for (const Entry &e : m_entries) {
        if (e.activity != Activity::Dictation || !history::since(e, start))
            continue;
        if (runs.isEmpty() || !same(runs.last().when, e.when))
            runs << Run {e.when, 0, 0};
        ++runs.last().total;
        runs.last().right += e.right ? 1 : 0;
    }
    std::stable_sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) { return before(a.when, b.when); });
    return runs;
}

QList<History::Count> History::mostOftenWrong(int count, const QDateTime &start) const
{
    QHash<QString, std::pair<int, qsizetype>> wrong; // count, index of the last mistake
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const Entry &e = m_entries.at(i);
        if (isWrong(e) && history::since(e, start)) {
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

int History::dictatedAtLeastOnce(const QStringList &bankItems, const QDateTime &start) const
{
    QSet<QString> dictated;
    for (const Entry &e : m_entries)
        if (e.activity == Activity::Dictation && history::since(e, start))
            dictated.insert(e.item);
    const QSet<QString> bank(bankItems.cbegin(), bankItems.cend());
    return int(std::count_if(bank.cbegin(), bank.cend(), [&](const QString &i) { return dictated.contains(i); }));
}

QList<History::Day> History::writingPerDay(const QDateTime &start) const
{
    QMap<QDate, Day> days;
    for (const Entry &e : m_entries) {
        if (e.activity != Activity::Writing || !history::since(e, start))
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
