// The character-bank editor: the bank as free text, presets, shuffle, drop of
// a text file, tone entry and tone commands, save and close.
#pragma once

#include "editor/banktextbox.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <atomic>
#include <functional>

class QMimeData;

class frmSet : public QDialog
{
    Q_OBJECT
public:
    explicit frmSet(QWidget *parent = nullptr);

    void Form_Load();
    void Form_Resize();
    void Text1_Change();
    // Returns with keyAscii 0 when the key has been dealt with here.
    void Text1_KeyPress(char16_t &keyAscii);
    void Text1_OLEDragDrop(const QMimeData *data);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Command9_Click();
    void Command10_Click();

    // The box's text as the commands see it (line breaks as "\n").
    QString text() const;
    void setText(const QString &text);

    editor::BankTextBox *Text1 = nullptr;
    QPushButton *Command1 = nullptr; // 保存并关闭
    QLabel *lblTip = nullptr;
    QPushButton *Command2 = nullptr; // 打乱一下
    QPushButton *Command3 = nullptr; // 单韵母
    QPushButton *Command4 = nullptr; // 声母
    QPushButton *Command5 = nullptr; // 复韵母
    QPushButton *Command6 = nullptr; // 整体认读音节
    QPushButton *Command7 = nullptr; // 清空
    QPushButton *Command8 = nullptr; // 拼音加声调
    QPushButton *Command9 = nullptr; // 拼音去声调
    QPushButton *Command10 = nullptr; // 一年级生字表1

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void appendItems(const QString &list);
    // Puts text at the caret as if typed: replaces a selection, caret after it.
    void typeAtCaret(const QString &text);
    // Runs a whole-bank command. A large bank's is run on a worker thread
    // while a progress box that can be cancelled keeps the window alive;
    // false when cancelled (the work's result is then dropped).
    // The work is told when it has been cancelled (it may look before a step
    // that cannot be taken back, such as writing the file). Afterwards the
    // text that result gives (none: nothing) replaces the box's as one undo
    // step; a large one goes in slices under the same progress box, which
    // can no longer be cancelled then.
    bool runWork(const std::function<void(const std::atomic_bool &cancelled)> &work,
                 const std::function<const QString *()> &result);
};
