#include "speech/localspeech.h"

#include "rules/deck.h"
#include "rules/readaloud.h"

#include <QMutex>
#include <QStringList>
#include <QtEndian>

#include <espeak-ng/speak_lib.h>

namespace localspeech {
namespace {

struct Engine {
    bool tried = false;
    bool ok = false;
    int sampleRate = 0;
    QString dataPath;
};

Engine &engine()
{
    static Engine e;
    return e;
}

// The synthesis running now: where its samples go and whether it is still
// wanted. espeak-ng keeps global state, so one synthesis runs at a time.
struct Collecting {
    QByteArray *samples = nullptr;
    const std::function<bool()> *cancelled = nullptr;
};
Collecting collecting;

QMutex &engineLock()
{
    static QMutex m;
    return m;
}

int collect(short *wav, int count, espeak_EVENT *)
{
    if (collecting.cancelled && *collecting.cancelled && (*collecting.cancelled)())
        return 1; // abandon the rest
    if (wav && count > 0 && collecting.samples) {
        QByteArray *out = collecting.samples;
        const qsizetype at = out->size();
        out->resize(at + qsizetype(count) * 2);
        qToLittleEndian<qint16>(wav, count, out->data() + at);
    }
    return 0; // go on
}

// The program writes a and g as ɑ and ɡ; the voice knows only the ASCII letters.
QString forVoice(const QString &syllable)
{
    QString s = syllable.toLower();
    s.replace(QChar(0x0251), QLatin1Char('a'));
    s.replace(QChar(0x0261), QLatin1Char('g'));
    return s;
}

bool isToneMark(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0x0300 || u == 0x0301 || u == 0x0304 || u == 0x030C;
}

bool isVowel(QChar c) { return QStringView(u"aeiou\u00FC").contains(c); }

QString spokenSyllable(const QString &syllable, const QString &syllableTable)
{
    const QString voiced = forVoice(syllable);
    bool toned = false;
    bool hasVowel = false;
    bool lettersOnly = true;
    qsizetype letters = 0;
    for (const QChar c : voiced.normalized(QString::NormalizationForm_D)) {
        if (isToneMark(c)) {
            toned = true;
        } else if (c.category() != QChar::Mark_NonSpacing) {
            ++letters;
            hasVowel = hasVowel || isVowel(c);
            lettersOnly = lettersOnly && c.isLetter();
        }
    }
    // Tone marks, and tone digits or numbers, are read as written.
    if (toned || !lettersOnly)
        return voiced;
    // Without a digit the voice gives a toneless syllable the first tone;
    // 5 is its neutral tone (mɑ as in 吗).
    if (hasVowel && letters > 1)
        return voiced + QLatin1Char('5');

    // A lone letter or a bare initial: the voice would spell it, the
    // representative character gives the sound pupils learn for it (b as bō).
    const QString character = readaloud::lookupSyllable(syllable, syllableTable);
    if (!character.isEmpty())
        return character;
    if (voiced == u"z" || voiced == u"c" || voiced == u"s")
        return voiced + QChar(0x012B); // zī cī sī, like the other initials
    return QString();
}

} // namespace

void setDataPath(const QString &path) { engine().dataPath = path; }

namespace {
bool startEngine()
{
    Engine &e = engine();
    if (e.tried)
        return e.ok;
    e.tried = true;
    const QByteArray path = e.dataPath.toLocal8Bit();
    // DONT_EXIT: without it espeak-ng ends the whole program when its data is missing.
    e.sampleRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, path.isEmpty() ? nullptr : path.constData(),
                                     espeakINITIALIZE_DONT_EXIT);
    if (e.sampleRate <= 0)
        return false;
    espeak_SetSynthCallback(collect);
    // "cmn" reads tone digits and Latin letters in English; this voice reads
    // characters and tone-marked pinyin in Mandarin.
    e.ok = espeak_SetVoiceByName("cmn-latn-pinyin") == EE_OK;
    return e.ok;
}
} // namespace

bool available()
{
    QMutexLocker lock(&engineLock());
    return startEngine();
}

Pcm synthesize(const QString &text, const std::function<bool()> &cancelled)
{
    Pcm pcm;
    if (text.trimmed().isEmpty())
        return pcm;
    QMutexLocker lock(&engineLock());
    if (!startEngine())
        return pcm;
    const QByteArray utf8 = text.toUtf8();
    QByteArray samples;
    collecting = {&samples, &cancelled};
    const espeak_ERROR result = espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, nullptr);
    if (result == EE_OK)
        espeak_Synchronize();
    collecting = {};
    if (result != EE_OK || (cancelled && cancelled()))
        return pcm;
    pcm.samples = samples;
    pcm.sampleRate = engine().sampleRate;
    return pcm;
}

QString phonemes(const QString &text)
{
    QMutexLocker lock(&engineLock());
    if (!startEngine())
        return QString();
    const QByteArray utf8 = text.toUtf8();
    const void *at = utf8.constData();
    QStringList clauses;
    // One clause per call; the pointer is moved on, and cleared at the end.
    while (at) {
        const char *clause = espeak_TextToPhonemes(&at, espeakCHARS_UTF8, 0);
        if (clause && *clause)
            clauses += QString::fromUtf8(clause).trimmed();
    }
    return clauses.join(QLatin1Char(' '));
}

QByteArray wavFile(const Pcm &pcm)
{
    const quint32 dataSize = quint32(pcm.samples.size());
    const quint32 rate = quint32(pcm.sampleRate);
    QByteArray out;
    out.reserve(44 + pcm.samples.size());
    const auto u32 = [&out](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    };
    const auto u16 = [&out](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        out.append(b, 2);
    };
    out += "RIFF";
    u32(36 + dataSize);
    out += "WAVE";
    out += "fmt ";
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(rate);
    u32(rate * 2); // bytes per second
    u16(2); // bytes per frame
    u16(16); // bits per sample
    out += "data";
    u32(dataSize);
    out += pcm.samples;
    return out;
}

QString localText(const QString &caption, const QString &syllableTable)
{
    QStringList parts;
    QString chinese;
    QString syllable;
    const auto flushChinese = [&] {
        if (!chinese.isEmpty())
            parts += chinese;
        chinese.clear();
    };
    const auto flushSyllable = [&] {
        if (!syllable.isEmpty()) {
            const QString spoken = spokenSyllable(syllable, syllableTable);
            if (!spoken.isEmpty())
                parts += spoken;
        }
        syllable.clear();
    };
    for (const QChar c : caption) {
        if (deck::isChineseCharacter(c)) {
            flushSyllable();
            chinese += c;
        } else if (c.isSpace() || c.isPunct()) {
            flushSyllable();
            flushChinese();
        } else {
            flushChinese();
            syllable += c;
        }
    }
    flushSyllable();
    flushChinese();
    return parts.join(QLatin1Char(' '));
}

} // namespace localspeech
