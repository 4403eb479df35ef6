// Text and list utilities over QRegularExpression.
#include "core/textutil.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QStringTokenizer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

namespace modPub {

namespace {
// The program writes its patterns with \uXXXX escapes; PCRE spells them \x{XXXX}.
QString toEnginePattern(const QString &pattern)
{
    QString out;
    out.reserve(pattern.size() + 8);
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\\') && i + 1 < pattern.size()) {
            const QStringView hex = QStringView(pattern).mid(i + 2, 4);
            const auto isHex = [](QChar h) {
                const char16_t u = h.unicode();
                return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
            };
            const bool ok = pattern.at(i + 1) == QLatin1Char('u') && hex.size() == 4
                && std::all_of(hex.begin(), hex.end(), isHex);
            if (ok) {
                out += QStringLiteral("\\x{");
                out += hex;
                out += QLatin1Char('}');
                i += 5;
            } else {
                out += c;
                out += pattern.at(++i); // keep any other escape whole
            }
            continue;
        }
        out += c;
    }
    return out;
}

// A fresh engine per call. No Unicode-property option: \s and \d stay ASCII.
QRegularExpression makeEngine(const QString &pattern, bool multiLine)
{
    QRegularExpression::PatternOptions options = QRegularExpression::CaseInsensitiveOption;
    if (multiLine)
        options |= QRegularExpression::MultilineOption;
    return QRegularExpression(toEnginePattern(pattern), options);
}
} // namespace

QString itemSeparatorPattern() { return QStringLiteral("[\\s,，.。　]+"); }

bool regexIsValid(const QString &pattern) { return makeEngine(pattern, true).isValid(); }

QString regexReplace(const QString &text, const QString &pattern, const QString &replacement)
{
    const QRegularExpression re = makeEngine(pattern, true);
    if (!re.isValid())
        return text;
    // The replacement goes in literally: no back-references are expanded.
    QString out;
    out.reserve(text.size());
    qsizetype last = 0;
    auto it = re.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(last, m.capturedStart() - last);
        out += replacement;
        last = m.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

bool regexTest(const QString &text, const QString &pattern)
{
    const QRegularExpression re = makeEngine(pattern, true);
    if (!re.isValid())
        return false;
    return re.match(text).hasMatch();
}

QString regexFirstGroup(const QString &text, const QString &pattern)
{
    const QRegularExpression re = makeEngine(pattern, false);
    if (!re.isValid() || re.captureCount() < 1)
        return QString();
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return QString();
    return m.captured(1);
}

std::mt19937 &shuffleGenerator()
{
    // Seeded from the clock once, so two shuffles in the same tick still differ.
    static std::mt19937 rng(static_cast<std::mt19937::result_type>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    return rng;
}

void seedShuffle(quint32 seed) { shuffleGenerator().seed(seed); }

QString shuffleItems(const QString &text) { return shuffleItems(text, shuffleGenerator()); }

QString shuffleItems(const QString &text, std::mt19937 &rng)
{
    QString t = regexReplace(text, itemSeparatorPattern(), QStringLiteral(" "));
    while (t.startsWith(QLatin1Char(' ')))
        t.remove(0, 1);
    while (t.endsWith(QLatin1Char(' ')))
        t.chop(1);
    if (t.isEmpty())
        return QString();
    // Views into t: a bank can hold millions of items, and a string each
    // would cost several times the text.
    QList<QStringView> a;
    a.reserve(t.count(QLatin1Char(' ')) + 1);
    for (const QStringView item : QStringTokenizer(t, QLatin1Char(' ')))
        a.append(item);
    const qint64 n = a.size();

    // A 64-bit pass counter: ten passes an item never overflow it, whatever the length.
    const qint64 passes = 10 * (n - 1) + 1;
    for (qint64 pass = 0; pass < passes; ++pass) {
        // r uniform in [0, 1) with single precision: 24 random bits.
        const float r = static_cast<float>(rng() >> 8) * (1.0f / 16777216.0f);
        qint64 k = static_cast<qint64>(std::floor(static_cast<double>(r) * static_cast<double>(n)));
        if (k >= n)
            k = n - 1;
        a.swapItemsAt(0, k);
    }
    QString out;
    out.reserve(t.size());
    for (const QStringView item : a) {
        if (!out.isEmpty())
            out += QLatin1Char(' ');
        out += item;
    }
    return out;
}

QString firstCodePoint(const QString &text)
{
    if (text.size() >= 2 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate())
        return text.left(2);
    return text.left(1);
}

QString normalizeLetters(const QString &text)
{
    QString t = text;
    t.replace(QLatin1Char('g'), QChar(0x0261));
    t.replace(QLatin1Char('a'), QChar(0x0251));
    return t;
}

QString normalizeItems(const QString &text)
{
    const QString t = normalizeLetters(text);
    // Keeps the first occurrence of each piece; an empty piece never survives.
    // A set instead of a substring search keeps large banks fast.
    QSet<QStringView> seen;
    QString acc;
    acc.reserve(t.size());
    const QStringView view(t);
    qsizetype start = 0;
    while (start <= view.size()) {
        qsizetype end = view.indexOf(QLatin1Char(' '), start);
        if (end < 0)
            end = view.size();
        const QStringView piece = view.mid(start, end - start);
        if (!piece.isEmpty() && !seen.contains(piece)) {
            seen.insert(piece);
            if (!acc.isEmpty())
                acc += QLatin1Char(' ');
            acc += piece;
        }
        start = end + 1;
    }
    return acc;
}

qsizetype shownLength(QStringView text, qsizetype limit)
{
    if (text.size() <= limit)
        return text.size();
    qsizetype n = std::max<qsizetype>(limit, 0);
    if (n > 0 && text.at(n - 1).isHighSurrogate())
        --n;
    return n;
}

QString shortened(const QString &text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    return text.left(shownLength(text, limit)) + QStringLiteral("…");
}

} // namespace modPub
