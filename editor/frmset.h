// The character-bank editor: the bank as free text, presets, shuffle, drop of
// a text file, tone entry and tone commands, save and close.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

class QMimeData;
class frmSet;

namespace editor {
// The editor's text box: hands typed keys and drops to the window first.
class BankTextBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit BankTextBox(frmSet *form);
    // True while an input method is composing (preedit shown in the box).
    bool isComposing() const;

    // A bank is one line, and a line is laid out whole at every keystroke;
    // a line of megabytes would freeze the box. Lines longer than this are
    // therefore held as several paragraphs, broken at a space (which the
    // break stands for) or, with no space near, between two characters (the
    // break stands for nothing). The text the box gives and takes is always
    // the real one; the pieces only change where a long line wraps.
    static constexpr qsizetype pieceLength = 10000;

    // The whole text, line breaks as "\n".
    QString logicalText() const;
    // Replaces the whole text as one step that Ctrl+Z can take back.
    void setLogicalText(const QString &text);
    // Inserts at the cursor (replacing its selection) as if typed.
    void insertLogical(QTextCursor &cursor, QStringView text);
    // The character before the cursor in the real text and its position in
    // the document; 0 and -1 at the very start.
    QChar logicalCharBefore(const QTextCursor &cursor, int *documentPosition) const;

    // Clipboard and drag of text carry the real text.
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QString logicalRange(int from, int to) const;
    frmSet *m_form;
};

// The local files a drop brings, in the order given; URLs that are not local
// files do not count.
QStringList droppedFiles(const QMimeData *data);

// The preset lists behind the preset buttons.
QString simpleFinals();
QString initials();
QString compoundFinals();
QString wholeReadSyllables();
QString firstGradeCharacters();

// "【字库格式说明】…" CR LF "【拼音声调输法】…"
QString hintText();
} // namespace editor

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
    QPushButton *Command1 = nullptr;  // 保存并关闭
    QLabel *lblTip = nullptr;
    QPushButton *Command2 = nullptr;  // 打乱一下
    QPushButton *Command3 = nullptr;  // 单韵母
    QPushButton *Command4 = nullptr;  // 声母
    QPushButton *Command5 = nullptr;  // 复韵母
    QPushButton *Command6 = nullptr;  // 整体认读音节
    QPushButton *Command7 = nullptr;  // 清空
    QPushButton *Command8 = nullptr;  // 拼音加声调
    QPushButton *Command9 = nullptr;  // 拼音去声调
    QPushButton *Command10 = nullptr; // 一年级生字表1

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void appendItems(const QString &list);
    // Puts text at the caret as if typed: replaces a selection, caret after it.
    void typeAtCaret(const QString &text);
};
