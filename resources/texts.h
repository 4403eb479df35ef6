// Built-in texts: the syllable table and the instructions.
#pragma once
#include <QString>

namespace resources {
// Pinyin key + representative character per line, CR LF between lines.
QString syllableTable();
// The instructions window's text, every line ended by CR LF.
QString instructionsText();
} // namespace resources
