#include "practice/cardlabel.h"

#include "sheet/pinyinglyphs.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>

#include <cmath>

namespace {
// How much wider the letters are with ɑ in place of the toned a's.
int extraWidth(const QWidget *label, const QString &text)
{
    if (!pinyinglyphs::hasTonedA(text))
        return 0;
    const QFontMetricsF fm(label->font(), label);
    const double extra = fm.horizontalAdvance(pinyinglyphs::bodyText(text)) - fm.horizontalAdvance(text);
    return extra > 0 ? int(std::ceil(extra)) : 0;
}
} // namespace

QSize CardLabel::sizeHint() const { return ui::ClickLabel::sizeHint() + QSize(extraWidth(this, text()), 0); }

QSize CardLabel::minimumSizeHint() const
{
    return ui::ClickLabel::minimumSizeHint() + QSize(extraWidth(this, text()), 0);
}

void CardLabel::paintEvent(QPaintEvent *event)
{
    const QString caption = text();
    if (!pinyinglyphs::hasTonedA(caption)) {
        ui::ClickLabel::paintEvent(event);
        return;
    }
    // The letters as the label would draw them with ɑ, then the tone marks
    // over each ɑ where the same line puts it.
    QPainter p(this);
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString body = pinyinglyphs::bodyText(caption);
    const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
    style()->drawItemText(&p, room, int(align), palette(), isEnabled(), body, foregroundRole());

    const QFontMetricsF fm(font(), this);
    const double width = fm.horizontalAdvance(body);
    double x = room.left();
    if (align & Qt::AlignHCenter)
        x += (room.width() - width) / 2;
    else if (align & Qt::AlignRight)
        x += room.width() - width;
    double baseline = room.top() + fm.ascent();
    if (align & Qt::AlignVCenter)
        baseline += (room.height() - fm.height()) / 2;
    else if (align & Qt::AlignBottom)
        baseline += room.height() - fm.height();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(pinyinglyphs::toneMarks(font(), caption).translated(x, baseline),
               palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
}
