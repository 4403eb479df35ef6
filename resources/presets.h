// Built-in lists: the editor's preset buttons add them to the bank; the
// copybook's tests and benchmark print them.
#pragma once
#include <QString>

namespace resources {
// The preset lists behind the preset buttons.
QString simpleFinals();
QString initials();
QString compoundFinals();
QString wholeReadSyllables();
QString firstGradeCharacters();

// "【字库格式说明】…" CR LF "【拼音声调输法】…"
QString hintText();
} // namespace resources
