#include "rules/dictationwords.h"

#include "rules/deck.h"
#include "rules/readaloud.h"

#include <QRegularExpression>

namespace dictation {

namespace {
constexpr char16_t toneMarks[] = {0x0304, 0x0301, 0x030C, 0x0300};

// 1 to 4, or 0 without a mark.
int toneOf(const QString &plain)
{
    for (const QChar c : plain.normalized(QString::NormalizationForm_D))
        for (int t = 0; t < 4; ++t)
            if (c.unicode() == toneMarks[t])
                return t + 1;
    return 0;
}

QString withoutTone(const QString &plain)
{
    QString out;
    for (const QChar c : plain.normalized(QString::NormalizationForm_D))
        if (!QStringView(toneMarks, 4).contains(c))
            out += c;
    return out.normalized(QString::NormalizationForm_C);
}

// The mark goes on a or e, on the o of ou, else on the last vowel (liū, guī).
QString withTone(const QString &plain, int tone)
{
    QString s = withoutTone(plain);
    qsizetype at = s.indexOf(u'a');
    if (at < 0)
        at = s.indexOf(u'e');
    if (at < 0)
        at = s.indexOf(QStringLiteral("ou"));
    for (qsizetype i = s.size() - 1; at < 0 && i >= 0; --i)
        if (QStringView(u"iouü").contains(s.at(i)))
            at = i;
    if (at < 0 || tone < 1 || tone > 4)
        return s;
    s.insert(at + 1, QChar(toneMarks[tone - 1]));
    return s.normalized(QString::NormalizationForm_C);
}

// Initials and finals a pupil learns that are no syllable of their own: the
// local voice still says them.
bool isInitialOrFinal(const QString &plain)
{
    static const QStringList sounds
        = QStringLiteral("b p m f d t n l g k h j q x zh ch sh r z c s y w "
                         "ui iu ie üe ve un ün vn ing ong iong ia iao ian iang ua uo uai uan uang üan")
              .split(u' ');
    return sounds.contains(plain);
}
} // namespace

Words::Words(const QString &listText)
{
    for (const QString &line : listText.split(u'\n')) {
        const QStringList parts = line.trimmed().split(u' ', Qt::SkipEmptyParts);
        if (parts.size() < 2 || line.startsWith(u'#'))
            continue;
        const QString &key = parts.at(0);
        if (key.size() == 1 && deck::isChineseCharacter(key.at(0))) {
            m_words.insert(key.at(0), parts.at(1));
            if (parts.size() > 2)
                m_readings.insert(key.at(0), parts.at(2));
        } else {
            m_characters.insert(key, parts.at(1));
            m_plain.insert(withoutTone(key), true);
        }
    }
}

QString Words::wordFor(QChar c) const { return m_own.contains(c) ? m_own.value(c) : m_words.value(c); }

QString Words::readingFor(QChar c) const
{
    return m_own.contains(c) && m_own.value(c) != m_words.value(c) ? QString() : m_readings.value(c);
}

QString Words::characterFor(const QString &syllable) const
{
    const QString plain = plainLetters(syllable);
    if (toneOf(plain) > 0)
        return m_characters.value(plain);
    for (int t = 1; t <= 4; ++t)
        if (const QString c = m_characters.value(withTone(plain, t)); !c.isEmpty())
            return c;
    return m_characters.value(plain); // only in the neutral tone
}

QString plainLetters(const QString &syllable)
{
    QString s = syllable.toLower();
    s.replace(QChar(0x0251), u'a');
    s.replace(QChar(0x0261), u'g');
    return s.normalized(QString::NormalizationForm_C);
}

namespace {
QString characterWithWord(QChar c, WordMode mode, const Words &words)
{
    const QString word = words.wordFor(c);
    if (word.isEmpty() || mode == WordMode::CharacterOnly)
        return QString(c);
    if (mode == WordMode::WordOnly)
        return word;
    return QString(c) + QStringLiteral("，") + word + QStringLiteral("的") + c;
}

// One syllable: what the local voice is given and the service's character.
bool spokenSyllable(const QString &syllable, const Words &words, const QString &table, Spoken &out)
{
    const QString plain = plainLetters(syllable);
    const QString bare = withoutTone(plain);
    QString caption;
    QString character;
    if (words.isSyllable(bare)) {
        // Untoned, a syllable is heard in its first tone, as the list gives it.
        caption = toneOf(plain) > 0 ? plain : withTone(plain, 1);
        character = words.characterFor(plain);
    } else if (isInitialOrFinal(bare) || !readaloud::lookupSyllable(syllable, table).isEmpty()) {
        caption = plain;
        character = readaloud::lookupSyllable(syllable, table);
        // z, c and s are said zī, cī, sī, as the local voice says them.
        if (character.isEmpty() && (bare == u"z" || bare == u"c" || bare == u"s"))
            character = words.characterFor(bare + QStringLiteral("i"));
    } else {
        return false;
    }
    out.caption += (out.caption.isEmpty() ? QString() : QStringLiteral(" ")) + caption;
    if (character.size() == 1 && deck::isChineseCharacter(character.at(0)))
        out.online += character;
    return true;
}
} // namespace

Spoken spokenForm(const QString &item, WordMode mode, const Words &words, const QString &syllableTable)
{
    const QString shown = deck::displayForm(item);
    if (deck::isChinese(item)) {
        const QString text
            = shown.size() == 1 ? characterWithWord(shown.at(0), mode, words) : shown.simplified();
        return {text, text};
    }
    // Only letters of pinyin: a digit or a stray letter makes the item unhearable.
    static const QRegularExpression letters(QStringLiteral("^[a-zü\\x{0251}\\x{0261}\\x{0300}-\\x{030C}"
                                                           "āáǎàōóǒòēéěèīíǐìūúǔùǖǘǚǜ]+$"),
                                            QRegularExpression::CaseInsensitiveOption);
    Spoken out;
    const QStringList syllables = shown.split(u' ', Qt::SkipEmptyParts);
    for (const QString &y : syllables)
        if (!letters.match(y).hasMatch() || !spokenSyllable(y, words, syllableTable, out))
            return {};
    return out;
}

// ---------------------------------------------------------------- own words

namespace {
const QRegularExpression &ownLine()
{
    static const QRegularExpression re(QStringLiteral("^\\s*([\\x{4e00}-\\x{9fa5}])[\\s\\x{3000}]+"
                                                      "([\\x{4e00}-\\x{9fa5}]{2,8})\\s*$"));
    return re;
}

bool passedOver(const QString &line)
{
    const QString t = line.trimmed();
    return t.isEmpty() || t.startsWith(u'#');
}
} // namespace

OwnWords parseOwnWords(const QString &fileText)
{
    OwnWords out;
    for (const QString &line : fileText.split(u'\n')) {
        if (passedOver(line))
            continue;
        const QRegularExpressionMatch m = ownLine().match(line);
        if (m.hasMatch() && m.captured(2).contains(m.captured(1)))
            out.words.insert(m.captured(1).at(0), m.captured(2));
        else
            out.badLines << line.trimmed();
    }
    return out;
}

QString updatedOwnWords(const QString &fileText, const QMap<QChar, QString> &changes)
{
    QMap<QChar, QString> left = changes;
    QStringList lines;
    const QStringList old = fileText.isEmpty() ? QStringList() : fileText.split(u'\n');
    for (QString line : old) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QRegularExpressionMatch m = ownLine().match(line);
        const QChar c = m.hasMatch() ? m.captured(1).at(0) : QChar();
        if (!m.hasMatch() || !changes.contains(c)) {
            lines << line;
        } else if (left.contains(c)) {
            // The first line of a character takes the change; a later repeat goes.
            if (!left.value(c).isEmpty())
                lines << QString(c) + u' ' + left.value(c);
            left.remove(c);
        }
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (auto it = left.begin(); it != left.end(); ++it)
        if (!it.value().isEmpty())
            lines << QString(it.key()) + u' ' + it.value();
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace dictation
