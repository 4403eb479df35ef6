// One evening's 听写 without its widgets: the items the options choose, the
// readings' schedule driven on a clock, the speech engine's answers, the
// parent's marks, and the files the run writes. The window draws what this
// says and forwards keys and clicks to it.
#pragma once

#include "rules/dictation.h"
#include "rules/history.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <memory>

class DictationHost;
class SpeechEngine;

// What a finished check came to: the items checked, which were wrong, when
// the run began.
struct DictationCheck {
    QDateTime started;
    QStringList items;
    QList<bool> wrong;
    QStringList wrongItems() const;
};

class DictationRun : public QObject
{
    Q_OBJECT
public:
    enum class Stage { Setup, Running, Checking };

    // `shownIndex`: the practice window's position, for "从当前这一项到最后".
    DictationRun(DictationHost &host, const QString &bankText, int shownIndex, QObject *parent = nullptr);
    ~DictationRun() override;

    const QString &bankText() const { return m_bankText; }

    // ---- Setup ----
    const dictation::Settings &settings() const { return m_settings; }
    void setSettings(const dictation::Settings &settings);
    // The bank's items for the order chosen (all of them for Picked), before
    // the unhearable ones are taken out.
    const QStringList &candidates() const { return m_candidates; }
    // The items ticked for Order::Picked (all, until the parent unticks).
    bool isPicked(const QString &item) const { return !m_unpicked.contains(item); }
    void setPicked(const QString &item, bool picked);
    // What the run will dictate, and what it leaves out as unhearable.
    const QStringList &items() const { return m_items; }
    const QStringList &skipped() const { return m_skipped; }
    // "共 5 个" and "3 个读不出来，不听写：5 abc -" (empty when none).
    QString countText() const;
    QString skippedText() const;
    // The word a character is read with (own or built-in); its reading there.
    const dictation::Words &words() const { return m_words; }
    // The parent's own word for the character, kept in 组词.txt; an empty
    // word or the built-in one takes the own word away. An error text when
    // it could not be saved.
    QString setOwnWord(QChar character, const QString &word);
    // Lines of 组词.txt that are no "字 词" line, as read.
    const QStringList &badWordLines() const { return m_badWordLines; }
    // What the voice says for an item.
    dictation::Spoken spoken(const QString &item) const;

    // ---- Running ----
    Stage stage() const { return m_stage; }
    bool running() const { return m_stage == Stage::Running; }
    const dictation::Schedule *schedule() const { return m_schedule.get(); }
    bool start();
    void repeatNow();
    void forward();
    void back();
    void togglePause();
    // Pauses for a question; resume() goes on unless it was paused before.
    bool pauseForQuestion();
    void resume();
    // "对答案": the run ends and the check begins with the items reached.
    void finish();
    // Space: on in manual runs, again otherwise.
    void space();
    // The card's texts: "第 3 个 / 共 20 个", what happens now, and a note
    // when nothing can be heard.
    QString positionText() const;
    QString statusText() const;
    QString noteText() const;
    double progress() const;

    // ---- Checking ----
    const DictationCheck &check() const { return m_check; }
    void toggleMark(int index);
    QString scoreText() const;
    // Writes (or rewrites, when the marks changed) this run's record line
    // and its lines in the history; empty, or the message saying why not.
    QString saveRecord();
    // The items of the mistake book this check found right often enough in a
    // row to leave it, each offered once a check (empty once the history is
    // not written).
    QStringList masteredToOffer();
    // Takes them out of the book: a status line, or a message (second).
    std::pair<QString, QString> removeFromBook(const QStringList &items);
    // Adds the wrong items to the mistake book: a status line, or a message (second).
    std::pair<QString, QString> addToBook();
    // Back to the setup page.
    void again();

signals:
    void stageChanged(Stage stage);
    // The card's texts or the schedule moved.
    void cardChanged();
    void setupChanged();
    void marksChanged();
    // The check was written to the record: the run's result is final for now.
    void checkDone(const DictationCheck &check);

private slots:
    void soundEnded();
    void soundStarted();
    void noSound();

private:
    qint64 now() const { return m_clock.elapsed(); }
    void apply(std::optional<dictation::Reading> reading);
    void speakItem(int index);
    void stopSound();
    void recompute();
    void setStage(Stage stage);
    SpeechEngine *engine();

    DictationHost &m_host;
    QString m_bankText;
    int m_shownIndex;
    dictation::Settings m_settings;
    dictation::Words m_words;
    QStringList m_badWordLines;
    QString m_syllableTable;
    QStringList m_candidates;
    QSet<QString> m_unpicked;
    QStringList m_items;
    QStringList m_skipped;
    Stage m_stage = Stage::Setup;
    std::unique_ptr<dictation::Schedule> m_schedule;
    QElapsedTimer m_clock;
    QTimer m_tick;
    SpeechEngine *m_engine = nullptr; // alive while m_engineSignals is
    QPointer<QObject> m_engineSignals;
    bool m_noSound = false;
    DictationCheck m_check;
    QString m_recordedLine;
    keptfile::Appended m_recordAppended; // where this run's line went, to take it back
    QList<history::Entry> m_historyWritten;
    keptfile::Appended m_historyAppended;
    QSet<QString> m_offered; // asked about in this check
};
