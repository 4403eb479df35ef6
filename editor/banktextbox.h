// The editor's text box, which holds even a huge one-line bank editable.
#pragma once

#include <QPlainTextEdit>
#include <QStringList>

#include <functional>

class QMimeData;

namespace editor {
// The editor's text box: hands typed keys and drops to the window first.
class BankTextBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit BankTextBox(QWidget *parent = nullptr);

    // A typed character, before the box takes it: the window may change it,
    // or set it to 0 to keep it out of the box.
    std::function<void(char16_t &key)> keyPress;
    // Whatever is dropped on the box; the box itself inserts nothing.
    std::function<void(const QMimeData *data)> dropped;

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
    // Items in the real text, as the editor's title counts them: spaces are
    // trimmed at both ends and every other space separates two fields.
    // Kept per paragraph, so a keystroke costs one paragraph, not the bank.
    qsizetype itemCount() const;
    // Replaces the whole text as one step that Ctrl+Z can take back. Given
    // idle, it is called after every slice of about sliceLength characters,
    // so that a caller can keep the window drawn while a huge text goes in;
    // the box itself draws nothing until the whole text is in.
    void setLogicalText(const QString &text, const std::function<void()> &idle = {});
    static constexpr qsizetype sliceLength = 2'000'000;
    // Inserts at the cursor (replacing its selection) as if typed.
    void insertLogical(QTextCursor &cursor, QStringView text, const std::function<void()> &idle = {});
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
};

// The local files a drop brings, in the order given; URLs that are not local
// files do not count.
QStringList droppedFiles(const QMimeData *data);

} // namespace editor
