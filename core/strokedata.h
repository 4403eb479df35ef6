// The bundled stroke-order data: outlines and medians of each character's
// strokes, read from one compact data file that the build embeds as a
// resource. Only the index header is checked when the data is opened; one
// character's record is decoded when it is asked for.
#pragma once

#include "core/strokeformat.h"

#include <QByteArray>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QString>

#include <optional>

// One character's strokes, in drawing order, in the data's own coordinates
// (the box of core/strokeformat.h).
struct StrokeGlyph {
    QList<QPainterPath> outlines; // closed outline of each stroke
    QList<QList<QPointF>> medians; // centre line of each stroke, start to end
};

class StrokeData
{
public:
    // Takes the whole data file; a file that fails the header checks is
    // invalid and finds nothing.
    explicit StrokeData(QByteArray bytes);

    bool isValid() const { return m_count > 0; }
    int characterCount() const { return int(m_count); }
    const QByteArray &bytes() const { return m_bytes; }

    // The strokes of one code point; nothing when the character is not in
    // the data or its record is damaged.
    std::optional<StrokeGlyph> find(char32_t codePoint) const;

    // The code point of a text that is exactly one character (a surrogate
    // pair counts as one); nothing for an empty text, a lone surrogate or
    // more than one character.
    static std::optional<char32_t> singleCodePoint(const QString &text);

    // The data embedded in the program, opened on first use.
    static const StrokeData &bundled();
    // Whether bundled() has been opened yet in this process.
    static bool bundledOpened();

private:
    QByteArray m_bytes;
    quint32 m_count = 0;
    qsizetype m_indexStart = 0;
    qsizetype m_recordsStart = 0;
    qsizetype m_recordsSize = 0;
};
