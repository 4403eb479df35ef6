// Dictation's built-in word list, converted at build time from the lexicon
// package (tools/lexiconconv.cpp says how and in what form).
#pragma once
#include <QString>

namespace resources {
// The list's text: "在 现在 zài" per character, "líng 零" per toned syllable.
QString dictationWords();
} // namespace resources
