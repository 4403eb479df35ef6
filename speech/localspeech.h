// Offline Mandarin speech with libespeak-ng, synthesised into memory.
// Used when no text-to-speech service is configured or it cannot be reached.
#pragma once

#include <QByteArray>
#include <QString>

namespace localspeech {

// Mono 16-bit signed little-endian samples.
struct Pcm {
    QByteArray samples;
    int sampleRate = 0;

    qint64 sampleCount() const { return samples.size() / 2; }
    qint64 durationMs() const { return sampleRate > 0 ? sampleCount() * 1000 / sampleRate : 0; }
    bool isEmpty() const { return samples.isEmpty(); }
};

// Folder holding espeak-ng's data ("espeak-ng-data"); empty, the default,
// means the system's. Only takes effect before the first synthesis.
void setDataPath(const QString &path);

// Initialises espeak-ng with the voice "cmn-latn-pinyin" on the first call
// and reports whether it is usable. A failed start is not retried.
bool available();

// The text spoken in Mandarin; empty when espeak-ng is unusable or fails.
Pcm synthesize(const QString &text);

// A complete RIFF/WAVE file around the samples.
QByteArray wavFile(const Pcm &pcm);

// What the local voice says for a caption. A caption starting with a Chinese
// character is read as it is. A pinyin caption is read syllable by syllable:
// syllables with a vowel and more than one letter as pinyin (the voice reads
// toned and toneless pinyin correctly, and the tone mark is exact where a
// representative character may have several readings); lone letters and
// bare initials through the table's representative character (the voice
// would spell them like English letters), z, c and s as zi, ci, si.
QString localText(const QString &caption, const QString &syllableTable);

} // namespace localspeech
