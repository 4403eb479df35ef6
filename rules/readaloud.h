// What the practice window speaks for a caption, and the TTS request.
#pragma once

#include <QString>
#include <optional>

namespace readaloud {
// The text sent for a caption: a caption starting with a Chinese character
// unchanged, otherwise the representative character of every syllable found
// in the table (possibly none). No value when a syllable makes the lookup
// pattern unusable: then nothing is spoken.
std::optional<QString> textToSpeak(const QString &caption, const QString &syllableTable);
// The representative character of one syllable, or the empty text.
QString lookupSyllable(const QString &syllable, const QString &syllableTable);
// endpoint + "text2audio?tex=" + encoded + the fixed query pairs.
QString ttsRequest(const QString &endpoint, const QString &encodedText);
} // namespace readaloud
