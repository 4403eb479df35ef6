#include "sheet/pinyinglyphs.h"

#include <QHash>
#include <QList>
#include <QTextLayout>

namespace pinyinglyphs {
namespace {
constexpr char16_t kAlpha = 0x0251; // ɑ
// ā á ǎ à, by tone.
constexpr char16_t kTonedA[5] = {0, 0x0101, 0x00E1, 0x01CE, 0x00E0};
// The combining macron, acute, caron and grave, by tone.
constexpr char16_t kCombining[5] = {0, 0x0304, 0x0301, 0x030C, 0x0300};

int toneOf(const char16_t *table, QChar c)
{
    for (int tone = 1; tone <= 4; ++tone)
        if (c.unicode() == table[tone])
            return tone;
    return 0;
}

struct Toned {
    qsizetype pos; // in the body text
    int tone;
};

QString scan(QStringView text, QList<Toned> *toned)
{
    QString body;
    body.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        int tone = toneOf(kTonedA, c);
        if (!tone && c.unicode() == kAlpha && i + 1 < text.size())
            if ((tone = toneOf(kCombining, text.at(i + 1))))
                ++i;
        if (tone && toned)
            toned->append({body.size(), tone});
        body += tone ? QChar(kAlpha) : c;
    }
    return body;
}

// A glyph outline cut into its closed contours.
QList<QPainterPath> contours(const QPainterPath &path)
{
    QList<QPainterPath> out;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo() || out.isEmpty()) {
            out.append(QPainterPath());
            out.last().moveTo(e);
        } else if (e.isLineTo()) {
            out.last().lineTo(e);
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            out.last().cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
            i += 2;
        }
    }
    return out;
}

QPainterPath glyphPath(const QFont &font, QChar c)
{
    QPainterPath p;
    p.addText(0, 0, font, QString(c));
    return p;
}

// The face's tone mark as it stands over its own a (the contours of ā that
// lie wholly above the plain a), moved sideways to stand over ɑ the same way.
QPainterPath markOverAlpha(const QFont &font, int tone)
{
    const QRectF alpha = glyphPath(font, QChar(kAlpha)).boundingRect();
    const qreal letterTop = glyphPath(font, QLatin1Char('a')).boundingRect().top();
    QPainterPath mark;
    QRectF body;
    for (const QPainterPath &c : contours(glyphPath(font, QChar(kTonedA[tone])))) {
        const QRectF r = c.boundingRect();
        if (r.bottom() < letterTop) {
            mark.addPath(c);
        } else {
            body = body.united(r);
        }
    }
    if (!mark.isEmpty() && !body.isEmpty())
        return mark.translated(alpha.center().x() - body.center().x(), 0);
    // A face whose ā cannot be taken apart: its combining mark, centred over
    // ɑ and a little above it. A tone is never lost.
    mark = glyphPath(font, QChar(kCombining[tone]));
    const QRectF r = mark.boundingRect();
    if (r.isEmpty())
        return mark;
    const qreal gap = alpha.height() * 0.12;
    return mark.translated(alpha.center().x() - r.center().x(), alpha.top() - gap - r.bottom());
}

const QPainterPath &cachedMark(const QFont &font, int tone)
{
    thread_local QHash<QString, QPainterPath> cache;
    const QString key = font.key() + QLatin1Char('#') + QString::number(font.pixelSize()) + QLatin1Char('#')
        + QString::number(font.pointSizeF()) + QLatin1Char('#') + QString::number(tone);
    auto found = cache.find(key);
    if (found == cache.end()) {
        // Fonts of a few sizes are in use at a time; the card changes its size often.
        if (cache.size() > 64)
            cache.clear();
        found = cache.insert(key, markOverAlpha(font, tone));
    }
    return *found;
}
} // namespace

bool hasTonedA(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (toneOf(kTonedA, text.at(i)))
            return true;
        if (text.at(i).unicode() == kAlpha && i + 1 < text.size() && toneOf(kCombining, text.at(i + 1)))
            return true;
    }
    return false;
}

QString bodyText(const QString &text) { return hasTonedA(text) ? scan(text, nullptr) : text; }

QPainterPath toneMarks(const QFont &font, const QString &text)
{
    QList<Toned> toned;
    const QString body = scan(text, &toned);
    QPainterPath out;
    if (toned.isEmpty())
        return out;
    // Where each ɑ starts in the laid-out line, kerning and shaping included.
    QTextLayout layout(body, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    for (const Toned &t : toned)
        out.addPath(cachedMark(font, t.tone).translated(line.isValid() ? line.cursorToX(int(t.pos)) : 0, 0));
    return out;
}

QPainterPath textPath(const QFont &font, const QString &text)
{
    QPainterPath path;
    path.addText(0, 0, font, bodyText(text));
    if (hasTonedA(text))
        path.addPath(toneMarks(font, text));
    return path;
}
} // namespace pinyinglyphs
