// The 听写 window: the bank read aloud one item at a time while the card shows
// only where the run is, then a grid where the parent marks what the pupil
// wrote wrong. Owned by the practice window, modal to it.
#pragma once

#include "rules/dictation.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;
class QStackedWidget;
class SpeechEngine;
class frmMain;

// The card while a run goes on: "第 3 个 / 共 20 个", a loudspeaker and a line
// saying what happens now. Never the item.
class DictationCard : public QWidget
{
    Q_OBJECT
public:
    explicit DictationCard(QWidget *parent = nullptr);
    void setTexts(const QString &position, const QString &status, const QString &note);
    QString position() const { return m_position; }
    QString status() const { return m_status; }
    QString note() const { return m_note; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_position;
    QString m_status;
    QString m_note;
};

// The dictated items as numbered tiles; a click, the tile's number, or the
// arrow keys and Space mark a tile wrong (and again right).
class CheckGrid : public QWidget
{
    Q_OBJECT
public:
    explicit CheckGrid(QWidget *parent = nullptr);
    void setItems(const QStringList &items);
    const QStringList &items() const { return m_items; }
    void toggle(int index);
    bool isWrong(int index) const { return m_wrong.value(index); }
    QStringList wrongItems() const;
    int wrongCount() const;
    int current() const { return m_current; }
    QSize sizeHint() const override;
signals:
    void changed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutTiles();
    void setCurrent(int index);
    int tileAt(const QPoint &p) const;
    void numberDue();

    QStringList m_items;
    QList<bool> m_wrong;
    QList<QRect> m_tiles;
    int m_current = 0;
    dictation::NumberEntry m_number;
    QTimer m_numberTimer;
    QElapsedTimer m_clock;
};

// What the dictation window needs from the practice window.
struct DictationHost {
    std::function<SpeechEngine *()> engine;
    QString syllableTable;
    // "练习错字": the items become the practice window's deck for this run.
    std::function<void(const QStringList &items)> practise;
};

class frmDictation : public QDialog
{
    Q_OBJECT
public:
    // `shownIndex`: the practice window's position, for "从当前这一项到最后".
    frmDictation(QWidget *owner, const QString &bankText, int shownIndex, DictationHost host);
    ~frmDictation() override;

    dictation::Settings settings() const;
    const QStringList &runItems() const { return m_items; }
    const dictation::Schedule *schedule() const { return m_schedule.get(); }
    bool running() const;

    // ---- Commands ----
    void cmdStart_Click();
    void cmdPause_Click();
    void cmdAnswers_Click();
    void cmdSheet_Click();
    void cmdPractise_Click();
    void cmdAddBook_Click();
    void cmdAgain_Click();
    void cmdRecords_Click();
    // Esc while running: asks, and ends the run on Yes.
    void askToStop();
    // Writes this run's line to the record file (once; again when the marks changed).
    bool saveRecord();

    // ---- Controls ----
    QStackedWidget *pages = nullptr;
    QRadioButton *optBank = nullptr;
    QRadioButton *optShuffled = nullptr;
    QRadioButton *optFromShown = nullptr;
    QComboBox *cboRepeats = nullptr;
    QSpinBox *spnPause = nullptr;
    QSpinBox *spnWrite = nullptr;
    QCheckBox *chkManual = nullptr;
    QCheckBox *chkPinyin = nullptr;
    QLabel *lblCount = nullptr;
    QPushButton *cmdStart = nullptr;
    QPushButton *cmdRecords = nullptr;
    DictationCard *card = nullptr;
    QProgressBar *progress = nullptr;
    QLabel *lblKeys = nullptr;
    QPushButton *cmdPause = nullptr;
    QPushButton *cmdAnswers = nullptr;
    QLabel *lblScore = nullptr;
    CheckGrid *grid = nullptr;
    QScrollArea *gridArea = nullptr;
    QLabel *lblStatus = nullptr;
    QPushButton *cmdSheet = nullptr;
    QPushButton *cmdPractise = nullptr;
    QPushButton *cmdAddBook = nullptr;
    QPushButton *cmdAgain = nullptr;
    QPushButton *cmdRecords2 = nullptr;

public slots:
    // From the speech engine.
    void soundEnded();
    void soundStarted();
    void noSound();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    qint64 now() const { return m_clock.elapsed(); }
    void optionsChanged();
    void apply(std::optional<dictation::Reading> reading);
    void speakItem(int index);
    void updateCard();
    void showCheck();
    void updateScore();
    SpeechEngine *engine();

    QString m_bankText;
    int m_shownIndex;
    DictationHost m_host;
    QStringList m_items;
    std::unique_ptr<dictation::Schedule> m_schedule;
    QElapsedTimer m_clock;
    QTimer m_tick;
    SpeechEngine *m_engine = nullptr; // alive while m_engineSignals is
    QPointer<QObject> m_engineSignals;
    bool m_noSound = false;
    bool m_loading = true;
    // This run's record: when it began, and the line last written.
    QDateTime m_runStarted;
    QString m_recordedLine;
};

namespace dictationwindow {
// The mistake book beside the bank.
QString mistakeBookPath();
QString recordPath();
// The text of a file the program keeps beside the bank; false when it
// exists but cannot be read as one (a folder, unreadable, far too large):
// then it must not be overwritten.
bool readKeptFile(const QString &path, QString &text);
// Ctrl+T and the card's entries "听写…" and "练习错字本".
void attach(frmMain *window, const QList<QWidget *> &card);
// The run records, newest first.
void showRecords(QWidget *owner);
} // namespace dictationwindow
