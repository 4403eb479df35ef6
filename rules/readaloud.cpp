#include "rules/readaloud.h"

#include "core/textutil.h"
#include "rules/deck.h"

#include <QStringList>

namespace readaloud {
namespace {
QString lookupPattern(const QString &syllable)
{
    // The syllable goes in unescaped: pinyin letters mean nothing to the engine.
    return QStringLiteral("[^a-z]") + syllable + QStringLiteral("([\\u4e00-\\u9fa5])");
}
} // namespace

QString lookupSyllable(const QString &syllable, const QString &syllableTable)
{
    return modPub::regexFirstGroup(syllableTable, lookupPattern(syllable));
}

std::optional<QString> textToSpeak(const QString &caption, const QString &syllableTable)
{
    if (caption.isEmpty())
        return QString();
    if (modPub::regexTest(caption.left(1), QStringLiteral("[\\u4e00-\\u9fa5]+")))
        return caption;
    QString s;
    for (const QString &y : caption.split(QLatin1Char(' '))) {
        if (!modPub::regexIsValid(lookupPattern(y)))
            return std::nullopt;
        // The syllable goes into the pattern as it is, so one with brackets
        // can shift the group: only a single representative character counts.
        const QString character = lookupSyllable(y, syllableTable);
        if (character.size() == 1 && deck::isChineseCharacter(character.at(0)))
            s += character;
    }
    return s;
}

QString ttsRequest(const QString &endpoint, const QString &encodedText)
{
    return endpoint + QStringLiteral("text2audio?tex=") + encodedText
        + QStringLiteral("&cuid=dict&lan=ZH&ctp=1&pdt=30&vol=8&spd=5");
}
} // namespace readaloud
