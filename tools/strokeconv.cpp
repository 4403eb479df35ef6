// Build-time converter: turns the per-character JSON files of the stroke-order
// package (one <char>.json each, with "strokes" as SVG paths and "medians" as
// point lists) into the single compact data file the viewer embeds.
//
// Usage: lorvanta_strokeconv <package folder> <output file>
//
// The layout is read by core/strokedata.cpp, which documents it in full:
// a 16-byte header ("LVSK", version, count, record bytes), an index of
// (code point, record offset) pairs sorted by code point, then the records,
// whose coordinates are zigzag LEB128 deltas from the previous point.

#include "core/strokeformat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStringList>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

namespace {

constexpr int kMaxStrokes = strokeformat::maxStrokes;
constexpr int kMaxSegments = strokeformat::maxSegments;
constexpr int kMaxMedianPoints = strokeformat::maxMedianPoints;

enum SegmentKind : uint8_t { Line = 0, Quad = 1, Cubic = 2 };

struct Point {
    int x = 0;
    int y = 0;
};

struct Stroke {
    Point start;
    std::vector<uint8_t> kinds;
    std::vector<Point> points; // control and end points after the start, in order
    std::vector<Point> median;
};

class Writer
{
public:
    std::vector<uint8_t> bytes;

    void varint(uint32_t v)
    {
        while (v >= 0x80) {
            bytes.push_back(uint8_t(v) | 0x80);
            v >>= 7;
        }
        bytes.push_back(uint8_t(v));
    }
    void signedVarint(int32_t v) { varint((uint32_t(v) << 1) ^ uint32_t(v >> 31)); }
    void point(const Point &p)
    {
        signedVarint(p.x - m_last.x);
        signedVarint(p.y - m_last.y);
        m_last = p;
    }
    void resetPoint() { m_last = Point(); }

private:
    Point m_last;
};

void put32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

bool toCoordinate(double v, int *out)
{
    if (!std::isfinite(v) || v < -2048 || v > 4096)
        return false;
    *out = int(std::lround(v));
    return true;
}

// One SVG path of absolute M, L, Q, C commands and a final Z, as the package
// writes them ("M 518 382 Q 572 385 623 389 ... Z").
std::optional<Stroke> parsePath(const QString &text)
{
    QStringList tokens;
    QString number;
    for (QChar c : text) {
        if (c.isLetter()) {
            if (!number.isEmpty())
                tokens << number;
            number.clear();
            tokens << QString(c);
        } else if (c.isSpace() || c == u',') {
            if (!number.isEmpty())
                tokens << number;
            number.clear();
        } else if (c == u'-' && !number.isEmpty()) {
            tokens << number;
            number = c;
        } else {
            number += c;
        }
    }
    if (!number.isEmpty())
        tokens << number;

    Stroke s;
    qsizetype i = 0;
    auto readPoint = [&](Point *p) {
        if (i + 1 >= tokens.size())
            return false;
        bool okX = false, okY = false;
        const double x = tokens[i].toDouble(&okX);
        const double y = tokens[i + 1].toDouble(&okY);
        i += 2;
        return okX && okY && toCoordinate(x, &p->x) && toCoordinate(y, &p->y);
    };
    if (tokens.isEmpty() || tokens[0] != u"M")
        return std::nullopt;
    ++i;
    if (!readPoint(&s.start))
        return std::nullopt;
    bool closed = false;
    while (i < tokens.size()) {
        const QString cmd = tokens[i++];
        int count = 0;
        if (cmd == u"L") {
            s.kinds.push_back(Line);
            count = 1;
        } else if (cmd == u"Q") {
            s.kinds.push_back(Quad);
            count = 2;
        } else if (cmd == u"C") {
            s.kinds.push_back(Cubic);
            count = 3;
        } else if (cmd == u"Z") {
            closed = true;
            break;
        } else {
            return std::nullopt;
        }
        for (int k = 0; k < count; ++k) {
            Point p;
            if (!readPoint(&p))
                return std::nullopt;
            s.points.push_back(p);
        }
    }
    if (!closed || i != tokens.size() || s.kinds.empty() || int(s.kinds.size()) > kMaxSegments)
        return std::nullopt;
    return s;
}

std::optional<std::vector<Point>> parseMedian(const QJsonValue &value)
{
    const QJsonArray points = value.toArray();
    if (points.isEmpty() || points.size() > kMaxMedianPoints)
        return std::nullopt;
    std::vector<Point> out;
    for (const QJsonValue &pv : points) {
        const QJsonArray xy = pv.toArray();
        Point p;
        if (xy.size() != 2 || !xy[0].isDouble() || !xy[1].isDouble() || !toCoordinate(xy[0].toDouble(), &p.x)
            || !toCoordinate(xy[1].toDouble(), &p.y))
            return std::nullopt;
        out.push_back(p);
    }
    return out;
}

std::optional<std::vector<Stroke>> parseCharacter(const QByteArray &json, QString *why)
{
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (!doc.isObject()) {
        *why = err.errorString();
        return std::nullopt;
    }
    const QJsonArray paths = doc.object().value(u"strokes").toArray();
    const QJsonArray medians = doc.object().value(u"medians").toArray();
    if (paths.isEmpty() || paths.size() > kMaxStrokes || paths.size() != medians.size()) {
        *why = QStringLiteral("stroke and median counts");
        return std::nullopt;
    }
    std::vector<Stroke> strokes;
    for (qsizetype k = 0; k < paths.size(); ++k) {
        auto stroke = parsePath(paths[k].toString());
        auto median = parseMedian(medians[k]);
        if (!stroke || !median) {
            *why = QStringLiteral("stroke %1").arg(k + 1);
            return std::nullopt;
        }
        stroke->median = std::move(*median);
        strokes.push_back(std::move(*stroke));
    }
    return strokes;
}

std::vector<uint8_t> encode(const std::vector<Stroke> &strokes)
{
    Writer w;
    w.varint(uint32_t(strokes.size()));
    for (const Stroke &s : strokes) {
        w.varint(uint32_t(s.kinds.size()));
        for (size_t k = 0; k < s.kinds.size(); k += 4) {
            uint8_t packed = 0;
            for (size_t j = 0; j < 4 && k + j < s.kinds.size(); ++j)
                packed |= uint8_t(s.kinds[k + j] << (2 * j));
            w.bytes.push_back(packed);
        }
        w.point(s.start);
        for (const Point &p : s.points)
            w.point(p);
        w.varint(uint32_t(s.median.size()));
        for (const Point &p : s.median)
            w.point(p);
    }
    return w.bytes;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: lorvanta_strokeconv <package folder> <output file>\n");
        return 2;
    }
    const QDir dir(args[1]);
    const QStringList names = dir.entryList({QStringLiteral("*.json")}, QDir::Files);

    std::map<char32_t, std::vector<uint8_t>> records;
    int skipped = 0;
    for (const QString &name : names) {
        const QString stem = name.chopped(5);
        const QList<uint> ucs4 = stem.toUcs4();
        if (ucs4.size() != 1 || stem.size() > 2)
            continue; // package.json and anything else that is not one character
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "strokeconv: cannot read %s\n", qPrintable(f.fileName()));
            return 1;
        }
        QString why;
        const auto strokes = parseCharacter(f.readAll(), &why);
        if (!strokes) {
            std::fprintf(stderr, "strokeconv: skipping %s (%s)\n", qPrintable(name), qPrintable(why));
            ++skipped;
            continue;
        }
        records[char32_t(ucs4[0])] = encode(*strokes);
    }
    if (records.empty()) {
        std::fprintf(stderr, "strokeconv: no character data in %s\n", qPrintable(args[1]));
        return 1;
    }

    std::vector<uint8_t> index, data;
    for (const auto &[cp, rec] : records) {
        put32(index, uint32_t(cp));
        put32(index, uint32_t(data.size()));
        data.insert(data.end(), rec.begin(), rec.end());
    }
    std::vector<uint8_t> out = {'L', 'V', 'S', 'K', 1, 0, 0, 0};
    put32(out, uint32_t(records.size()));
    put32(out, uint32_t(data.size()));
    out.insert(out.end(), index.begin(), index.end());
    out.insert(out.end(), data.begin(), data.end());

    QSaveFile save(args[2]);
    if (!save.open(QIODevice::WriteOnly)
        || save.write(reinterpret_cast<const char *>(out.data()), qint64(out.size())) != qint64(out.size())
        || !save.commit()) {
        std::fprintf(stderr, "strokeconv: cannot write %s\n", qPrintable(args[2]));
        return 1;
    }
    std::printf("strokeconv: %zu characters (%d skipped), %zu bytes\n", records.size(), skipped, out.size());
    return 0;
}
