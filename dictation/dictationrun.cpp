#include "dictation/dictationrun.h"

#include "core/clock.h"
#include "core/network.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "dictation/dictationfiles.h"
#include "dictation/dictationhost.h"
#include "progress/progressfiles.h"
#include "resources/words.h"
#include "rules/deck.h"
#include "rules/readaloud.h"
#include "speech/speechengine.h"

#include <algorithm>

QStringList DictationCheck::wrongItems() const
{
    QStringList out;
    for (qsizetype i = 0; i < items.size(); ++i)
        if (wrong.value(i))
            out << items.at(i);
    return out;
}

namespace {
const dictation::Words &builtInWords()
{
    static const dictation::Words words(resources::dictationWords());
    return words;
}
} // namespace

DictationRun::DictationRun(DictationHost &host, const QString &bankText, int shownIndex, QObject *parent)
    : QObject(parent), m_host(host), m_bankText(bankText), m_shownIndex(shownIndex),
      m_settings(dictation::Settings::load()), m_words(builtInWords()), m_syllableTable(host.syllableTable())
{
    QString why;
    if (const auto text
        = keptfile::read(dictationfiles::ownWordsPath(), keptfile::Kind::WordList, &why)) {
        const dictation::OwnWords own = dictation::parseOwnWords(text->text);
        m_words.setOwnWords(own.words);
        m_badWordLines = own.badLines;
    }
    m_clock.start();
    m_tick.setSingleShot(true);
    connect(&m_tick, &QTimer::timeout, this,
            [this] { apply(m_schedule ? m_schedule->due(now()) : std::nullopt); });
    recompute();
}

DictationRun::~DictationRun()
{
    // The practice window may be going too, its engine with it: only an
    // engine still alive is told to stop.
    if (running() && m_engineSignals)
        m_engine->stop();
}

// ---------------------------------------------------------------- setup

void DictationRun::setSettings(const dictation::Settings &settings)
{
    m_settings = settings;
    recompute();
}

void DictationRun::setPicked(const QString &item, bool picked)
{
    if (picked)
        m_unpicked.remove(item);
    else
        m_unpicked.insert(item);
    recompute();
}

void DictationRun::recompute()
{
    const dictation::Settings &s = m_settings;
    m_candidates = dictation::runItems(m_bankText, s.order, m_shownIndex, s.pinyin, s.lastCount);
    m_items.clear();
    m_skipped.clear();
    for (const QString &item : std::as_const(m_candidates)) {
        if (s.order == dictation::Order::Picked && !isPicked(item))
            continue;
        (spoken(item).hearable() ? m_items : m_skipped) << item;
    }
    emit setupChanged();
}

dictation::Spoken DictationRun::spoken(const QString &item) const
{
    return dictation::spokenForm(item, m_settings.words, m_words, m_syllableTable);
}

QString DictationRun::countText() const
{
    return m_items.isEmpty() ? QStringLiteral("没有可以听写的字或拼音。")
                             : QStringLiteral("共 %1 个").arg(m_items.size());
}

QString DictationRun::skippedText() const
{
    if (m_skipped.isEmpty())
        return QString();
    // As written: a lone dash shown as it is, not as the blank its display form is.
    QStringList shown;
    for (const QString &item : m_skipped)
        shown << (deck::displayForm(item).trimmed().isEmpty() ? item : deck::displayForm(item));
    return QStringLiteral("%1 个读不出来，不听写：%2").arg(m_skipped.size()).arg(shown.join(u' '));
}

QString DictationRun::setOwnWord(QChar character, const QString &word)
{
    const QString w = word.simplified().remove(u' ');
    const bool builtIn = w.isEmpty() || w == m_words.builtInWordFor(character);
    if (!w.isEmpty()
        && (!w.contains(character)
            || !dictation::parseOwnWords(QString(character) + u' ' + w).badLines.isEmpty()))
        return QStringLiteral("“%1”不能用来读“%2”：请写含有“%2”的词（两到八个汉字）。")
            .arg(w, QString(character));
    const QString path = dictationfiles::ownWordsPath();
    QString why;
    const std::optional<keptfile::Text> text
        = keptfile::read(path, keptfile::Kind::WordList, &why);
    if (!text)
        return why;
    if (builtIn && !m_words.ownWords().contains(character))
        return QString();
    why = keptfile::rewrite(
        path, keptfile::Kind::WordList,
        dictation::updatedOwnWords(text->text, {{character, builtIn ? QString() : w}}), text->encoding);
    if (!why.isEmpty())
        return QStringLiteral("组词没有保存成功：") + why;
    QMap<QChar, QString> own = m_words.ownWords();
    if (builtIn)
        own.remove(character);
    else
        own.insert(character, w);
    m_words.setOwnWords(own);
    emit setupChanged();
    return QString();
}

// ---------------------------------------------------------------- running

SpeechEngine *DictationRun::engine()
{
    SpeechEngine *e = m_host.speechEngine();
    m_engine = e;
    if (e && m_engineSignals != e->signalSource()) {
        m_engineSignals = e->signalSource();
        connect(m_engineSignals, SIGNAL(playbackFinished(QString)), this, SLOT(soundEnded()));
        connect(m_engineSignals, SIGNAL(playbackStarted(QString)), this, SLOT(soundStarted()));
        connect(m_engineSignals, SIGNAL(silent()), this, SLOT(noSound()));
    }
    return e;
}

void DictationRun::stopSound()
{
    if (SpeechEngine *e = engine())
        e->stop();
}

void DictationRun::setStage(Stage stage)
{
    m_stage = stage;
    emit stageChanged(stage);
}

bool DictationRun::start()
{
    if (m_items.isEmpty() || running())
        return false;
    m_settings.save();
    const dictation::Settings &s = m_settings;
    m_schedule = std::make_unique<dictation::Schedule>(int(m_items.size()), s.repeats, s.pauseSeconds * 1000,
                                                       s.writeSeconds * 1000, s.manual);
    m_check = DictationCheck {Clock::now(), {}, {}};
    m_recordedLine.clear();
    m_recordAppended = {};
    m_historyWritten.clear();
    m_historyAppended = {};
    m_offered.clear();
    m_noSound = false;
    setStage(Stage::Running);
    apply(m_schedule->start(now()));
    return true;
}

void DictationRun::apply(std::optional<dictation::Reading> reading)
{
    if (!running())
        return;
    m_tick.stop();
    if (reading)
        speakItem(reading->item);
    if (m_schedule->finished()) {
        m_tick.stop();
        stopSound();
        m_check.items = m_items.mid(0, std::max(1, m_schedule->reached()));
        m_check.wrong = QList<bool>(m_check.items.size(), false);
        setStage(Stage::Checking);
        emit marksChanged();
        return;
    }
    const qint64 due = m_schedule->nextDue();
    if (due >= 0)
        m_tick.start(int(std::clamp<qint64>(due - now(), 0, 24 * 3600 * 1000)));
    emit cardChanged();
}

void DictationRun::speakItem(int index)
{
    const dictation::Spoken said = spoken(m_items.value(index));
    SpeechEngine *e = engine();
    if (!e || !said.hearable()) {
        if (e)
            e->stop();
        noSound();
        return;
    }
    const QString endpoint = modPub::ttsEndpoint();
    // Only the local voice can say some initials and finals: no request for them.
    const QString request = endpoint.isEmpty() || said.online.isEmpty()
        ? QString()
        : readaloud::ttsRequest(endpoint, modPub::urlEncode(said.online));
    // A new request cuts the one before off: two items never overlap.
    e->speak(request, said.caption, said.online);
}

void DictationRun::soundStarted()
{
    if (m_noSound) {
        m_noSound = false;
        emit cardChanged();
    }
}

void DictationRun::soundEnded()
{
    if (!running() || m_schedule->phase() != dictation::Schedule::Phase::Speaking)
        return;
    m_schedule->soundEnded(now());
    apply(std::nullopt);
}

void DictationRun::noSound()
{
    m_noSound = true;
    // Nothing is heard: the pause or the writing time starts now.
    if (running() && m_schedule->phase() == dictation::Schedule::Phase::Speaking) {
        m_schedule->soundEnded(now());
        apply(std::nullopt);
    }
    emit cardChanged();
}

void DictationRun::repeatNow()
{
    if (running())
        apply(m_schedule->repeatNow(now()));
}

void DictationRun::forward()
{
    if (running())
        apply(m_schedule->forward(now()));
}

void DictationRun::back()
{
    if (running())
        apply(m_schedule->back(now()));
}

void DictationRun::space() { m_schedule && m_schedule->manual() ? forward() : repeatNow(); }

void DictationRun::togglePause()
{
    if (!running())
        return;
    if (m_schedule->paused()) {
        apply(m_schedule->resume(now()));
        return;
    }
    m_schedule->pause(now());
    stopSound();
    apply(std::nullopt);
}

bool DictationRun::pauseForQuestion()
{
    const bool wasPaused = running() && m_schedule->paused();
    if (running() && !wasPaused)
        togglePause();
    return wasPaused;
}

void DictationRun::resume()
{
    if (running() && m_schedule->paused())
        togglePause();
}

void DictationRun::finish()
{
    if (!running())
        return;
    m_schedule->finish();
    apply(std::nullopt);
}

QString DictationRun::positionText() const
{
    if (!m_schedule)
        return QString();
    return QStringLiteral("第 %1 个 / 共 %2 个").arg(m_schedule->item() + 1).arg(m_schedule->itemCount());
}

QString DictationRun::statusText() const
{
    using Phase = dictation::Schedule::Phase;
    if (!m_schedule)
        return QString();
    const dictation::Schedule &s = *m_schedule;
    if (s.paused())
        return QStringLiteral("已暂停，按 P 继续");
    switch (s.phase()) {
    case Phase::Speaking:
        return s.repeats() > 1
            ? QStringLiteral("正在读（第 %1 遍，共 %2 遍）").arg(s.repeat()).arg(s.repeats())
            : QStringLiteral("正在读");
    case Phase::BetweenReadings: return QStringLiteral("马上再读一遍");
    case Phase::Writing: return QStringLiteral("请写下来");
    case Phase::WaitingForParent: return QStringLiteral("写好了吗？按空格或 → 读下一个");
    case Phase::Finished: break;
    }
    return QString();
}

QString DictationRun::noteText() const
{
    if (!m_noSound)
        return QString();
    return m_settings.manual ? QStringLiteral("无法播放声音（可能没有声音设备），请家长来读。")
                             : QStringLiteral("无法播放声音（可能没有声音设备）。可以选“手动”，由家长来读。");
}

double DictationRun::progress() const { return m_schedule ? m_schedule->progress() : 0.0; }

// ---------------------------------------------------------------- checking

void DictationRun::toggleMark(int index)
{
    if (m_stage != Stage::Checking || index < 0 || index >= m_check.wrong.size())
        return;
    m_check.wrong[index] = !m_check.wrong[index];
    emit marksChanged();
}

QString DictationRun::scoreText() const
{
    const int wrong = int(std::count(m_check.wrong.begin(), m_check.wrong.end(), true));
    return dictation::scoreText(int(m_check.items.size()) - wrong, wrong);
}

QString DictationRun::saveRecord()
{
    if (m_stage != Stage::Checking)
        return QString();
    dictation::Record r;
    const QDateTime t = m_check.started;
    r.when = QDateTime(t.date(), QTime(t.time().hour(), t.time().minute()));
    r.total = int(m_check.items.size());
    r.wrong = m_check.wrongItems();
    QStringList problems;
    bool saved = false;
    if (const QString line = dictation::recordLine(r); line != m_recordedLine) {
        if (const QString why = dictationfiles::writeRecordLine(line, m_recordAppended); !why.isEmpty()) {
            problems << QStringLiteral("听写记录没有保存成功，这次的成绩没有记下：") + why;
        } else {
            m_recordedLine = line;
            saved = true;
        }
    }
    QList<history::Entry> entries;
    const QDateTime when(t.date(), QTime(t.time().hour(), t.time().minute(), t.time().second()));
    for (qsizetype i = 0; i < m_check.items.size(); ++i)
        entries << history::Entry {when, history::Activity::Dictation, modPub::normalizeItems(m_check.items.at(i)),
                                   !m_check.wrong.value(i)};
    if (entries != m_historyWritten) {
        if (const QString why = progressfiles::appendEntries(entries, m_historyAppended); !why.isEmpty()) {
            problems << QStringLiteral("学习记录没有保存成功，这次听写没有记进学习记录：") + why;
        } else {
            m_historyWritten = entries;
            saved = true;
        }
    }
    if (saved)
        emit checkDone(m_check);
    return problems.join(u'\n');
}

QStringList DictationRun::masteredToOffer()
{
    if (m_stage != Stage::Checking || m_historyWritten.isEmpty())
        return {};
    const std::optional<QStringList> book = progressfiles::mistakeBookItems(nullptr);
    if (!book || book->isEmpty())
        return {};
    QStringList right;
    for (const history::Entry &e : std::as_const(m_historyWritten))
        if (e.right && book->contains(e.item) && !m_offered.contains(e.item))
            right << e.item;
    if (right.isEmpty())
        return {};
    const QStringList mastered = progressfiles::readHistory().mastered(right, m_settings.masteredAfter);
    for (const QString &item : mastered)
        m_offered.insert(item);
    return mastered;
}

std::pair<QString, QString> DictationRun::removeFromBook(const QStringList &items)
{
    if (items.isEmpty())
        return {};
    if (const QString why = progressfiles::removeFromMistakeBook(items); !why.isEmpty())
        return {QStringLiteral("错字本没有改动。"),
                QStringLiteral("错字本没有保存成功：%1原来的错字本没有改动。").arg(why)};
    return {QStringLiteral("已从错字本去掉：%1").arg(items.join(u' ')), QString()};
}

std::pair<QString, QString> DictationRun::addToBook()
{
    const QStringList wrong = m_check.wrongItems();
    if (wrong.isEmpty())
        return {};
    const progressfiles::BookResult r = progressfiles::addToMistakeBook(wrong);
    switch (r.outcome) {
    case progressfiles::BookResult::Unreadable: return {QString(), r.why};
    case progressfiles::BookResult::NotSaved:
        return {QStringLiteral("没有加入错字本。"),
                QStringLiteral("错字本没有保存成功：%1原来的错字本没有改动。").arg(r.why)};
    case progressfiles::BookResult::AlreadyThere:
        return {QStringLiteral("这些都已经在错字本里了（共 %1 个）。").arg(r.total), QString()};
    case progressfiles::BookResult::Added: break;
    }
    return {QStringLiteral("已加入错字本：新加 %1 个，错字本里共 %2 个。").arg(r.added).arg(r.total),
            QString()};
}

void DictationRun::again()
{
    m_schedule.reset();
    setStage(Stage::Setup);
    recompute();
}
