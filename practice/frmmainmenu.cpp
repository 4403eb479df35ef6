// The card's context menu. Each capability offers its entries here: the
// copybook, writing practice, dictation and its mistake book; the practice
// window only puts them together.
#include "practice/frmmain.h"

#include "practice/frmsheet.h"
#include "rules/writingcourse.h"
#include "sheet/sheet.h"
#include "writing/frmwrite.h"

#include <QMenu>
#include <QShortcut>

void frmMain::attachCardMenu(const QList<QWidget *> &card)
{
    for (QWidget *w : card) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint &at) { showCardMenu(w, at); });
    }
    // P and T are none of the keys of Form_KeyDown.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this), &QShortcut::activated, this,
            [this] { sheetwindow::open(this, m_deck.text(), m_tag); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this), &QShortcut::activated, this,
            &frmMain::openDictation);
}

void frmMain::showCardMenu(QWidget *on, const QPoint &at)
{
    QMenu menu(on);
    // The copybook, greyed when the bank holds nothing to print.
    QAction *print = menu.addAction(QStringLiteral("打印字帖…"), this,
                                    [this] { sheetwindow::open(this, m_deck.text(), m_tag); });
    print->setEnabled(sheet::Sheet::hasPrintableItems(m_deck.text()));
    // A pinyin card writes 天, and the entry says so.
    menu.addAction(writingcourse::menuText(m_tag), this,
                   [this] { writewindow::open(this, writingcourse::characterFor(m_tag), m_deck.text()); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("听写…"), this, &frmMain::openDictation);
    menu.addAction(QStringLiteral("练习错字本"), this, &frmMain::practiseMistakeBook);
    menu.addAction(QStringLiteral("练习最常写错的"), this, &frmMain::practiseMostOftenWrong);
    menu.addAction(QStringLiteral("学习记录…"), this, &frmMain::openProgress);
    menu.exec(on->mapToGlobal(at));
}
