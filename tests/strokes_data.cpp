// The bundled stroke data: what the build converted, how lookups behave, and
// how the reader copes with damaged files.
#include "core/strokedata.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace {

constexpr char32_t kTian = U'天';
constexpr char32_t kWo = U'我';

// Points on the outline itself (segment ends), as the package's SVG path
// lists them.
QList<QPointF> svgOnCurvePoints(const QString &svg)
{
    QList<QPointF> out;
    const QStringList tokens = svg.split(u' ', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < tokens.size();) {
        const QString cmd = tokens[i++];
        const int pairs = cmd == u"M" || cmd == u"L" ? 1 : cmd == u"Q" ? 2 : cmd == u"C" ? 3 : 0;
        if (pairs == 0)
            continue;
        i += 2 * (pairs - 1);
        out.append(QPointF(std::lround(tokens[i].toDouble()), std::lround(tokens[i + 1].toDouble())));
        i += 2;
    }
    return out;
}

QList<QPointF> pathOnCurvePoints(const QPainterPath &path)
{
    QList<QPointF> out;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo() || e.isLineTo())
            out.append(e);
        else if (e.isCurveTo()) {
            out.append(path.elementAt(i + 2));
            i += 2;
        }
    }
    return out;
}

quint32 read32(const QByteArray &b, qsizetype at)
{
    const auto *p = reinterpret_cast<const uchar *>(b.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

void write32(QByteArray &b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i));
}

// Index slot of a code point in a data file (the index starts at byte 16).
qsizetype indexSlot(const QByteArray &b, char32_t cp)
{
    const quint32 count = read32(b, 8);
    for (quint32 i = 0; i < count; ++i)
        if (read32(b, 16 + qsizetype(i) * 8) == cp)
            return 16 + qsizetype(i) * 8;
    return -1;
}

// Where a code point's record lies in a data file.
std::pair<qsizetype, qsizetype> recordSpan(const QByteArray &b, char32_t cp)
{
    const quint32 count = read32(b, 8);
    const qsizetype records = 16 + qsizetype(count) * 8;
    const qsizetype slot = indexSlot(b, cp);
    const qsizetype begin = records + read32(b, slot + 4);
    const qsizetype end = slot + 8 < records ? records + read32(b, slot + 12) : b.size();
    return {begin, end};
}

bool glyphIsSane(const StrokeGlyph &g)
{
    if (g.outlines.isEmpty() || g.outlines.size() != g.medians.size() || g.outlines.size() > 64)
        return false;
    const QRectF limit(-2048, -2048, 6144, 6144);
    for (const QPainterPath &p : g.outlines)
        if (!limit.contains(p.controlPointRect()))
            return false;
    return true;
}

} // namespace

class StrokesData : public QObject
{
    Q_OBJECT
private slots:
    void knownCharacters_data();
    void knownCharacters();
    void everyCharacterMatchesPackage();
    void singleCodePoints();
    void missingCharacters();
    void truncatedFiles();
    void damagedHeaderAndIndex();
    void damagedRecords();
};

void StrokesData::knownCharacters_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("strokes");
    QTest::newRow("天") << QStringLiteral("天") << 4;
    QTest::newRow("我") << QStringLiteral("我") << 7;
    QTest::newRow("一") << QStringLiteral("一") << 1;
}

void StrokesData::knownCharacters()
{
    QFETCH(QString, character);
    QFETCH(int, strokes);
    const StrokeData &data = StrokeData::bundled();
    QVERIFY(data.isValid());
    QVERIFY(data.characterCount() > 9000);
    const auto glyph = data.find(*StrokeData::singleCodePoint(character));
    QVERIFY(glyph);
    QCOMPARE(glyph->outlines.size(), strokes);
    QCOMPARE(glyph->medians.size(), strokes);
    for (int i = 0; i < strokes; ++i) {
        // Inside the character box of the 1024 grid (y from -124 to 900).
        const QRectF box = glyph->outlines[i].boundingRect();
        QVERIFY2(QRectF(-10, -134, 1044, 1044).contains(box), qPrintable(QString::number(i)));
        QVERIFY(box.width() > 20 || box.height() > 20);
        QVERIFY(glyph->medians[i].size() >= 2);
    }
}

// The converter and the reader together: every character of the package
// comes back with its strokes, outline points and medians unchanged.
void StrokesData::everyCharacterMatchesPackage()
{
    const QDir dir(QStringLiteral(LORVANTA_STROKE_PACKAGE));
    const QStringList files = dir.entryList({QStringLiteral("*.json")}, QDir::Files);
    const StrokeData &data = StrokeData::bundled();
    int checked = 0;
    for (const QString &name : files) {
        const auto cp = StrokeData::singleCodePoint(name.chopped(5));
        if (!cp)
            continue;
        const QJsonObject json = QJsonDocument::fromJson(testsupport::fileBytes(dir.filePath(name))).object();
        const QJsonArray strokes = json.value(u"strokes").toArray();
        const QJsonArray medians = json.value(u"medians").toArray();
        const auto glyph = data.find(*cp);
        QVERIFY2(glyph, qPrintable(name));
        QCOMPARE(glyph->outlines.size(), strokes.size());
        for (qsizetype s = 0; s < strokes.size(); ++s) {
            QList<QPointF> expected = svgOnCurvePoints(strokes[s].toString());
            QList<QPointF> actual = pathOnCurvePoints(glyph->outlines[s]);
            // A line to the point already reached draws nothing and is
            // dropped by the path; closing it may add the line back to the
            // start.
            expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
            actual.erase(std::unique(actual.begin(), actual.end()), actual.end());
            if (actual.size() == expected.size() + 1 && actual.last() == actual.first())
                actual.removeLast();
            QVERIFY2(actual == expected, qPrintable(name + QString::number(s)));
            QList<QPointF> median;
            for (const QJsonValue &pt : medians[s].toArray())
                median.append(QPointF(std::lround(pt[0].toDouble()), std::lround(pt[1].toDouble())));
            QCOMPARE(glyph->medians[s], median);
        }
        ++checked;
    }
    QCOMPARE(checked, data.characterCount());
}

void StrokesData::singleCodePoints()
{
    const auto cp = [](const QString &text) -> qint64 {
        const auto v = StrokeData::singleCodePoint(text);
        return v ? qint64(*v) : -1;
    };
    QCOMPARE(cp(QStringLiteral("天")), qint64(kTian));
    QCOMPARE(cp(QStringLiteral("a")), qint64('a'));
    QCOMPARE(cp(QString::fromUcs4(U"\U00020000", 1)), qint64(0x20000));
    QCOMPARE(cp(QString()), qint64(-1));
    QCOMPARE(cp(QStringLiteral("天天")), qint64(-1));
    QCOMPARE(cp(QString(QChar(0xD840))), qint64(-1));
    QCOMPARE(cp(QString(QChar(0xDC00))), qint64(-1));
    QCOMPARE(cp(QString(QChar(0xDC00)) + QChar(0xD840)), qint64(-1));
}

void StrokesData::missingCharacters()
{
    const StrokeData &data = StrokeData::bundled();
    for (char32_t cp : {U'a', U'ā', U'ɑ', U' ', U'0', U'\U00020000', char32_t(0), char32_t(0xFFFFFFFF)})
        QVERIFY2(!data.find(cp), qPrintable(QString::number(quint32(cp), 16)));
}

void StrokesData::truncatedFiles()
{
    const QByteArray whole(StrokeData::bundled().bytes().constData(), StrokeData::bundled().bytes().size());
    const qsizetype indexEnd = 16 + qsizetype(read32(whole, 8)) * 8;
    for (qsizetype n : {qsizetype(0), qsizetype(3), qsizetype(15), qsizetype(16), qsizetype(17), indexEnd - 1,
                        indexEnd, whole.size() / 2, whole.size() - 1}) {
        const StrokeData cut(whole.left(n));
        QVERIFY2(!cut.isValid(), qPrintable(QString::number(n)));
        QVERIFY(!cut.find(kTian));
        QVERIFY(!cut.find(kWo));
    }
    QVERIFY(!StrokeData(whole + '\0').isValid());
    QVERIFY(StrokeData(whole).find(kTian));
}

void StrokesData::damagedHeaderAndIndex()
{
    const QByteArray whole(StrokeData::bundled().bytes().constData(), StrokeData::bundled().bytes().size());

    QByteArray b = whole;
    b[0] = 'X';
    QVERIFY(!StrokeData(b).isValid());
    b = whole;
    b[4] = 2; // a format this reader does not know
    QVERIFY(!StrokeData(b).isValid());
    b = whole;
    write32(b, 8, 0xFFFFFFFF);
    QVERIFY(!StrokeData(b).find(kTian));
    b = whole;
    write32(b, 12, read32(whole, 12) + 1);
    QVERIFY(!StrokeData(b).isValid());

    // A record offset far beyond the file: that character is lost, the rest
    // still reads.
    const qsizetype slot = indexSlot(whole, kTian);
    QVERIFY(slot > 0);
    b = whole;
    write32(b, slot + 4, 0xFFFFFF00);
    StrokeData far(b);
    QVERIFY(far.isValid());
    QVERIFY(!far.find(kTian));
    QVERIFY(far.find(kWo));
    // Offsets out of order (the record would end before it begins).
    b = whole;
    write32(b, slot + 4, read32(whole, slot + 12) + 5);
    QVERIFY(!StrokeData(b).find(kTian));
    // The last record's offset past the end of the records.
    b = whole;
    const qsizetype last = 16 + (qsizetype(read32(whole, 8)) - 1) * 8;
    write32(b, last + 4, read32(whole, 12) + 1);
    QVERIFY(!StrokeData(b).find(char32_t(read32(whole, last))));
}

void StrokesData::damagedRecords()
{
    const QByteArray whole(StrokeData::bundled().bytes().constData(), StrokeData::bundled().bytes().size());
    const auto [begin, end] = recordSpan(whole, kTian);
    QVERIFY(end > begin);

    for (char fill : {'\xff', '\0', '\x7f'}) {
        QByteArray b = whole;
        for (qsizetype i = begin; i < end; ++i)
            b[i] = fill;
        const StrokeData d(b);
        QVERIFY(!d.find(kTian));
        QVERIFY(d.find(kWo));
    }
    // A record cut short by its neighbour's offset, or run into it.
    {
        QByteArray b = whole;
        const qsizetype slot = indexSlot(whole, kTian);
        write32(b, slot + 12, read32(whole, slot + 12) - 1);
        QVERIFY(!StrokeData(b).find(kTian));
        write32(b, slot + 12, read32(whole, slot + 12) + 1);
        QVERIFY(!StrokeData(b).find(kTian));
    }
    // Random damage inside one record never crashes and never yields
    // coordinates beyond the reader's limits.
    QRandomGenerator rng(20240611);
    QByteArray b = whole;
    const auto [wb, we] = recordSpan(whole, kWo);
    int rejected = 0;
    for (int round = 0; round < 3000; ++round) {
        const int flips = 1 + rng.bounded(4);
        for (int f = 0; f < flips; ++f)
            b[wb + rng.bounded(int(we - wb))] = char(rng.bounded(256));
        const auto g = StrokeData(b).find(kWo);
        if (g)
            QVERIFY(glyphIsSane(*g));
        else
            ++rejected;
        std::copy(whole.constBegin() + wb, whole.constBegin() + we, b.begin() + wb);
    }
    QVERIFY(rejected > 0);
}

LORVANTA_TEST_MAIN(StrokesData, QGuiApplication)
#include "strokes_data.moc"
