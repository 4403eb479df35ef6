#include "editor/frmset.h"

#include "core/bankfile.h"
#include "core/textutil.h"
#include "resources/artwork.h"
#include "resources/presets.h"
#include "rules/tones.h"
#include "widgets/messagebox.h"
#include "widgets/ui.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QProgressDialog>
#include <QTextCursor>
#include <QThread>

#include <memory>

using namespace modPub;

namespace {
// From this size on (in characters) a whole-bank command runs on a worker
// thread: below it, every command takes a fraction of a second.
constexpr int largeText = 1'000'000;
// A dropped file larger than this is refused rather than loaded: a bank of
// 100,000 items is about 1 MB, and the box still types at once with 20 MB.
constexpr qint64 maxDroppedBytes = 32LL * 1024 * 1024;

// Why a dropped file was not loaded, for the message that names it.
QString notLoadedText(const QString &name, ReadFailure why)
{
    const QString file = QStringLiteral("“") + name + QStringLiteral("”");
    switch (why) {
    case ReadFailure::TooLarge:
        return file
            + QStringLiteral("太大了（超过 %1 MB），没有载入。生字库一般只有几 KB 到几 MB。")
                  .arg(maxDroppedBytes / (1024 * 1024));
    case ReadFailure::Unreadable: return file + QStringLiteral("读不出来（没有读取它的权限），没有载入。");
    case ReadFailure::NotRegular: return file + QStringLiteral("不是一个普通文件，没有载入。");
    case ReadFailure::Missing: return file + QStringLiteral("找不到了，没有载入。");
    case ReadFailure::Binary:
    case ReadFailure::None: break;
    }
    return file + QStringLiteral("不是文本文件，没有载入。");
}

QPushButton *makeButton(QWidget *parent, const QString &caption, double left, double top, double width,
                        double height)
{
    auto *b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    ui::place(b, left, top, width, height);
    return b;
}
} // namespace

frmSet::frmSet(QWidget *parent) : QDialog(parent)
{
    createControls();
    Form_Load();
}

void frmSet::createControls()
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    setModal(true);
    setSizeGripEnabled(false);
    setWindowTitle(QStringLiteral("管理我的生字库"));
    // Design client area 13275 × 5625 twips.
    resize(ui::px(13275), ui::px(5625));

    // Created in tab order.
    Text1 = new editor::BankTextBox(this);
    Text1->keyPress = [this](char16_t &key) { Text1_KeyPress(key); };
    Text1->dropped = [this](const QMimeData *data) { Text1_OLEDragDrop(data); };
    Text1->setFont(ui::designFont(QStringLiteral("宋体"), 18));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setTabChangesFocus(true);
    ui::place(Text1, 120, 1440, 7335, 1935);

    Command1 = makeButton(this, QStringLiteral("保存并关闭"), 120, 840, 1215, 495);

    lblTip = new QLabel(this);
    lblTip->setTextFormat(Qt::PlainText);
    lblTip->setWordWrap(false);
    lblTip->setFont(ui::designFont(QStringLiteral("微软雅黑"), 10.5));
    ui::setTextColour(lblTip, QColor(255, 128, 0));
    ui::setBackground(lblTip, QColor(255, 255, 192));
    lblTip->setText(resources::hintText());
    ui::place(lblTip, 120, 120, 10095, 600);
    lblTip->adjustSize(); // the label sizes itself to its text

    Command2 = makeButton(this, QStringLiteral("打乱一下"), 1320, 840, 1215, 495);
    Command3 = makeButton(this, QStringLiteral("单韵母"), 4080, 840, 975, 495);
    Command4 = makeButton(this, QStringLiteral("声母"), 5040, 840, 975, 495);
    Command5 = makeButton(this, QStringLiteral("复韵母"), 6000, 840, 975, 495);
    Command6 = makeButton(this, QStringLiteral("整体认读音节"), 6960, 840, 1455, 495);
    Command7 = makeButton(this, QStringLiteral("清空"), 2520, 840, 1215, 495);
    Command8 = makeButton(this, QStringLiteral("拼音加声调"), 8520, 840, 1335, 495);
    Command9 = makeButton(this, QStringLiteral("拼音去声调"), 9840, 840, 1335, 495);
    Command10 = makeButton(this, QStringLiteral("一年级生字表1"), 11400, 840, 1575, 495);

    QWidget *order[] = {Text1,    Command1, Command2, Command3, Command4, Command5,
                        Command6, Command7, Command8, Command9, Command10};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    Text1->setFocus();

    connect(Text1, &QPlainTextEdit::textChanged, this, &frmSet::Text1_Change);
    connect(Command1, &QPushButton::clicked, this, &frmSet::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmSet::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmSet::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmSet::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &frmSet::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &frmSet::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &frmSet::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &frmSet::Command8_Click);
    connect(Command9, &QPushButton::clicked, this, &frmSet::Command9_Click);
    connect(Command10, &QPushButton::clicked, this, &frmSet::Command10_Click);
}

void frmSet::Form_Load()
{
    setWindowIcon(resources::programIcon());
    // As read, not normalised; nothing to undo before the first edit.
    Text1->setLogicalText(readTextFile(bankPath()));
    Text1->document()->clearUndoRedoStacks();
    Text1_Change();
    Text1->moveCursor(QTextCursor::End);
}

QString frmSet::text() const { return Text1->logicalText(); }

void frmSet::setText(const QString &text) { Text1->setLogicalText(text); }

void frmSet::Text1_Change()
{
    setWindowTitle(QStringLiteral("管理我的生字库(当前有") + QString::number(Text1->itemCount())
                   + QStringLiteral("个生字)"));
}

void frmSet::typeAtCaret(const QString &s)
{
    QTextCursor c = Text1->textCursor();
    Text1->insertLogical(c, s);
    Text1->setTextCursor(c);
    Text1->ensureCursorVisible();
}

void frmSet::Text1_KeyPress(char16_t &keyAscii)
{
    if (const char16_t substitute = tones::substituteKey(keyAscii)) {
        keyAscii = 0;
        typeAtCaret(QString(QChar(substitute)));
    }
    if (keyAscii < u'0' || keyAscii > u'4')
        return;
    QTextCursor c = Text1->textCursor();
    // Over a selection the digit is typed like any other character and
    // replaces it; the tone goes only on a vowel right before a plain caret.
    if (c.hasSelection())
        return;
    int k = -1;
    const QChar before = Text1->logicalCharBefore(c, &k);
    if (k < 0)
        return;
    const char16_t toned = tones::toneDigitResult(before.unicode(), keyAscii);
    if (!toned)
        return;
    keyAscii = 0;
    c.setPosition(k);
    c.setPosition(k + 1, QTextCursor::KeepAnchor);
    c.insertText(QString(QChar(toned)));
    Text1->setTextCursor(c);
    Text1->ensureCursorVisible();
}

void frmSet::Text1_OLEDragDrop(const QMimeData *data)
{
    // A file manager's drop brings the files' URLs and often their paths as
    // text too; the files decide. Text alone (a selection dragged from
    // another program) is not taken.
    const QStringList files = editor::droppedFiles(data);
    if (files.isEmpty())
        return;
    ReadFailure why = ReadFailure::None;
    const std::optional<QString> text = tryReadForeignTextFile(files.last(), maxDroppedBytes, &why);
    if (text) {
        setText(*text);
        return;
    }
    // What cannot be loaded is refused, and the box keeps what it holds.
    // Said once the drop is over: the file manager waits for its end.
    const QString message = notLoadedText(QFileInfo(files.last()).fileName(), why);
    QMetaObject::invokeMethod(
        this, [this, message] { showMessage(this, message, MessageIcon::Information, MessageButtons::Ok); },
        Qt::QueuedConnection);
}

void frmSet::appendItems(const QString &list)
{
    QString t = text();
    if (!t.isEmpty())
        t += QLatin1Char(' ');
    t += list;
    setText(normalizeItems(t));
    Text1->moveCursor(QTextCursor::End);
    Text1->setFocus();
}

void frmSet::Command1_Click()
{
    // Normalised once more after the separators became spaces: a separator
    // at either end, or one between two equal items, would otherwise leave an
    // empty or a repeated item in the file.
    auto s = std::make_shared<QString>(text());
    auto written = std::make_shared<bool>(false);
    // An empty box over a bank that holds items is asked about first.
    auto emptying = std::make_shared<bool>(false);
    const QString path = bankPath();
    // Closing after a failed write would lose the edits: the window stays
    // open with the text as it was typed, so it can be saved again later.
    if (!runWork(
            [s, written, emptying, path](const std::atomic_bool &cancelled) {
                *s = normalizeItems(
                    regexReplace(normalizeItems(*s), itemSeparatorPattern(), QStringLiteral(" ")));
                *emptying = s->isEmpty() && !readTextFile(path).trimmed().isEmpty();
                if (!cancelled && !*emptying)
                    *written = writeTextFile(path, *s, true);
            },
            [s, written]() -> const QString * { return *written ? s.get() : nullptr; }))
        return;
    if (*emptying) {
        if (showMessage(this, QStringLiteral("生字库会变成空的，确定吗？"), MessageIcon::Information,
                        MessageButtons::YesNo)
            != MessageAnswer::Yes)
            return;
        *written = writeTextFile(path, QString(), true);
        if (*written)
            setText(QString());
    }
    if (!*written) {
        showMessage(this, bankNotSavedText(), MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    accept();
}

void frmSet::Command2_Click()
{
    // The worker shuffles with a copy of the one random source, which takes
    // the copy's state once the shuffle is kept: the same sequence as on the
    // window's thread, and nothing shared between the threads.
    auto t = std::make_shared<QString>(text());
    auto rng = std::make_shared<std::mt19937>(shuffleGenerator());
    runWork([t, rng](const std::atomic_bool &) { *t = shuffleItems(*t, *rng); },
            [t, rng] {
                shuffleGenerator() = *rng;
                return t.get();
            });
}

void frmSet::Command3_Click() { appendItems(resources::simpleFinals()); }

void frmSet::Command4_Click() { appendItems(resources::initials()); }

void frmSet::Command5_Click() { appendItems(resources::compoundFinals()); }

void frmSet::Command6_Click() { appendItems(resources::wholeReadSyllables()); }

void frmSet::Command10_Click() { appendItems(resources::firstGradeCharacters()); }

void frmSet::Command7_Click() { setText(QString()); }

void frmSet::Command9_Click()
{
    auto t = std::make_shared<QString>(text());
    runWork([t](const std::atomic_bool &) { *t = tones::removeToneMarks(*t); }, [t] { return t.get(); });
}

void frmSet::Command8_Click()
{
    auto t = std::make_shared<QString>(text());
    runWork([t](const std::atomic_bool &) { *t = tones::addToneMarks(*t); }, [t] { return t.get(); });
}

bool frmSet::runWork(const std::function<void(const std::atomic_bool &cancelled)> &work,
                     const std::function<const QString *()> &result)
{
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    if (Text1->document()->characterCount() < largeText) {
        work(*cancelled);
        if (const QString *t = result())
            setText(*t);
        return true;
    }
    // The work holds its own copies of what it needs, so a cancelled one may
    // end after this window has gone.
    QThread *worker = QThread::create([work, cancelled] { work(*cancelled); });
    QProgressDialog box(QStringLiteral("正在处理生字库，请稍候……"), QStringLiteral("取消"), 0, 0, this);
    box.setWindowTitle(QStringLiteral("管理我的生字库"));
    box.setWindowModality(Qt::WindowModal);
    box.setMinimumDuration(0);
    box.setAutoClose(false);
    box.setAutoReset(false);
    QEventLoop loop;
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    connect(&box, &QProgressDialog::canceled, &loop, &QEventLoop::quit);
    worker->start();
    box.show();
    loop.exec();
    if (!worker->isFinished()) {
        *cancelled = true;
        connect(worker, &QThread::finished, worker, &QObject::deleteLater);
        return false;
    }
    // Finished before the cancel was seen: what is done stands (the file may
    // be written already).
    worker->wait();
    delete worker;
    if (const QString *t = result()) {
        // Half a text in the box would be worse than waiting: from here on
        // the box only shows that the program is alive.
        box.setCancelButton(nullptr);
        Text1->setLogicalText(*t,
                              [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    }
    return true;
}

void frmSet::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

void frmSet::Form_Resize()
{
    // In order; a size that would be negative ends the handler there.
    const float w = ui::scaleWidth(this) - ui::leftOf(Text1) - 90;
    if (w < 0)
        return;
    Text1->resize(ui::px(w), Text1->height());
    const float h = ui::scaleHeight(this) - ui::topOf(Text1) - 90;
    if (h < 0)
        return;
    Text1->resize(Text1->width(), ui::px(h));
    const float tipWidth = ui::scaleWidth(this) - ui::leftOf(lblTip) - 90;
    if (tipWidth < 0)
        return;
    lblTip->resize(ui::px(tipWidth), lblTip->height());
}

void frmSet::keyPressEvent(QKeyEvent *event)
{
    // Escape does not close the editor: the only ways out are
    // "保存并关闭" and the close box.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
