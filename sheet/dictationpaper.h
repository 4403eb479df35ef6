// The 听写纸 of a run: the pupil's sheet, numbered in the run's order with one
// empty 田字格 per character of a Chinese item and an empty 四线三格 line per
// pinyin item, under a line for the name and the date; then, for the parent,
// the answers with their words and pinyin. Printed and saved as the copybook is.
#pragma once

#include "sheet/sheet.h"

#include <QDate>
#include <QList>
#include <QRectF>
#include <QStringList>

namespace sheet {

class DictationPaper : public Pages
{
public:
    // `words[i]` and `readings[i]` belong to items[i] (may be empty).
    DictationPaper(const QStringList &items, const QStringList &words, const QStringList &readings,
                   const QDate &date);

    const Options &options() const override { return m_options; }
    QString title() const override { return QStringLiteral("听写纸"); }
    bool isEmpty() const override { return m_items.isEmpty(); }
    bool paginate(int) override { return true; }
    bool isPaginated() const override { return true; }
    int pageCount() const override { return m_writingPages + m_answerPages; }
    double paginatedShare() const override { return 1.0; }
    int expectedPageCount() const override { return pageCount(); }
    void paintPage(QPainter &painter, const QRectF &pageRect, int index) const override;

    // Where item i is written, in millimetres on its page: its number's
    // place, then one square per character or one four-line box.
    struct Block {
        int page = 0;
        QRectF number;
        QList<QRectF> cells; // Chinese: one 田字格 per character
        QRectF lines; // pinyin: the 四线三格 box
    };
    const QList<Block> &blocks() const { return m_blocks; }
    int writingPages() const { return m_writingPages; }

    static constexpr double cellMm = 16;
    static constexpr double pinyinWidthMm = 40;

private:
    void layOut();
    void paintWriting(QPainter &p, int page) const;
    void paintAnswers(QPainter &p, int page) const;

    QStringList m_items;
    QStringList m_words;
    QStringList m_readings;
    Options m_options;
    QList<Block> m_blocks;
    int m_writingPages = 0;
    int m_answerPages = 0;
    int m_answersPerPage = 1;
};

} // namespace sheet
