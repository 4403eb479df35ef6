#include "speech/localspeech.h"

#include "rules/readaloud.h"

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

// Where the callback puts the samples of the synthesis running now. espeak-ng
// is used on the window thread only, one synthesis at a time.
QByteArray *collecting = nullptr;

int collect(short *wav, int count, espeak_EVENT *)
{
    if (wav && count > 0 && collecting) {
        const qsizetype at = collecting->size();
        collecting->resize(at + qsizetype(count) * 2);
        qToLittleEndian<qint16>(wav, count, collecting->data() + at);
    }
    return 0; // go on
}

bool isChinese(QChar c)
{
    return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FA5;
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

QString spokenSyllable(const QString &syllable, const QString &syllableTable)
{
    const QString decomposed = forVoice(syllable).normalized(QString::NormalizationForm_D);
    bool toned = false;
    QString letters;
    for (const QChar c : decomposed) {
        if (isToneMark(c))
            toned = true;
        else if (c.category() != QChar::Mark_NonSpacing)
            letters += c;
    }
    bool hasVowel = false;
    for (const QChar c : letters)
        hasVowel = hasVowel || QStringLiteral("aeiou").contains(c);
    if (toned || (hasVowel && letters.size() > 1))
        return forVoice(syllable);

    // A lone letter or a bare initial: the voice would spell it, the
    // representative character gives the sound pupils learn for it (b as bō).
    const QString character = readaloud::lookupSyllable(syllable, syllableTable);
    if (!character.isEmpty())
        return character;
    if (letters == u"z" || letters == u"c" || letters == u"s")
        return letters + QLatin1Char('i');
    return forVoice(syllable);
}

} // namespace

void setDataPath(const QString &path)
{
    engine().dataPath = path;
}

bool available()
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

Pcm synthesize(const QString &text)
{
    Pcm pcm;
    if (text.trimmed().isEmpty() || !available())
        return pcm;
    const QByteArray utf8 = text.toUtf8();
    QByteArray samples;
    collecting = &samples;
    const espeak_ERROR result = espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, nullptr);
    if (result == EE_OK)
        espeak_Synchronize();
    collecting = nullptr;
    if (result != EE_OK)
        return pcm;
    pcm.samples = samples;
    pcm.sampleRate = engine().sampleRate;
    return pcm;
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
    u16(1);        // PCM
    u16(1);        // mono
    u32(rate);
    u32(rate * 2); // bytes per second
    u16(2);        // bytes per frame
    u16(16);       // bits per sample
    out += "data";
    u32(dataSize);
    out += pcm.samples;
    return out;
}

QString localText(const QString &caption, const QString &syllableTable)
{
    if (caption.isEmpty() || isChinese(caption.at(0)))
        return caption;
    QStringList parts;
    for (const QString &y : caption.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        parts += spokenSyllable(y, syllableTable);
    return parts.join(QLatin1Char(' '));
}

} // namespace localspeech
