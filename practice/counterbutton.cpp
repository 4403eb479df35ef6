#include "practice/counterbutton.h"

#include "widgets/ui.h"

#include <QFontMetricsF>
#include <QStyleOptionButton>
#include <QStylePainter>

CounterButton::Fit CounterButton::fit() const
{
    Fit f;
    f.title = font();
    const QString caption = text();
    const qsizetype space = caption.indexOf(QLatin1Char(' '));
    const double room = width() - 2 * margin;
    if (space < 0 || QFontMetricsF(f.title).horizontalAdvance(caption) <= room)
        return f;
    f.split = true;
    f.titleText = caption.left(space + 1);
    f.counterText = caption.mid(space + 1);
    const auto need = [&](const QFont &t, const QFont &c) {
        return QFontMetricsF(t).horizontalAdvance(f.titleText)
            + QFontMetricsF(c).horizontalAdvance(f.counterText);
    };
    const double design = f.title.pointSizeF();
    f.counter = ui::designFont(QStringLiteral("Arial Narrow"), design);
    for (double pt = design; pt >= smallestCounter; pt -= 0.25) {
        f.counter.setPointSizeF(pt);
        if (need(f.title, f.counter) <= room)
            return f;
    }
    for (double pt = design; pt >= smallestTitle; pt -= 0.25) {
        f.title.setPointSizeF(pt);
        if (need(f.title, f.counter) <= room)
            return f;
    }
    return f;
}

void CounterButton::paintEvent(QPaintEvent *event)
{
    const Fit f = fit();
    if (!f.split) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    p.drawControl(QStyle::CE_PushButton, option);

    const QString &title = f.titleText;
    const QString &counter = f.counterText;
    const QFontMetricsF t(f.title);
    const QFontMetricsF c(f.counter);
    const double total = t.horizontalAdvance(title) + c.horizontalAdvance(counter);
    // Both parts on one baseline, the line centred as a button centres its caption.
    const double x = (width() - total) / 2;
    const double baseline = (height() - t.ascent() - t.descent()) / 2 + t.ascent();
    p.setPen(option.palette.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.setFont(f.title);
    p.drawText(QPointF(x, baseline), title);
    p.setFont(f.counter);
    p.drawText(QPointF(x + t.horizontalAdvance(title), baseline), counter);
}
