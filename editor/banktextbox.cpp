#include "editor/banktextbox.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QUrl>

namespace editor {

QStringList droppedFiles(const QMimeData *data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    return files;
}

namespace {
// Block format property: what the break before a block stands for.
constexpr int breakKind = QTextFormat::UserProperty + 1;
enum BreakKind { LineBreak = 0, SpaceBreak = 1, NoCharacterBreak = 2 };

int kindOf(const QTextBlock &block) { return block.blockFormat().intProperty(breakKind); }

QTextBlockFormat formatFor(BreakKind kind)
{
    QTextBlockFormat f;
    if (kind != LineBreak)
        f.setProperty(breakKind, int(kind));
    return f;
}

// Counts what goes in and calls idle after every slice.
struct Slicer {
    const std::function<void()> &idle;
    qsizetype sinceIdle = 0;
    void inserted(qsizetype n)
    {
        sinceIdle += n;
        if (idle && sinceIdle >= BankTextBox::sliceLength) {
            sinceIdle = 0;
            idle();
        }
    }
};

// Inserts one line (no line breaks in it), in pieces when it is long.
void insertLine(QTextCursor &cursor, QStringView line, Slicer &slicer)
{
    while (line.size() > BankTextBox::pieceLength) {
        qsizetype cut = line.lastIndexOf(QLatin1Char(' '), BankTextBox::pieceLength);
        BreakKind kind = SpaceBreak;
        if (cut < BankTextBox::pieceLength / 2) {
            cut = BankTextBox::pieceLength;
            if (line.at(cut - 1).isHighSurrogate())
                --cut;
            kind = NoCharacterBreak;
        }
        cursor.insertText(line.left(cut).toString());
        cursor.insertBlock(formatFor(kind));
        slicer.inserted(cut);
        line = line.mid(kind == SpaceBreak ? cut + 1 : cut);
    }
    if (!line.isEmpty()) {
        cursor.insertText(line.toString());
        slicer.inserted(line.size());
    }
}
} // namespace

BankTextBox::BankTextBox(QWidget *parent) : QPlainTextEdit(parent)
{
    // A changed paragraph forgets its count of spaces; itemCount() counts it
    // again. (A new paragraph starts with none known.)
    connect(document(), &QTextDocument::contentsChange, this, [this](int position, int, int added) {
        const QTextDocument *doc = document();
        const QTextBlock last = doc->findBlock(position + added);
        for (QTextBlock b = doc->findBlock(position); b.isValid(); b = b.next()) {
            b.setUserState(-1);
            if (b == last)
                break;
        }
    });
}

qsizetype BankTextBox::itemCount() const
{
    // Spaces of the real text: in the paragraphs and at the breaks that
    // stand for one.
    qsizetype spaces = 0;
    bool onlySpaces = true;
    const QTextDocument *doc = document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b.userState() < 0)
            b.setUserState(int(b.text().count(QLatin1Char(' '))));
        spaces += b.userState();
        if (b != doc->begin() && kindOf(b) == SpaceBreak)
            ++spaces;
        if (onlySpaces && (b.length() - 1 != b.userState() || (b != doc->begin() && kindOf(b) == LineBreak)))
            onlySpaces = false;
    }
    if (onlySpaces)
        return 0;
    // The spaces at either end, which do not separate anything.
    qsizetype leading = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b != doc->begin() && kindOf(b) != NoCharacterBreak) {
            if (kindOf(b) != SpaceBreak)
                break;
            ++leading;
        }
        const QString t = b.text();
        qsizetype i = 0;
        while (i < t.size() && t.at(i) == QLatin1Char(' '))
            ++i;
        leading += i;
        if (i < t.size())
            break;
    }
    qsizetype trailing = 0;
    for (QTextBlock b = doc->lastBlock(); b.isValid(); b = b.previous()) {
        const QString t = b.text();
        qsizetype i = t.size();
        while (i > 0 && t.at(i - 1) == QLatin1Char(' '))
            --i;
        trailing += t.size() - i;
        if (i > 0 || b == doc->begin())
            break;
        if (kindOf(b) == SpaceBreak)
            ++trailing;
        else if (kindOf(b) == LineBreak)
            break;
    }
    return spaces - leading - trailing + 1;
}

QString BankTextBox::logicalRange(int from, int to) const
{
    QString out;
    const QTextDocument *doc = document();
    for (QTextBlock b = doc->findBlock(from); b.isValid() && b.position() <= to; b = b.next()) {
        const int start = b.position();
        if (start > from) {
            switch (kindOf(b)) {
            case SpaceBreak: out += QLatin1Char(' '); break;
            case NoCharacterBreak: break;
            default: out += QLatin1Char('\n'); break;
            }
        }
        const QString t = b.text();
        const int a = std::max(from - start, 0);
        const int e = std::min<int>(to - start, t.size());
        if (e > a)
            out += QStringView(t).mid(a, e - a);
    }
    return out;
}

QString BankTextBox::logicalText() const { return logicalRange(0, document()->characterCount()); }

void BankTextBox::insertLogical(QTextCursor &cursor, QStringView text, const std::function<void()> &idle)
{
    Slicer slicer {idle};
    // A NUL is no character of any item, and in the bank file it would end
    // the text for other programs: whatever brings one (a paste), it stays out.
    QString withoutNul;
    if (text.contains(QChar(0))) {
        withoutNul = text.toString().remove(QChar(0));
        text = withoutNul;
    }
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size()) {
            const QChar c = text.at(i);
            if (c != QLatin1Char('\n') && c != QLatin1Char('\r') && c != QChar::ParagraphSeparator)
                continue;
        }
        insertLine(cursor, text.mid(start, i - start), slicer);
        if (i == text.size())
            break;
        if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        cursor.insertBlock(formatFor(LineBreak));
        start = i + 1;
    }
    cursor.endEditBlock();
}

void BankTextBox::setLogicalText(const QString &text, const std::function<void()> &idle)
{
    // While the edit block is open the document's layout has not heard of
    // the change yet: nothing may draw the box before it ends.
    const bool drawing = updatesEnabled();
    if (idle)
        setUpdatesEnabled(false);
    QTextCursor c(document());
    c.select(QTextCursor::Document);
    c.beginEditBlock();
    // The first paragraph keeps its format: make it a plain one.
    c.removeSelectedText();
    c.setBlockFormat(formatFor(LineBreak));
    insertLogical(c, text, idle);
    c.endEditBlock();
    setTextCursor(c);
    if (idle)
        setUpdatesEnabled(drawing);
}

QChar BankTextBox::logicalCharBefore(const QTextCursor &cursor, int *documentPosition) const
{
    int p = cursor.position();
    QTextBlock b = cursor.block();
    // A break that stands for nothing is looked past.
    while (p > 0 && p == b.position() && kindOf(b) == NoCharacterBreak) {
        b = b.previous();
        p = b.position() + b.length() - 1;
    }
    if (p <= 0) {
        *documentPosition = -1;
        return QChar();
    }
    *documentPosition = p - 1;
    if (p == b.position())
        return kindOf(b) == SpaceBreak ? QChar(QLatin1Char(' ')) : QChar(QLatin1Char('\n'));
    return document()->characterAt(p - 1);
}

QMimeData *BankTextBox::createMimeDataFromSelection() const
{
    const QTextCursor c = textCursor();
    auto *data = new QMimeData;
    data->setText(logicalRange(c.selectionStart(), c.selectionEnd()));
    return data;
}

void BankTextBox::insertFromMimeData(const QMimeData *source)
{
    if (!source || !source->hasText())
        return;
    QTextCursor c = textCursor();
    insertLogical(c, source->text());
    setTextCursor(c);
    ensureCursorVisible();
}

bool BankTextBox::isComposing() const
{
    const QTextLayout *layout = textCursor().block().layout();
    return layout && !layout->preeditAreaText().isEmpty();
}

void BankTextBox::keyPressEvent(QKeyEvent *event)
{
    // Only a plain typed character reaches the tone entry; shortcuts, and
    // anything while an input method is composing, keep their usual meaning.
    const Qt::KeyboardModifiers chord = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (!isComposing() && !(event->modifiers() & chord)
        && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // A new line is always a real line break, whatever paragraph it splits.
        QTextCursor c = textCursor();
        c.beginEditBlock();
        c.removeSelectedText();
        c.insertBlock(formatFor(LineBreak));
        c.endEditBlock();
        setTextCursor(c);
        ensureCursorVisible();
        event->accept();
        return;
    }
    if (!isComposing() && !(event->modifiers() & chord) && event->text().size() == 1) {
        char16_t key = event->text().at(0).unicode();
        if (keyPress)
            keyPress(key);
        if (key == 0) {
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

// The box takes only drops that bring files; the text editor's own drop
// handling (inserting the dragged text) is never used.
void BankTextBox::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void BankTextBox::dragMoveEvent(QDragMoveEvent *event)
{
    if (!droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void BankTextBox::dragLeaveEvent(QDragLeaveEvent *event) { event->accept(); }

void BankTextBox::dropEvent(QDropEvent *event)
{
    const bool hasFiles = !droppedFiles(event->mimeData()).isEmpty();
    if (dropped)
        dropped(event->mimeData());
    // Copy, never move: the file manager must not delete what was dropped.
    if (hasFiles) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace editor
