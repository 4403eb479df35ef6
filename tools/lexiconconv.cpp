// Build-time converter: turns the lexicon package (CC-CEDICT with the word
// frequencies of film subtitles and of books, and how often each character
// is read each way) into the small word list that dictation reads from.
//
// Usage: lorvanta_lexiconconv <package folder> <output file>
//
// The output is UTF-8 text, one entry a line, read by rules/dictationwords:
//   "在 现在 zài"  a character, the word it is read with, its reading there
//   "líng 零"      a toned syllable and the character most often read so
// Lines starting with "#" say where the list comes from.

#include "resources/presets.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStringList>

#include <cstdio>
#include <map>

namespace {

// Words chosen by hand where the most frequent one is no word to read to a
// first-grader (an office, a film's word, a rare sense), or the list has none.
const std::map<QString, QString> handChosen = {
    {QStringLiteral("八"), QStringLiteral("十八")}, // 八成
    {QStringLiteral("手"), QStringLiteral("小手")}, // 选手
    {QStringLiteral("月"), QStringLiteral("月亮")}, // 每月
    {QStringLiteral("耳"), QStringLiteral("耳朵")}, // 耳机
    {QStringLiteral("田"), QStringLiteral("田地")}, // 田间
    {QStringLiteral("云"), QStringLiteral("白云")}, // 多云
    {QStringLiteral("立"), QStringLiteral("立正")}, // 成立
    {QStringLiteral("书"), QStringLiteral("看书")}, // 书记
    {QStringLiteral("尺"), QStringLiteral("尺子")}, // 公尺
    {QStringLiteral("牙"), QStringLiteral("牙齿")}, // 牙医
    {QStringLiteral("林"), QStringLiteral("树林")}, // 林木
    {QStringLiteral("从"), QStringLiteral("从前")}, // 从而
    {QStringLiteral("又"), QStringLiteral("又是")}, // 又及
    {QStringLiteral("和"), QStringLiteral("和平")}, // 和解
    {QStringLiteral("衣"), QStringLiteral("衣服")}, // 大衣
    {QStringLiteral("儿"), QStringLiteral("儿子")}, // 这儿: the r of 儿化 is hardly heard
};

// How many of the most frequent characters a first-grader is taken to know,
// besides the built-in first-grade list.
constexpr int knownCharacters = 300;

QString templateBody(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QString text = QString::fromUtf8(f.readAll());
    const qsizetype from = text.indexOf(u'`');
    const qsizetype to = text.lastIndexOf(u'`');
    return from >= 0 && to > from ? text.mid(from + 1, to - from - 1) : text;
}

// "word<TAB>count…" lines.
QHash<QString, double> frequencies(const QString &path, QStringList *order = nullptr)
{
    QHash<QString, double> out;
    double total = 0;
    for (const QString &line : templateBody(path).split(u'\n')) {
        const QStringList parts = line.split(u'\t');
        if (parts.size() < 2)
            continue;
        const double n = parts.at(1).toDouble();
        out.insert(parts.at(0), n);
        total += n;
        if (order)
            order->append(parts.at(0));
    }
    for (double &v : out)
        v /= total > 0 ? total : 1;
    return out;
}

// "ma3" to "mǎ", "lu:e4" to "lüè".
QString markedSyllable(QString s)
{
    s.replace(QStringLiteral("u:"), QStringLiteral("ü"));
    s.replace(u'v', u'ü');
    int tone = 5;
    if (!s.isEmpty() && s.back().isDigit()) {
        tone = s.back().digitValue();
        s.chop(1);
    }
    if (tone < 1 || tone > 4)
        return s;
    static const char16_t marks[] = {0x0304, 0x0301, 0x030C, 0x0300};
    // The mark goes on a or e, on the o of ou, else on the last vowel.
    qsizetype at = s.indexOf(u'a');
    if (at < 0)
        at = s.indexOf(u'e');
    if (at < 0)
        at = s.indexOf(QStringLiteral("ou"));
    if (at < 0)
        for (qsizetype i = s.size() - 1; i >= 0 && at < 0; --i)
            if (QStringView(u"iouü").contains(s.at(i)))
                at = i;
    if (at < 0)
        return s;
    s.insert(at + 1, QChar(marks[tone - 1]));
    return s.normalized(QString::NormalizationForm_C);
}

struct Entry {
    QStringList syllables; // numbered, one per character
};

struct Lexicon {
    QHash<QString, QList<Entry>> words; // simplified form to its usable entries
    QHash<QChar, QStringList> pairs; // a character's two-character words
    QHash<QString, double> movie, book;
    QStringList movieChars;
    QHash<QString, double> bookChars;
    QHash<QString, QList<std::pair<QString, int>>> readings; // toned syllable to (character, count)

    double score(const QString &w) const { return movie.value(w) + book.value(w); }
};

void readDictionary(const QString &path, Lexicon &lex)
{
    // Names, variants, abbreviations, slang and curses are no words to dictate.
    static const QRegularExpression unfit(
        QStringLiteral("surname|variant of|\\((vulgar|slang|coll|Tw|dialect|loanword|Cantonese)|taboo|"
                       "curse|old name|abbr\\.|used in "),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression line(QStringLiteral("^(\\S+) (\\S+) \\[([^\\]]*)\\] /(.*)/\\s*$"));
    for (const QString &l : templateBody(path).split(u'\n')) {
        const QRegularExpressionMatch m = line.match(l);
        if (!m.hasMatch())
            continue;
        const QString pinyin = m.captured(3);
        const QString word = m.captured(2);
        // A character keeps every reading; only its words are sorted out.
        if (pinyin.isEmpty() || pinyin.at(0).isUpper()
            || (word.size() > 1 && unfit.match(m.captured(4)).hasMatch()))
            continue;
        const QStringList syllables = pinyin.toLower().split(u' ');
        if (syllables.size() != word.size())
            continue;
        lex.words[word].append(Entry {syllables});
        if (word.size() == 2)
            for (const QChar c : word)
                if (!lex.pairs[c].contains(word))
                    lex.pairs[c].append(word);
    }
}

void readReadings(const QString &path, Lexicon &lex)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    static const QRegularExpression pair(QStringLiteral("\"(.)([^\"]+)\": \"(\\d+)\""));
    const QString text = QString::fromUtf8(f.readAll());
    for (auto it = pair.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        // Traditional forms are listed too: only characters of the simplified lexicon count.
        if (lex.words.contains(m.captured(1)))
            lex.readings[m.captured(2).normalized(QString::NormalizationForm_C)].append(
                {m.captured(1), m.captured(3).toInt()});
    }
}

QString chooseWord(const Lexicon &lex, const QString &c, const QSet<QChar> &known)
{
    const auto hand = handChosen.find(c);
    if (hand != handChosen.end())
        return hand->second;
    QString best, bestKnown;
    for (const QString &w : lex.pairs.value(c.at(0))) {
        if (lex.score(w) <= 0)
            continue;
        if (best.isEmpty() || lex.score(w) > lex.score(best))
            best = w;
        if (known.contains(w.at(0)) && known.contains(w.at(1))
            && (bestKnown.isEmpty() || lex.score(w) > lex.score(bestKnown)))
            bestKnown = w;
    }
    return bestKnown.isEmpty() ? best : bestKnown;
}

// The character's reading in the word, from the word's entry or, for a word
// the lexicon lacks, the character's most frequent reading.
QString readingIn(const Lexicon &lex, const QString &c, const QString &word)
{
    // A neutral tone in the word (上 in 晚上) is no reading of the character's own.
    const qsizetype at = word.indexOf(c);
    for (const Entry &e : lex.words.value(word))
        if (at >= 0 && at < e.syllables.size() && !e.syllables.at(at).endsWith(u'5'))
            return markedSyllable(e.syllables.at(at));
    QString best;
    int bestCount = -1;
    for (auto it = lex.readings.begin(); it != lex.readings.end(); ++it)
        for (const auto &[character, count] : it.value())
            if (character == c && count > bestCount) {
                best = it.key();
                bestCount = count;
            }
    if (best.isEmpty() && !lex.words.value(c).isEmpty())
        best = markedSyllable(lex.words.value(c).first().syllables.first());
    return best;
}

QStringList characterLines(const Lexicon &lex)
{
    QSet<QChar> known;
    for (const QString &c : resources::firstGradeCharacters().split(u' '))
        known.insert(c.at(0));
    for (const QString &c : lex.movieChars.mid(0, knownCharacters))
        if (c.size() == 1)
            known.insert(c.at(0));
    QStringList chars = lex.bookChars.keys();
    std::sort(chars.begin(), chars.end(), [&](const QString &a, const QString &b) {
        return lex.bookChars.value(a) > lex.bookChars.value(b);
    });
    QStringList out;
    for (const QString &c : chars) {
        if (c.size() != 1 || c.at(0).unicode() < 0x4E00 || c.at(0).unicode() > 0x9FA5
            || !lex.words.contains(c))
            continue;
        const QString word = chooseWord(lex, c, known);
        if (!word.isEmpty())
            out << c + u' ' + word + u' ' + readingIn(lex, c, word);
    }
    return out;
}

QStringList syllableLines(const Lexicon &lex)
{
    QStringList out;
    for (auto it = lex.readings.begin(); it != lex.readings.end(); ++it) {
        QString best;
        int bestCount = -1;
        for (const auto &[character, count] : it.value())
            if (count > bestCount) {
                best = character;
                bestCount = count;
            }
        out << it.key() + u' ' + best;
    }
    out.sort();
    return out;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: lorvanta_lexiconconv <package folder> <output file>\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]) + u'/';
    Lexicon lex;
    readDictionary(dir + QStringLiteral("dictionary/cedict.js"), lex);
    lex.movie = frequencies(dir + QStringLiteral("statistics/movieWordFrequency.js"));
    lex.book = frequencies(dir + QStringLiteral("statistics/bookWordFrequency.js"));
    frequencies(dir + QStringLiteral("statistics/movieCharFrequency.js"), &lex.movieChars);
    lex.bookChars = frequencies(dir + QStringLiteral("statistics/bookCharFrequency.js"));
    readReadings(dir + QStringLiteral("statistics/pinyinFrequency.js"), lex);
    if (lex.words.size() < 10000 || lex.movie.isEmpty() || lex.book.isEmpty() || lex.readings.isEmpty()) {
        std::fprintf(stderr, "lorvanta_lexiconconv: %s does not look like chinese-lexicon 1.0.43\n", argv[1]);
        return 1;
    }
    const QStringList chars = characterLines(lex);
    const QStringList syllables = syllableLines(lex);
    QSaveFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly))
        return 1;
    const QString text
        = QStringLiteral("# Words for dictation, from the npm package chinese-lexicon 1.0.43:\n"
                         "# CC-CEDICT (CC BY-SA 4.0), SUBTLEX-CH and BCC word frequencies,\n"
                         "# Unihan kHanyuPinlu readings. Made by tools/lexiconconv.cpp.\n")
        + chars.join(u'\n') + u'\n' + syllables.join(u'\n') + u'\n';
    if (out.write(text.toUtf8()) < 0 || !out.commit())
        return 1;
    std::fprintf(stderr, "lexicon: %d characters, %d syllables\n", int(chars.size()), int(syllables.size()));
    return 0;
}
