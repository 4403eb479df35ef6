// The page before a run: what to dictate and how, the list of the run's
// items with the words they are read with (editable, and ticked when the
// parent picks), and what is left out as unhearable. It shows the
// controller's choice and passes every change on to it.
#pragma once

#include <QWidget>

class DictationRun;
class QTreeWidgetItem;

class DictationSetup : public QWidget
{
    Q_OBJECT
public:
    explicit DictationSetup(DictationRun &run, QWidget *parent = nullptr);

signals:
    void startRequested();
    void recordsRequested();
    void paperRequested();
    void closeRequested();

private:
    void createControls();
    void layOut();
    void showSettings();
    void readControls();
    void fillList();
    void wordEdited(QTreeWidgetItem *row, int column);

    DictationRun &m_run;
    bool m_filling = false;
};
