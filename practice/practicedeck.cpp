#include "practice/practicedeck.h"

#include "core/bankfile.h"
#include "core/textutil.h"
#include "progress/progressfiles.h"

void PracticeDeck::loadBank(const QString &fileText)
{
    m_label.clear();
    m_file.clear();
    setText(fileText);
    m_fileText = fileText;
    m_index = 1;
}

void PracticeDeck::loadMistakes(const QStringList &items, const QString &label, const QString &file)
{
    m_label = label;
    m_file = file;
    setText(items.join(QLatin1Char(' ')));
    m_index = 1;
}

void PracticeDeck::setText(const QString &text)
{
    m_text = text;
    m_items = deck::ItemIndex(m_text);
}

std::optional<QString> PracticeDeck::settle()
{
    if (m_index > upperBound())
        m_index = upperBound();
    if (m_text.isEmpty() || m_index < 1)
        return std::nullopt;
    return deck::normalizedForm(m_items.at(m_index));
}

void PracticeDeck::newRound(bool shuffled)
{
    if (shuffled)
        setText(modPub::shuffleItems(m_text)); // in memory only
    m_index = 0;
}

QString PracticeDeck::counterCaption() const
{
    return isBank() ? deck::counterCaption(m_index, upperBound())
                    : QStringLiteral("%1 %2/%3").arg(m_label).arg(m_index).arg(upperBound());
}

QString PracticeDeck::deletionSource() const
{
    return isBank()        ? QStringLiteral("生字库")
        : m_file.isEmpty() ? QStringLiteral("这次听写的错字")
                           : QStringLiteral("错字本");
}

bool PracticeDeck::remove(const QString &tag)
{
    if (isBank()) {
        // Another copy of the program may have written the bank since it was
        // read here: then the item is taken out of what the file holds now,
        // so that the other copy's deletions are not undone.
        const std::optional<QString> onDisk = modPub::tryReadTextFile(modPub::bankPath());
        const bool changed = onDisk && *onDisk != m_fileText;
        const QString bank = deck::withoutItem(changed ? *onDisk : m_text, tag);
        // A bank that cannot be written (full disk, read-only folder) keeps
        // the item: it would otherwise come back at the next start unasked.
        if (!modPub::writeTextFile(modPub::bankPath(), bank, true))
            return false;
        m_fileText = bank;
        setText(bank);
        return true;
    }
    if (!m_file.isEmpty() && !progressfiles::removeFromMistakeBook({tag}, m_file).isEmpty())
        return false;
    setText(deck::withoutItem(m_text, tag));
    return true;
}

bool PracticeDeck::bankChangedTo(const QString &fileText)
{
    m_fileText = fileText;
    return fileText != m_text;
}
