#include "sheet/dictationpaper.h"

#include "resources/fonts.h"
#include "rules/deck.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace sheet {

namespace {
const QColor gridOuter(214, 96, 96);
const QColor gridInner(228, 150, 150);
const QColor ink(64, 64, 64);
constexpr double marginMm = 15;
constexpr double headingMm = 14;
constexpr double numberMm = 8; // room for "12." before a block
constexpr double blockGapMm = 4;
constexpr double rowGapMm = 7;
constexpr double answerLineMm = 9;
constexpr int answerColumns = 3;

QFont faceFont(const QString &designFace)
{
    QFont f;
    f.setFamilies(QStringList {designFace} + resources::faceSubstitutes(designFace));
    f.setPixelSize(100);
    f.setStyleStrategy(QFont::PreferOutline);
    return f;
}

// Text `em` millimetres high with its baseline at `origin`.
void text(QPainter &p, const QString &designFace, const QString &s, QPointF origin, double em)
{
    QPainterPath path;
    path.addText(QPointF(0, 0), faceFont(designFace), s);
    p.save();
    p.translate(origin);
    p.scale(em / 100, em / 100);
    p.fillPath(path, ink);
    p.restore();
}

void tianCell(QPainter &p, const QRectF &r)
{
    QPen inner(gridInner, 0.2, Qt::DashLine);
    p.setPen(inner);
    p.drawLine(QLineF(r.left(), r.center().y(), r.right(), r.center().y()));
    p.drawLine(QLineF(r.center().x(), r.top(), r.center().x(), r.bottom()));
    p.setPen(QPen(gridOuter, 0.4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
}

void fourLines(QPainter &p, const QRectF &r)
{
    const PinyinLines lines = pinyinLines(r);
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(i == 2 ? gridOuter : gridInner, i == 2 ? 0.35 : 0.25));
        p.drawLine(QLineF(r.left(), lines.y[i], r.right(), lines.y[i]));
    }
}
} // namespace

DictationPaper::DictationPaper(const QStringList &items, const QStringList &words,
                               const QStringList &readings, const QDate &date)
    : m_items(items), m_words(words), m_readings(readings)
{
    m_options.date = date;
    layOut();
}

void DictationPaper::layOut()
{
    const QSizeF paper = paperSize(m_options.paper);
    const double right = paper.width() - marginMm;
    const double top = marginMm + headingMm;
    const double bottom = paper.height() - marginMm;
    double x = marginMm;
    double y = top;
    int page = 0;
    for (const QString &item : std::as_const(m_items)) {
        const bool chinese = deck::isChinese(item);
        const int cells
            = chinese ? int(std::count_if(item.begin(), item.end(), deck::isChineseCharacter)) : 0;
        const double width = numberMm + (chinese ? cells * cellMm : pinyinWidthMm);
        if (x > marginMm && x + width > right) {
            x = marginMm;
            y += cellMm + rowGapMm;
        }
        if (y + cellMm > bottom) {
            ++page;
            x = marginMm;
            y = top;
        }
        Block b;
        b.page = page;
        b.number = QRectF(x, y, numberMm, cellMm);
        if (chinese)
            for (int i = 0; i < cells; ++i)
                b.cells << QRectF(x + numberMm + i * cellMm, y, cellMm, cellMm);
        else
            b.lines = QRectF(x + numberMm, y, pinyinWidthMm, cellMm);
        m_blocks << b;
        x += width + blockGapMm;
    }
    m_writingPages = m_items.isEmpty() ? 0 : page + 1;
    const int linesPerPage = int((bottom - top) / answerLineMm);
    m_answersPerPage = std::max(1, linesPerPage * answerColumns);
    m_answerPages = m_items.isEmpty() ? 0 : int((m_items.size() + m_answersPerPage - 1) / m_answersPerPage);
}

void DictationPaper::paintPage(QPainter &p, const QRectF &pageRect, int index) const
{
    const QSizeF paper = paperSize(m_options.paper);
    const double scale = std::min(pageRect.width() / paper.width(), pageRect.height() / paper.height());
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(pageRect.center() - QPointF(paper.width(), paper.height()) * scale / 2);
    p.scale(scale, scale);
    p.fillRect(QRectF(QPointF(0, 0), paper), Qt::white);
    if (index < m_writingPages)
        paintWriting(p, index);
    else
        paintAnswers(p, index - m_writingPages);
    p.restore();
}

void DictationPaper::paintWriting(QPainter &p, int page) const
{
    const QString date = m_options.date.toString(QStringLiteral("yyyy-MM-dd"));
    text(p, QStringLiteral("宋体"), QStringLiteral("听写纸　　姓名：____________　　日期：%1").arg(date),
         QPointF(marginMm, marginMm + 6), 5);
    for (qsizetype i = 0; i < m_blocks.size(); ++i) {
        const Block &b = m_blocks.at(i);
        if (b.page != page)
            continue;
        text(p, QStringLiteral("Arial"), QString::number(i + 1) + u'.', b.number.topLeft() + QPointF(0, 6),
             4);
        for (const QRectF &cell : b.cells)
            tianCell(p, cell);
        if (!b.lines.isNull())
            fourLines(p, b.lines);
    }
}

void DictationPaper::paintAnswers(QPainter &p, int page) const
{
    const QSizeF paper = paperSize(m_options.paper);
    text(p, QStringLiteral("宋体"),
         QStringLiteral("听写纸答案（给家长）　　%1")
             .arg(m_options.date.toString(QStringLiteral("yyyy-MM-dd"))),
         QPointF(marginMm, marginMm + 6), 5);
    const double columnWidth = (paper.width() - 2 * marginMm) / answerColumns;
    const int first = page * m_answersPerPage;
    const int perColumn = m_answersPerPage / answerColumns;
    for (int k = 0; k < m_answersPerPage && first + k < m_items.size(); ++k) {
        const int i = first + k;
        QString line = QString::number(i + 1) + QStringLiteral(". ") + deck::displayForm(m_items.at(i));
        if (!m_words.value(i).isEmpty())
            line += QStringLiteral("（") + m_words.value(i) + QStringLiteral("）");
        if (!m_readings.value(i).isEmpty())
            line += u' ' + m_readings.value(i);
        const QPointF at(marginMm + (k / perColumn) * columnWidth,
                         marginMm + headingMm + (k % perColumn + 1) * answerLineMm - 2);
        text(p, deck::isChinese(m_items.at(i)) ? QStringLiteral("楷体") : QStringLiteral("宋体"), line, at,
             5);
    }
}

} // namespace sheet
