// Offline Mandarin speech with libespeak-ng, synthesised into memory.
// Used when no text-to-speech service is configured or it cannot be reached.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

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

// The text spoken in Mandarin; empty when espeak-ng is unusable, fails or
// cancelled() turns true on the way (asked between chunks of a few ms of
// audio). One synthesis at a time; callers on other threads wait their turn.
Pcm synthesize(const QString &text, const std::function<bool()> &cancelled = {});

// How the voice reads a text, in espeak-ng's phoneme mnemonics with tone
// digits (妈 is "m'A55", 吗 "m'A11"); empty when espeak-ng is unusable. Tells
// what will be said without listening to it.
QString phonemes(const QString &text);

// A complete RIFF/WAVE file around the samples.
QByteArray wavFile(const Pcm &pcm);

// What the local voice says for a caption. Chinese characters are read as
// they are; everything else, in a pinyin caption or between the characters
// of a Chinese one, is read as pinyin, syllable by syllable:
// - a syllable with a tone mark or a tone digit as written (the tone mark is
//   exact where a representative character may have several readings);
// - a toneless syllable with a vowel in the neutral tone (written with the
//   digit 5, which the voice understands);
// - a lone letter or a bare initial through the table's representative
//   character (b as bō), z, c and s as zī, cī, sī; any other letter says
//   nothing, since the voice would spell it like an English letter.
QString localText(const QString &caption, const QString &syllableTable);

} // namespace localspeech
