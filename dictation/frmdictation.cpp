#include "dictation/frmdictation.h"

#include "core/clock.h"
#include "dictation/checkgrid.h"
#include "dictation/dictationcard.h"
#include "dictation/dictationhost.h"
#include "dictation/setuppage.h"
#include "rules/deck.h"
#include "sheet/dictationpaper.h"
#include "widgets/messagebox.h"
#include "widgets/ui.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
// The three buttons for the mistakes carry colours of their own, as the
// practice window's bank and delete buttons do.
const QColor sheetColour(204, 229, 255);
const QColor practiseColour(255, 224, 192);

enum Page { SetupPage = 0, RunPage = 1, CheckPage = 2 };

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    // Keys belong to the card or the grid: Space and Enter must never press a button.
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    return b;
}

QLabel *label(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    l->setTextFormat(Qt::PlainText);
    return l;
}
} // namespace

frmDictation::frmDictation(QWidget *owner, DictationHost &host, const QString &bankText, int shownIndex)
    : QDialog(owner), m_host(host), m_run(host, bankText, shownIndex)
{
    setWindowTitle(QStringLiteral("听写"));
    if (owner)
        setWindowIcon(owner->windowIcon());
    setFont(ui::designFont(QStringLiteral("宋体"), 10.5));
    auto *pages = new QStackedWidget(this);
    pages->setObjectName(QStringLiteral("pages"));
    auto *setup = new DictationSetup(m_run);
    pages->addWidget(setup);
    pages->addWidget(createRunPage());
    pages->addWidget(createCheckPage());
    auto *top = new QVBoxLayout(this);
    top->addWidget(pages);
    connect(setup, &DictationSetup::startRequested, &m_run, &DictationRun::start);
    connect(setup, &DictationSetup::recordsRequested, this, &frmDictation::showRecords);
    connect(setup, &DictationSetup::paperRequested, this, &frmDictation::printPaper);
    connect(setup, &DictationSetup::closeRequested, this, &QDialog::close);
    connectControls();
    resize(640, 480);
    ui::centreOnOwnerOnFirstShow(this, owner);
}

QWidget *frmDictation::createRunPage()
{
    auto *page = new QWidget;
    auto *card = new DictationCard(page);
    card->setObjectName(QStringLiteral("card"));
    auto *progress = new QProgressBar(page);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setRange(0, 1000);
    progress->setTextVisible(false);
    progress->setFixedHeight(6);
    QLabel *keys = label(page, "lblKeys");
    keys->setAlignment(Qt::AlignCenter);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(button(page, "cmdPause", QStringLiteral("暂停")));
    buttons->addWidget(button(page, "cmdAnswers", QStringLiteral("对答案")));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(card, 1);
    layout->addWidget(progress);
    layout->addWidget(keys);
    layout->addLayout(buttons);
    return page;
}

QWidget *frmDictation::createCheckPage()
{
    auto *page = new QWidget;
    QLabel *score = label(page, "lblScore");
    score->setFont(ui::designFont(QStringLiteral("微软雅黑"), 14));
    QLabel *hint = label(page, "lblHint");
    hint->setText(QStringLiteral("点一下写错的（或按它的号码，或用方向键和空格），再点一下就改回来。"));
    auto *grid = new CheckGrid;
    grid->setObjectName(QStringLiteral("grid"));
    auto *area = new QScrollArea(page);
    area->setObjectName(QStringLiteral("gridArea"));
    area->setWidgetResizable(true);
    area->setWidget(grid);
    area->setFocusPolicy(Qt::NoFocus);
    // The tiles follow the room the area gives them, also when only its height changes.
    area->viewport()->installEventFilter(this);
    auto *mistakes = new QHBoxLayout;
    const std::pair<QPushButton *, QColor> coloured[] = {
        {button(page, "cmdSheet", QStringLiteral("错字打印成字帖…")), sheetColour},
        {button(page, "cmdPractise", QStringLiteral("练习错字")), practiseColour},
        {button(page, "cmdAddBook", QStringLiteral("加入错字本")), ui::mistakeBookColour()},
    };
    for (const auto &[b, colour] : coloured) {
        ui::setBackground(b, colour);
        mistakes->addWidget(b);
    }
    mistakes->addStretch(1);
    auto *more = new QHBoxLayout;
    more->addWidget(button(page, "cmdAgain", QStringLiteral("再听写一次")));
    more->addWidget(button(page, "cmdRecords2", QStringLiteral("听写记录…")));
    more->addStretch(1);
    more->addWidget(button(page, "cmdClose2", QStringLiteral("关闭")));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(score);
    layout->addWidget(hint);
    layout->addWidget(area, 1);
    layout->addWidget(label(page, "lblStatus"));
    layout->addLayout(mistakes);
    layout->addLayout(more);
    return page;
}

void frmDictation::connectControls()
{
    const auto clicked = [this](const char *name, auto slot) {
        connect(findChild<QPushButton *>(QLatin1String(name)), &QPushButton::clicked, this, slot);
    };
    clicked("cmdPause", [this] { m_run.togglePause(); });
    clicked("cmdAnswers", [this] { m_run.finish(); });
    clicked("cmdSheet", &frmDictation::openCopybook);
    clicked("cmdPractise", &frmDictation::practise);
    clicked("cmdAddBook", &frmDictation::addToBook);
    clicked("cmdAgain", &frmDictation::again);
    clicked("cmdRecords2", &frmDictation::showRecords);
    clicked("cmdClose2", &QDialog::close);
    connect(&m_run, &DictationRun::stageChanged, this, &frmDictation::stageChanged);
    connect(&m_run, &DictationRun::cardChanged, this, &frmDictation::updateCard);
    connect(&m_run, &DictationRun::marksChanged, this, &frmDictation::updateScore);
    auto *grid = findChild<CheckGrid *>(QStringLiteral("grid"));
    connect(grid, &CheckGrid::toggleRequested, &m_run, &DictationRun::toggleMark);
}

void frmDictation::stageChanged(DictationRun::Stage stage)
{
    auto *pages = findChild<QStackedWidget *>(QStringLiteral("pages"));
    switch (stage) {
    case DictationRun::Stage::Setup:
        pages->setCurrentIndex(SetupPage);
        findChild<QPushButton *>(QStringLiteral("cmdStart"))->setFocus();
        break;
    case DictationRun::Stage::Running:
        findChild<QLabel *>(QStringLiteral("lblKeys"))
            ->setText(m_run.settings().manual
                          ? QStringLiteral("空格或 →：下一个　R：再读一遍　←：上一个　P：暂停　Esc：结束")
                          : QStringLiteral("空格或 R：再读一遍　→：下一个　←：上一个　P：暂停　Esc：结束"));
        pages->setCurrentIndex(RunPage);
        findChild<DictationCard *>(QStringLiteral("card"))->setFocus();
        break;
    case DictationRun::Stage::Checking: showCheck(); break;
    }
}

void frmDictation::updateCard()
{
    findChild<DictationCard *>(QStringLiteral("card"))
        ->setTexts(m_run.positionText(), m_run.statusText(), m_run.noteText());
    findChild<QProgressBar *>(QStringLiteral("progress"))->setValue(int(m_run.progress() * 1000));
    const bool paused = m_run.schedule() && m_run.schedule()->paused();
    findChild<QPushButton *>(QStringLiteral("cmdPause"))
        ->setText(paused ? QStringLiteral("继续") : QStringLiteral("暂停"));
}

void frmDictation::showCheck()
{
    // Each item with the word it was read with: what the parent asked for.
    QStringList words;
    for (const QString &item : m_run.check().items) {
        const QString said = m_run.spoken(item).caption;
        words << (deck::isChinese(item) && said != deck::displayForm(item) ? m_run.words().wordFor(item.at(0))
                                                                           : QString());
    }
    auto *grid = findChild<CheckGrid *>(QStringLiteral("grid"));
    grid->setItems(m_run.check().items, words);
    findChild<QLabel *>(QStringLiteral("lblStatus"))->clear();
    findChild<QStackedWidget *>(QStringLiteral("pages"))->setCurrentIndex(CheckPage);
    updateScore();
    grid->setFocus();
}

void frmDictation::updateScore()
{
    findChild<CheckGrid *>(QStringLiteral("grid"))->setMarks(m_run.check().wrong);
    findChild<QLabel *>(QStringLiteral("lblScore"))->setText(m_run.scoreText());
    const bool any = !m_run.check().wrongItems().isEmpty();
    for (const char *name : {"cmdSheet", "cmdPractise", "cmdAddBook"})
        findChild<QPushButton *>(QLatin1String(name))->setEnabled(any);
}

bool frmDictation::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize)
        if (auto *grid = findChild<CheckGrid *>(QStringLiteral("grid")))
            grid->relayout();
    return QDialog::eventFilter(watched, event);
}

void frmDictation::askToStop()
{
    if (!m_run.running())
        return;
    const bool wasPaused = m_run.pauseForQuestion();
    const MessageAnswer a = showMessage(this, QStringLiteral("要结束这次听写，开始对答案吗？"),
                                        MessageIcon::Information, MessageButtons::YesNo);
    if (!m_run.running())
        return;
    if (a == MessageAnswer::Yes)
        m_run.finish();
    else if (!wasPaused)
        m_run.resume();
}

void frmDictation::keyPressEvent(QKeyEvent *event)
{
    if (!m_run.running()) {
        QDialog::keyPressEvent(event);
        return;
    }
    // A key held down would step through the whole bank.
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space: m_run.space(); break;
    case Qt::Key_R: m_run.repeatNow(); break;
    case Qt::Key_Right:
    case Qt::Key_PageDown: m_run.forward(); break;
    case Qt::Key_Left:
    case Qt::Key_PageUp: m_run.back(); break;
    case Qt::Key_P: m_run.togglePause(); break;
    case Qt::Key_Escape: askToStop(); break;
    default: QDialog::keyPressEvent(event); return;
    }
    event->accept();
}

// Esc, "关闭" and the close box all end here (a close event rejects the dialog).
void frmDictation::reject()
{
    if (m_run.running()) {
        askToStop();
        return;
    }
    saveRecord();
    QDialog::reject();
}

void frmDictation::closeEvent(QCloseEvent *event)
{
    // Closing the window ends a run without asking.
    if (m_run.running())
        m_run.finish();
    QDialog::closeEvent(event);
}

void frmDictation::saveRecord()
{
    const QString error = m_run.saveRecord();
    if (!error.isEmpty())
        showMessage(this, error, MessageIcon::Information, MessageButtons::Ok);
    offerMastered();
}

// Items right often enough since their last mistake may leave the book, but
// only when the parent says so.
void frmDictation::offerMastered()
{
    const QStringList items = m_run.masteredToOffer();
    if (items.isEmpty()
        || showMessage(this, history::masteredQuestion(items, m_run.settings().masteredAfter), MessageIcon::Information,
                       MessageButtons::YesNo)
            != MessageAnswer::Yes)
        return;
    showOutcome(m_run.removeFromBook(items));
}

void frmDictation::showOutcome(const std::pair<QString, QString> &outcome)
{
    const auto &[status, message] = outcome;
    if (!message.isEmpty())
        showMessage(this, message, MessageIcon::Information, MessageButtons::Ok);
    if (!status.isEmpty() || message.isEmpty())
        findChild<QLabel *>(QStringLiteral("lblStatus"))->setText(status);
}

void frmDictation::printPaper()
{
    if (m_run.items().isEmpty())
        return;
    QStringList words, readings;
    for (const QString &item : m_run.items()) {
        const bool single = item.size() == 1 && deck::isChineseCharacter(item.at(0));
        words << (single ? m_run.words().wordFor(item.at(0)) : QString());
        readings << (single ? m_run.words().readingFor(item.at(0)) : QString());
    }
    sheet::DictationPaper paper(m_run.items(), words, readings, Clock::today());
    m_host.printPages(this, paper, QStringLiteral("听写纸"));
}

void frmDictation::openCopybook()
{
    const QStringList wrong = m_run.check().wrongItems();
    if (!wrong.isEmpty())
        m_host.openCopybook(this, wrong, QStringLiteral("听写错字（%1 个）").arg(wrong.size()));
}

void frmDictation::practise()
{
    const QStringList wrong = m_run.check().wrongItems();
    if (wrong.isEmpty())
        return;
    saveRecord();
    m_host.practise(wrong);
    close();
}

void frmDictation::addToBook() { showOutcome(m_run.addToBook()); }

void frmDictation::again()
{
    saveRecord();
    m_run.again();
}

void frmDictation::showRecords()
{
    saveRecord();
    dictationwindow::showRecords(this, m_run.bankText());
}
