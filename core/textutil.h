// modPub: text and list utilities: item separators, patterns in the program's
// \uXXXX notation, shuffling and normalising items.
#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <random>

namespace modPub {

// "[\s,，.。　]+": white space, commas, full stops, ideographic space.
QString itemSeparatorPattern();
QString regexReplace(const QString &text, const QString &pattern, const QString &replacement);
bool regexTest(const QString &text, const QString &pattern);
QString regexFirstGroup(const QString &text, const QString &pattern);
// Whether a pattern (in the program's \uXXXX notation) is usable by the engine.
bool regexIsValid(const QString &pattern);
QString shuffleItems(const QString &text);
// The same with a random source of the caller's (a copy of shuffleGenerator()
// gives the same shuffle on another thread).
QString shuffleItems(const QString &text, std::mt19937 &rng);
// The one random source of shuffleItems; seeding it makes shuffles repeatable (tests).
std::mt19937 &shuffleGenerator();
void seedShuffle(quint32 seed);
QString normalizeItems(const QString &text);
// The first character of a text; a surrogate pair stays whole.
QString firstCodePoint(const QString &text);
// g -> ɡ, then a -> ɑ (lower-case ASCII only).
QString normalizeLetters(const QString &text);
// How much of a text to show when at most `limit` UTF-16 units fit: all of
// it, or `limit` units, one fewer where a surrogate pair would be split.
qsizetype shownLength(QStringView text, qsizetype limit);
// The text when it fits in `limit` UTF-16 units, else its first
// shownLength units and "…".
QString shortened(const QString &text, qsizetype limit);

} // namespace modPub
