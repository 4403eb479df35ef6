// frmMain's side of dictation: opening it, what it asks of the practice
// window, and the decks of mistakes it leaves behind.
#include "practice/frmmain.h"

#include "core/bankfile.h"
#include "dictation/dictationfiles.h"
#include "dictation/frmdictation.h"
#include "practice/frmsheet.h"
#include "practice/sheetexport.h"
#include "progress/frmprogress.h"
#include "progress/progressfiles.h"
#include "rules/dictation.h"
#include "widgets/messagebox.h"

void frmMain::openDictation()
{
    if (auto *open = findChild<frmDictation *>()) {
        open->raise();
        open->activateWindow();
        return;
    }
    // Autoplay would read over the dictation and show the items.
    if (Timer1->isActive())
        Label2_Click();
    auto *w = new frmDictation(this, *this, m_deck.text(), m_deck.index());
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setWindowModality(Qt::WindowModal);
    // The card behind must not give the answer away.
    lblChar->hide();
    connect(w, &QObject::destroyed, lblChar, [card = lblChar] { card->show(); });
    w->show();
    w->raise();
    w->activateWindow();
}

void frmMain::practise(const QStringList &items)
{
    practiseDeck(items, QStringLiteral("听写错字"), QString());
}

void frmMain::openCopybook(QWidget *owner, const QStringList &items, const QString &label)
{
    if (!items.isEmpty())
        sheetwindow::open(owner, items.join(QLatin1Char(' ')), items.first(), label);
}

void frmMain::printPages(QWidget *owner, sheet::Pages &pages, const QString &name)
{
    sheetexport::printOrSave(owner, pages, name);
}

void frmMain::practiseMistakeBook()
{
    const QString path = dictationfiles::mistakeBookPath();
    QString why;
    const std::optional<keptfile::Text> text
        = keptfile::read(path, keptfile::Kind::MistakeBook, &why);
    if (!text) {
        showMessage(this, why, MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    const QStringList items = dictation::bookItems(text->text);
    if (items.isEmpty()) {
        showMessage(this, QStringLiteral("错字本里还没有字。听写以后，可以把写错的加入错字本。"),
                    MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    practiseDeck(items, QStringLiteral("错字本"), path);
}

void frmMain::practiseMostOftenWrong()
{
    QString why;
    const history::History h = progressfiles::readHistory(&why);
    QStringList items;
    for (const history::History::Count &c : h.mostOftenWrong(10))
        items << c.item;
    if (items.isEmpty()) {
        showMessage(this,
                    why.isEmpty() ? QStringLiteral("还没有写错过的字。听写或练写以后，最常写错的会在这里。") : why,
                    MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    // Its items come from the history: 已会,删除 takes them off this deck only.
    practiseDeck(items, QStringLiteral("最常写错的"), QString());
}

void frmMain::openProgress()
{
    // While a deck of mistakes is shown, the bank is still what was dictated from.
    progresswindow::open(this, m_deck.isBank() ? m_deck.text() : modPub::readTextFile(modPub::bankPath()));
}

void frmMain::practiseDeck(const QStringList &items, const QString &label, const QString &file)
{
    m_deck.loadMistakes(items, label, file);
    showCurrentItem();
    restoreFocus();
}
