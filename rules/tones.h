// Pinyin tone marks: the tone table and the rules the editor's typing aids and
// tone commands apply. Plain functions over text, no window involved.
#pragma once

#include <QString>

namespace tones {

// Six rows of five: a vowel's plain form, then its tones 1 to 4. The row
// order is also the priority that decides which vowel of a syllable takes
// the mark. The plain a is ɑ (U+0251), so taking a mark off ǎ gives ɑ.
// "ɑāáǎàoōóǒòeēéěèiīíǐìuūúǔùüǖǘǚǜ"
QString toneTable();
constexpr int rowCount = 6;
constexpr int rowLength = 5;

// The pinyin letter typed for a key: a -> ɑ, g -> ɡ, v -> ü; 0 for every
// other key (upper case included).
char16_t substituteKey(char16_t key);

// A tone digit 0 to 4 typed right after `before`: the character that takes
// `before`'s place (its plain form for 0, tone d for 1 to 4), or 0 when the
// digit is to be typed as a digit (not a tone digit, or `before` is no vowel
// of the table).
char16_t toneDigitResult(char16_t before, char16_t digit);

// "拼音去声调": every toned vowel of the table replaced by its plain form;
// items are normalised before and after, so items that become equal collapse.
QString removeToneMarks(const QString &text);

// "拼音加声调": marks removed first, then every item holding one of the six
// vowels replaced in place by its four toned forms (tone order 1 to 4). The
// vowel is the first of ɑ o e i u ü found anywhere in the item; every
// occurrence of it is marked. Items are split at single spaces only.
QString addToneMarks(const QString &text);

// The step of addToneMarks after the marks are gone: expands each item of an
// already normalised, unmarked text.
QString expandToneMarks(const QString &text);

} // namespace tones
