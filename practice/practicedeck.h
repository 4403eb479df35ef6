// What the practice window steps through: the bank, or for a while a deck of
// mistakes, the position in it and what deleting an item writes. No widget:
// the window shows what this holds and forwards the pupil's steps.
#pragma once

#include "rules/deck.h"

#include <QString>
#include <QStringList>

#include <optional>

class PracticeDeck
{
public:
    // The bank file's text: the deck is the bank again, at its first item.
    void loadBank(const QString &fileText);
    // A deck of mistakes instead of the bank, at its first item. `file` is the
    // mistake book it came from, empty for items that live in memory only
    // (one run's mistakes, the history's most often wrong).
    void loadMistakes(const QStringList &items, const QString &label, const QString &file);
    // The text stepped through, changed in memory only (a shuffled round).
    void setText(const QString &text);

    const QString &text() const { return m_text; }
    bool isBank() const { return m_label.isEmpty(); }
    // The counter's name of a deck of mistakes; empty while the deck is the bank.
    const QString &label() const { return m_label; }
    int index() const { return m_index; }
    // The last slot; slot 0 is the empty one before the first item.
    int upperBound() const { return static_cast<int>(m_items.size()) - 1; }

    // The index brought down to the last slot; the shown item's normalized
    // form when the index is on an item.
    std::optional<QString> settle();
    bool canGoBack() const { return m_index > 1; }
    bool canGoOn() const { return m_index < upperBound(); }
    void back() { --m_index; }
    void next() { ++m_index; }
    // Autoplay past the last item: a new round from the start, shuffled in
    // memory when asked.
    void newRound(bool shuffled);
    // "我的生字库 3/20", or the deck's name and position.
    QString counterCaption() const;

    // Where 已会,删除 takes an item from, as the question names it.
    QString deletionSource() const;
    // Takes the item whose normalized form is `tag` out of the deck and out of
    // where it lives: the bank file (what the file holds now, when another
    // copy of the program wrote it since), the mistake book, or memory only.
    // False, and nothing changed, when that file could not be written.
    bool remove(const QString &tag);
    // The editor closed on the bank: its file's text now. True when that is
    // not what the deck shows, which must then be loaded again.
    bool bankChangedTo(const QString &fileText);

private:
    QString m_text;
    QString m_fileText; // the bank file's text as last read or written here
    deck::ItemIndex m_items; // item list of m_text, rebuilt when it changes
    int m_index = 0;
    QString m_label;
    QString m_file;
};
