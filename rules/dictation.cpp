#include "rules/dictation.h"

#include "core/settingkeys.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "rules/deck.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace dictation {

// ---------------------------------------------------------------- settings

namespace sk = settingkeys;
static_assert(sk::dictationOrder.high == int(Order::Picked)
              && sk::dictationWords.high == int(WordMode::WordOnly));

Settings Settings::fromValues(const std::function<QString(const QString &key)> &stored)
{
    const auto get
        = [&stored](const sk::Key &key) { return sk::parse(key, stored(QLatin1String(key.name))); };
    Settings s;
    s.order = Order(get(sk::dictationOrder));
    s.repeats = get(sk::dictationRepeats);
    s.pauseSeconds = get(sk::dictationPause);
    s.writeSeconds = get(sk::dictationWrite);
    s.manual = get(sk::dictationManual);
    s.pinyin = get(sk::dictationPinyin);
    s.words = WordMode(get(sk::dictationWords));
    s.lastCount = get(sk::dictationLast);
    s.masteredAfter = get(sk::dictationMastered);
    return s;
}

Settings Settings::load()
{
    return fromValues([](const QString &key) {
        return modPub::getSetting(QLatin1String(sk::dictationOrder.section), key);
    });
}

QString Settings::save() const
{
    // One write: a store that cannot be locked costs one short wait, not one per key.
    return sk::save({
        {sk::dictationOrder, int(order)},
        {sk::dictationRepeats, repeats},
        {sk::dictationPause, pauseSeconds},
        {sk::dictationWrite, writeSeconds},
        {sk::dictationManual, int(manual)},
        {sk::dictationPinyin, int(pinyin)},
        {sk::dictationWords, int(words)},
        {sk::dictationLast, lastCount},
        {sk::dictationMastered, masteredAfter},
    });
}

// ---------------------------------------------------------------- items

QStringList runItems(const QString &bankText, Order order, int shownIndex, bool pinyin, int lastCount)
{
    const QStringList bankSlots = deck::itemList(bankText);
    const int first = order == Order::FromShown ? std::clamp(shownIndex, 1, int(bankSlots.size())) : 1;
    static const QRegularExpression space(QStringLiteral("\\s+"));
    QStringList items;
    QSet<QString> seen;
    for (int i = first; i < bankSlots.size(); ++i) {
        for (const QString &piece : bankSlots.at(i).split(space, Qt::SkipEmptyParts)) {
            const QString item = deck::normalizedForm(piece);
            if (!pinyin && !deck::isChinese(item))
                continue;
            if (!seen.contains(item)) {
                seen.insert(item);
                items.append(item);
            }
        }
    }
    if (order == Order::Last)
        items = items.mid(std::max<qsizetype>(0, items.size() - std::max(lastCount, 0)));
    if (order == Order::Shuffled && items.size() > 1)
        items = modPub::shuffleItems(items.join(QLatin1Char(' '))).split(QLatin1Char(' '));
    return items;
}

// ---------------------------------------------------------------- schedule

Schedule::Schedule(int itemCount, int repeats, int pauseMs, int writeMs, bool manual)
    : m_count(std::max(0, itemCount)), m_repeats(std::clamp(repeats, 1, Settings::maxRepeats)),
      m_pauseMs(std::max(0, pauseMs)), m_writeMs(std::max(0, writeMs)), m_manual(manual)
{ }

std::optional<Reading> Schedule::speak(int item, int repeat, qint64 now)
{
    m_paused = false;
    m_item = item;
    m_repeat = repeat;
    m_reached = std::max(m_reached, item + 1);
    m_phase = Phase::Speaking;
    m_due = now + speakingLimitMs;
    return Reading {item, repeat};
}

std::optional<Reading> Schedule::start(qint64 now)
{
    if (m_started)
        return std::nullopt;
    m_started = true;
    if (m_count == 0) {
        m_phase = Phase::Finished;
        return std::nullopt;
    }
    return speak(0, 1, now);
}

void Schedule::afterReading(qint64 now)
{
    if (m_repeat < m_repeats) {
        m_phase = Phase::BetweenReadings;
        m_due = now + m_pauseMs;
    } else if (m_manual) {
        m_phase = Phase::WaitingForParent;
        m_due = -1;
    } else {
        m_phase = Phase::Writing;
        m_due = now + m_writeMs;
    }
}

void Schedule::soundEnded(qint64 now)
{
    if (m_phase == Phase::Speaking && !m_paused)
        afterReading(now);
}

std::optional<Reading> Schedule::due(qint64 now)
{
    if (!m_started || m_paused || m_due < 0 || now < m_due)
        return std::nullopt;
    switch (m_phase) {
    case Phase::Speaking:
        // Nothing was heard of the end in time: the run goes on all the same.
        afterReading(now);
        return due(now);
    case Phase::BetweenReadings: return speak(m_item, m_repeat + 1, now);
    case Phase::Writing: return forward(now);
    case Phase::WaitingForParent:
    case Phase::Finished: break;
    }
    return std::nullopt;
}

std::optional<Reading> Schedule::repeatNow(qint64 now)
{
    if (!m_started || finished())
        return std::nullopt;
    // The extra reading does not count: a pause still leads to the next reading.
    const int repeat = m_phase == Phase::BetweenReadings || m_phase == Phase::Speaking ? m_repeat : m_repeats;
    return speak(m_item, repeat, now);
}

std::optional<Reading> Schedule::forward(qint64 now)
{
    if (!m_started || finished())
        return std::nullopt;
    if (m_item + 1 >= m_count) {
        finish();
        return std::nullopt;
    }
    return speak(m_item + 1, 1, now);
}

std::optional<Reading> Schedule::back(qint64 now)
{
    if (!m_started || finished())
        return std::nullopt;
    return speak(std::max(0, m_item - 1), 1, now);
}

void Schedule::pause(qint64 now)
{
    if (!m_started || finished() || m_paused)
        return;
    m_paused = true;
    m_leftWhenPaused = m_due < 0 ? -1 : std::max<qint64>(0, m_due - now);
}

std::optional<Reading> Schedule::resume(qint64 now)
{
    if (!m_paused)
        return std::nullopt;
    m_paused = false;
    // A reading cut off by the pause is read again from its start.
    if (m_phase == Phase::Speaking)
        return speak(m_item, m_repeat, now);
    m_due = m_leftWhenPaused < 0 ? -1 : now + m_leftWhenPaused;
    return std::nullopt;
}

void Schedule::finish()
{
    m_phase = Phase::Finished;
    m_paused = false;
    m_due = -1;
}

qint64 Schedule::nextDue() const { return m_started && !m_paused ? m_due : -1; }

double Schedule::progress() const
{
    if (m_count == 0 || finished())
        return 1.0;
    const int heard = m_phase == Phase::Speaking ? m_repeat - 1 : m_repeat;
    return (m_item + double(std::min(heard, m_repeats)) / m_repeats) / m_count;
}

// ---------------------------------------------------------------- checking

QString scoreText(int right, int wrong) { return QStringLiteral("对 %1 个，错 %2 个").arg(right).arg(wrong); }

std::optional<int> NumberEntry::feed(int digit, qint64 now, int tileCount)
{
    if (digit < 0 || digit > 9 || tileCount <= 0)
        return std::nullopt;
    // A number left waiting too long was taken by due(); this digit starts anew.
    if (m_pending > 0 && now - m_since > waitMs)
        m_pending = 0;
    int value = m_pending * 10 + digit;
    if (value > tileCount)
        value = digit; // no tile has that number: the digit begins the next one
    m_pending = 0;
    if (value == 0 || value > tileCount)
        return std::nullopt;
    if (qint64(value) * 10 > tileCount)
        return value;
    m_pending = value;
    m_since = now;
    return std::nullopt;
}

std::optional<int> NumberEntry::due(qint64 now)
{
    if (m_pending == 0 || now < m_since + waitMs)
        return std::nullopt;
    const int value = m_pending;
    m_pending = 0;
    return value;
}

// ---------------------------------------------------------------- mistake book

QStringList bookItems(const QString &bookText)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    const QString canonical = modPub::normalizeItems(bookText.split(space, Qt::SkipEmptyParts).join(u' '));
    return canonical.isEmpty() ? QStringList() : canonical.split(QLatin1Char(' '));
}

QString mergeMistakes(const QString &bookText, const QStringList &items)
{
    QStringList all = bookItems(bookText);
    all += items;
    return modPub::normalizeItems(all.join(QLatin1Char(' ')));
}

// ---------------------------------------------------------------- record

namespace {
const QString timeFormat = QStringLiteral("yyyy-MM-dd HH:mm");
}

QString recordLine(const Record &record)
{
    QString line = record.when.toString(timeFormat) + QStringLiteral(" 共 %1 个，").arg(record.total)
        + scoreText(record.right(), int(record.wrong.size()));
    if (!record.wrong.isEmpty())
        line += QStringLiteral("：") + record.wrong.join(QLatin1Char(' '));
    return line;
}

std::optional<Record> parseRecordLine(const QString &line)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d) 共 (\\d{1,9}) "
                                                      "个，对 (\\d{1,9}) 个，错 (\\d{1,9}) 个(?:：(.*))?$"));
    const QRegularExpressionMatch m = re.match(line.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    Record r;
    r.when = QDateTime::fromString(m.captured(1), timeFormat);
    r.total = m.captured(2).toInt();
    r.wrong = m.captured(5).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // A line whose counts do not add up was not written by a run.
    if (!r.when.isValid() || m.captured(4).toInt() != r.wrong.size() || m.captured(3).toInt() != r.right())
        return std::nullopt;
    return r;
}

QString appendRecordLine(const QString &fileText, const QString &line)
{
    if (fileText.isEmpty())
        return line;
    return fileText.endsWith(u'\n') ? fileText + line : fileText + QStringLiteral("\r\n") + line;
}

QList<Record> lastRecords(const QString &fileText, int count)
{
    QList<Record> out;
    const QStringList lines = fileText.split(QLatin1Char('\n'));
    for (qsizetype i = lines.size() - 1; i >= 0 && out.size() < count; --i)
        if (const std::optional<Record> r = parseRecordLine(lines.at(i)))
            out.append(*r);
    return out;
}

} // namespace dictation
