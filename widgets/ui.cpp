#include "widgets/ui.h"

#include <QFont>
#include <QMouseEvent>
#include <QScreen>

namespace ui {

void place(QWidget *w, double left, double top, double width, double height)
{
    w->setGeometry(px(left), px(top), std::max(0, px(width)), std::max(0, px(height)));
}

void move(QWidget *w, double left, double top)
{
    w->move(px(left), px(top));
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void centreWindow(QWidget *window, const QRect &area)
{
    QRect frame = window->frameGeometry();
    frame.moveCenter(area.center());
    if (const QScreen *screen = window->screen()) {
        const QRect avail = screen->availableGeometry();
        // Right and bottom first, so that a window larger than the screen
        // keeps its top-left corner visible.
        if (frame.right() > avail.right())
            frame.moveRight(avail.right());
        if (frame.bottom() > avail.bottom())
            frame.moveBottom(avail.bottom());
        if (frame.left() < avail.left())
            frame.moveLeft(avail.left());
        if (frame.top() < avail.top())
            frame.moveTop(avail.top());
    }
    window->move(frame.topLeft());
}

QFont designFont(const QString &family, double points, bool underline)
{
    QFont f(family);
    f.setPointSizeF(points);
    f.setUnderline(underline);
    return f;
}

void installFontSubstitutes()
{
    QFont::insertSubstitutions(QStringLiteral("楷体"),
        {QStringLiteral("AR PL UKai CN"), QStringLiteral("LXGW WenKai"),
         QStringLiteral("AR PL KaitiM GB"), QStringLiteral("Noto Serif CJK SC")});
    QFont::insertSubstitutions(QStringLiteral("宋体"),
        {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN"),
         QStringLiteral("Noto Sans CJK SC")});
    QFont::insertSubstitutions(QStringLiteral("微软雅黑"),
        {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
         QStringLiteral("Noto Serif CJK SC")});
    QFont::insertSubstitutions(QStringLiteral("Arial"),
        {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Arial Narrow"),
        {QStringLiteral("Liberation Sans Narrow"), QStringLiteral("DejaVu Sans Condensed"),
         QStringLiteral("Liberation Sans")});
}
} // namespace ui
