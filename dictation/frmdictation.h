// The 听写 window: the setup page, the run (the bank read aloud one item at a
// time while the card shows only where the run is), then a grid where the
// parent marks what the pupil wrote wrong. Owned by the practice window,
// modal to it; what it needs of that window comes through a DictationHost.
// The run itself is a DictationRun; this window draws it and forwards keys.
#pragma once

#include "dictation/dictationrun.h"

#include <QDialog>

class DictationHost;
class QWidget;

class frmDictation : public QDialog
{
    Q_OBJECT
public:
    // `shownIndex`: the practice window's position, for "从当前这一项到最后".
    frmDictation(QWidget *owner, DictationHost &host, const QString &bankText, int shownIndex);

    DictationRun &run() { return m_run; }
    // Esc while running: asks, and ends the run on Yes.
    void askToStop();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void reject() override;

private:
    QWidget *createRunPage();
    QWidget *createCheckPage();
    void connectControls();
    void stageChanged(DictationRun::Stage stage);
    void updateCard();
    void updateScore();
    void showCheck();
    void saveRecord();
    void printPaper();
    void openCopybook();
    void practise();
    void addToBook();
    void offerMastered();
    void showOutcome(const std::pair<QString, QString> &outcome);
    void again();
    void showRecords();

    DictationHost &m_host;
    DictationRun m_run;
};

namespace dictationwindow {
// The run records, newest first, with the way to 学习记录 for `bankText`.
void showRecords(QWidget *owner, const QString &bankText);
} // namespace dictationwindow
