// What dictation says for an item. A single character is read with a word
// ("在，现在的在": one syllable stands for many characters, the word tells
// which); a pinyin syllable is heard with its tone, ɑ, ɡ and ü included;
// what no voice can say (digits, stray letters, a lone dash) is left out.
#pragma once

#include "core/keptfile.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>

namespace dictation {

// 只读字 / 字和词 / 只读词.
enum class WordMode { CharacterOnly = 0, CharacterAndWord = 1, WordOnly = 2 };

// The built-in word list (resources/words.h) with the parent's own words over it.
class Words
{
public:
    Words() = default;
    // `listText`: "在 现在 zài" per character, "líng 零" per toned syllable.
    explicit Words(const QString &listText);

    // The word a character is read with: the parent's own, else the list's; empty when none.
    QString wordFor(QChar c) const;
    QString builtInWordFor(QChar c) const { return m_words.value(c); }
    // The character's reading in its word, when that word is the list's own.
    QString readingFor(QChar c) const;
    // The character most often read so ("líng" 零); an untoned syllable is
    // taken in its first tone, then in the others, then in the neutral one.
    // Empty when none is.
    QString characterFor(const QString &syllable) const;
    // Whether an untoned syllable is one of Mandarin's ("lü", "ling").
    bool isSyllable(const QString &plain) const { return m_plain.contains(plain); }

    const QMap<QChar, QString> &ownWords() const { return m_own; }
    void setOwnWords(const QMap<QChar, QString> &own) { m_own = own; }

private:
    QHash<QChar, QString> m_words;
    QHash<QChar, QString> m_readings;
    QHash<QString, QString> m_characters; // toned syllable to its character
    QHash<QString, bool> m_plain;
    QMap<QChar, QString> m_own;
};

// How an item is said: `caption` for the local voice (which reads tone-marked
// pinyin and characters), `online` for the speech service (characters only;
// empty when only the local voice can say it). Both empty: nothing can be heard.
struct Spoken {
    QString caption;
    QString online;
    bool hearable() const { return !caption.isEmpty(); }
    bool operator==(const Spoken &) const = default;
};

// `item` in its normalized form; `syllableTable` is the practice window's,
// for the initials and finals that are no syllables of their own.
Spoken spokenForm(const QString &item, WordMode mode, const Words &words, const QString &syllableTable);

// A pinyin syllable written the way the voices and the list know it: lower
// case, a and g for ɑ and ɡ, composed marks.
QString plainLetters(const QString &syllable);

// ---- The parent's own words: 组词.txt beside the bank, one "在 在家" a line ----

inline QString ownWordsFileName() { return keptfile::wordListName(); }

struct OwnWords {
    QMap<QChar, QString> words;
    QStringList badLines; // as written, for a message
};

// A line is a character, white space and a word of Chinese characters
// holding it; empty lines and lines starting with "#" are passed over silently.
OwnWords parseOwnWords(const QString &fileText);
// The file with `changes` made (an empty word removes the character's line):
// lines changed in place, new ones at the end, every other line as it was.
QString updatedOwnWords(const QString &fileText, const QMap<QChar, QString> &changes);

} // namespace dictation
