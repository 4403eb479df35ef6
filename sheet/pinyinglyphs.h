// Pinyin letters as schools write them: a single-storey ɑ, also under a tone
// mark. The serif faces draw ā á ǎ à on their double-storey "a", so that ɑ
// and ā would look like two different letters, and their combining marks do
// not sit on ɑ. So ā á ǎ à (and ɑ followed by a combining tone mark) are drawn
// as the face's own ɑ with the face's own tone mark taken from ā á ǎ à, at the
// height the face gives it. ɡ needs nothing: the faces draw U+0261 single-storey.
// The text itself is never changed, only how it is drawn.
#pragma once

#include <QFont>
#include <QPainterPath>
#include <QString>

namespace pinyinglyphs {

// Whether the text holds a toned a that gets drawn on ɑ.
bool hasTonedA(QStringView text);

// The letters as laid out: every toned a as ɑ, the combining tone mark after
// an ɑ dropped. Measure and place the text by this.
QString bodyText(const QString &text);

// The tone marks of the toned a's of `text`, in `font`, for bodyText(text)
// laid out from (0, 0) on the baseline.
QPainterPath toneMarks(const QFont &font, const QString &text);

// The whole text as an outline: bodyText(text) and its tone marks, from
// (0, 0) on the baseline.
QPainterPath textPath(const QFont &font, const QString &text);
} // namespace pinyinglyphs
