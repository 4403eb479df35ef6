#include "core/strokedata.h"

#include <QResource>

#include <atomic>

// Layout of the data file (little-endian), written by tools/strokeconv.cpp:
//
//   header   "LVSK", u8 version (1), 3 zero bytes, u32 count, u32 record bytes
//   index    count x (u32 code point, u32 record offset), code points ascending
//   records  one per index entry, back to back
//
// A record: varint stroke count, then per stroke
//   varint segment count; the segment kinds, 2 bits each, four to a byte
//   (0 line, 1 quadratic, 2 cubic); the start point and each segment's
//   points; varint median point count and the median points.
// Points are zigzag varint deltas from the previous point of the record
// (the first from 0,0), which keeps most coordinates to one byte.

namespace {

constexpr qsizetype kHeaderSize = 16;
constexpr qsizetype kEntrySize = 8;
constexpr quint32 kMaxStrokes = strokeformat::maxStrokes;
constexpr quint32 kMaxSegments = strokeformat::maxSegments;
constexpr quint32 kMaxMedianPoints = strokeformat::maxMedianPoints;
// Well outside the 1024 grid; anything beyond is damage, not a glyph.
constexpr qint32 kMinCoordinate = -2048;
constexpr qint32 kMaxCoordinate = 4096;

std::atomic<bool> g_bundledOpened {false};

quint32 read32(const uchar *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

// Bounds-checked reading of one record; any overrun or absurd value sets
// the failed flag and the record is dropped.
class RecordReader
{
public:
    RecordReader(const uchar *begin, const uchar *end) : m_p(begin), m_end(end) { }

    bool failed() const { return m_failed; }
    bool atEnd() const { return m_p == m_end; }

    quint32 varint()
    {
        quint32 value = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            if (m_p == m_end)
                return fail();
            const uchar b = *m_p++;
            if (shift == 28 && (b & 0x70))
                return fail(); // more than 32 bits
            value |= quint32(b & 0x7f) << shift;
            if (!(b & 0x80))
                return value;
        }
        return fail();
    }

    uchar byte()
    {
        if (m_p == m_end)
            return uchar(fail());
        return *m_p++;
    }

    QPointF point()
    {
        m_x += unzigzag(varint());
        m_y += unzigzag(varint());
        if (m_x < kMinCoordinate || m_x > kMaxCoordinate || m_y < kMinCoordinate || m_y > kMaxCoordinate)
            fail();
        return QPointF(m_x, m_y);
    }

private:
    static qint64 unzigzag(quint32 v) { return qint64(v >> 1) ^ -qint64(v & 1); }
    quint32 fail()
    {
        m_failed = true;
        m_p = m_end;
        return 0;
    }

    const uchar *m_p;
    const uchar *m_end;
    // Kept wide so that a run of damaged deltas cannot overflow before the
    // range check catches it.
    qint64 m_x = 0;
    qint64 m_y = 0;
    bool m_failed = false;
};

std::optional<StrokeGlyph> decodeRecord(const uchar *begin, const uchar *end)
{
    RecordReader in(begin, end);
    const quint32 strokes = in.varint();
    if (in.failed() || strokes == 0 || strokes > kMaxStrokes)
        return std::nullopt;
    StrokeGlyph glyph;
    glyph.outlines.reserve(strokes);
    glyph.medians.reserve(strokes);
    for (quint32 s = 0; s < strokes; ++s) {
        const quint32 segments = in.varint();
        if (in.failed() || segments == 0 || segments > kMaxSegments)
            return std::nullopt;
        uchar kinds[(kMaxSegments + 3) / 4];
        for (quint32 k = 0; k < (segments + 3) / 4; ++k)
            kinds[k] = in.byte();
        QPainterPath path;
        path.moveTo(in.point());
        for (quint32 k = 0; k < segments; ++k) {
            switch ((kinds[k / 4] >> (2 * (k % 4))) & 3) {
            case 0: path.lineTo(in.point()); break;
            case 1: {
                const QPointF c = in.point();
                path.quadTo(c, in.point());
                break;
            }
            case 2: {
                const QPointF c1 = in.point();
                const QPointF c2 = in.point();
                path.cubicTo(c1, c2, in.point());
                break;
            }
            default: return std::nullopt;
            }
            if (in.failed())
                return std::nullopt;
        }
        path.closeSubpath();
        const quint32 medianPoints = in.varint();
        if (in.failed() || medianPoints == 0 || medianPoints > kMaxMedianPoints)
            return std::nullopt;
        QList<QPointF> median;
        median.reserve(medianPoints);
        for (quint32 k = 0; k < medianPoints; ++k)
            median.append(in.point());
        if (in.failed())
            return std::nullopt;
        glyph.outlines.append(path);
        glyph.medians.append(median);
    }
    // A record that does not end exactly where the next begins is damaged.
    if (!in.atEnd())
        return std::nullopt;
    return glyph;
}

} // namespace

StrokeData::StrokeData(QByteArray bytes) : m_bytes(std::move(bytes))
{
    const qsizetype size = m_bytes.size();
    if (size < kHeaderSize)
        return;
    const auto *p = reinterpret_cast<const uchar *>(m_bytes.constData());
    if (p[0] != 'L' || p[1] != 'V' || p[2] != 'S' || p[3] != 'K' || p[4] != 1 || p[5] || p[6] || p[7])
        return;
    const quint32 count = read32(p + 8);
    const quint32 recordsSize = read32(p + 12);
    // The sizes must account for the file exactly: a truncated or padded
    // file is refused whole.
    if (count == 0 || qint64(count) * kEntrySize > size
        || kHeaderSize + qint64(count) * kEntrySize + recordsSize != size)
        return;
    m_indexStart = kHeaderSize;
    m_recordsStart = kHeaderSize + qsizetype(count) * kEntrySize;
    m_recordsSize = qsizetype(recordsSize);
    m_count = count;
}

std::optional<StrokeGlyph> StrokeData::find(char32_t codePoint) const
{
    if (!isValid())
        return std::nullopt;
    const auto *base = reinterpret_cast<const uchar *>(m_bytes.constData());
    const uchar *index = base + m_indexStart;
    // Binary search over the sorted index.
    quint32 lo = 0, hi = m_count;
    while (lo < hi) {
        const quint32 mid = lo + (hi - lo) / 2;
        const quint32 cp = read32(index + qsizetype(mid) * kEntrySize);
        if (cp < codePoint)
            lo = mid + 1;
        else if (cp > codePoint)
            hi = mid;
        else {
            const quint64 begin = read32(index + qsizetype(mid) * kEntrySize + 4);
            const quint64 end = mid + 1 < m_count ? read32(index + qsizetype(mid + 1) * kEntrySize + 4)
                                                  : quint64(m_recordsSize);
            if (begin >= end || end > quint64(m_recordsSize))
                return std::nullopt;
            const uchar *records = base + m_recordsStart;
            return decodeRecord(records + begin, records + end);
        }
    }
    return std::nullopt;
}

std::optional<char32_t> StrokeData::singleCodePoint(const QString &text)
{
    if (text.size() == 1 && !text[0].isSurrogate())
        return char32_t(text[0].unicode());
    if (text.size() == 2 && text[0].isHighSurrogate() && text[1].isLowSurrogate())
        return char32_t(QChar::surrogateToUcs4(text[0], text[1]));
    return std::nullopt;
}

const StrokeData &StrokeData::bundled()
{
    static const StrokeData data = [] {
        g_bundledOpened = true;
        const QResource res(QStringLiteral(":/strokes/strokes.bin"));
        if (!res.isValid())
            return StrokeData(QByteArray());
        // Stored uncompressed: the bytes are used in place, without a copy.
        if (res.compressionAlgorithm() == QResource::NoCompression)
            return StrokeData(
                QByteArray::fromRawData(reinterpret_cast<const char *>(res.data()), qsizetype(res.size())));
        return StrokeData(res.uncompressedData());
    }();
    return data;
}

bool StrokeData::bundledOpened() { return g_bundledOpened; }
