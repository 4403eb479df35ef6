#include "dictation/dictationcard.h"

#include "widgets/ui.h"

#include <QPainter>

#include <algorithm>

namespace {
const QColor cardColour(204, 237, 199);
} // namespace

DictationCard::DictationCard(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(280, 180);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void DictationCard::setTexts(const QString &position, const QString &status, const QString &note)
{
    if (position == m_position && status == m_status && note == m_note)
        return;
    m_position = position;
    m_status = status;
    m_note = note;
    update();
}

namespace {
// The practice window's blue loudspeaker with its sound waves, drawn at any size.
void drawSpeaker(QPainter &p, const QRectF &r)
{
    const QColor blue(28, 183, 253);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(r.topLeft());
    p.scale(r.width() / 14.0, r.height() / 11.0);
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawPolygon(QPolygonF({QPointF(0.5, 3.5), QPointF(3, 3.5), QPointF(6.5, 0.5), QPointF(6.5, 10.5),
                             QPointF(3, 7.5), QPointF(0.5, 7.5)}));
    QPen wave(blue, 1.1);
    wave.setCapStyle(Qt::RoundCap);
    p.setPen(wave);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.5, 3, 5, 5), -50 * 16, 100 * 16);
    p.drawArc(QRectF(3.5, 1, 9, 9), -50 * 16, 100 * 16);
    p.restore();
}
} // namespace

void DictationCard::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), cardColour);
    const int h = height();
    // Position, loudspeaker and status stacked in the middle; only these texts
    // are ever drawn, so nothing of the item can show.
    QFont big = ui::designFont(QStringLiteral("微软雅黑"), std::clamp(h / 11.0, 14.0, 40.0));
    QFont small = ui::designFont(QStringLiteral("微软雅黑"), std::clamp(h / 26.0, 10.0, 16.0));
    p.setPen(QColor(64, 64, 64));
    p.setFont(big);
    const int bigHeight = QFontMetrics(big).height();
    const int speakerHeight = std::clamp(h / 6, 22, 88);
    const QSize speaker(speakerHeight * 14 / 11, speakerHeight);
    const int smallHeight = QFontMetrics(small).height();
    const int total = bigHeight + 16 + speakerHeight + 16 + 2 * smallHeight + 8;
    int y = std::max(4, (h - total) / 2);
    p.drawText(QRect(0, y, width(), bigHeight), Qt::AlignCenter, m_position);
    y += bigHeight + 16;
    drawSpeaker(p, QRectF(QPointF((width() - speaker.width()) / 2.0, y), QSizeF(speaker)));
    y += speakerHeight + 16;
    p.setFont(small);
    p.drawText(QRect(8, y, width() - 16, smallHeight), Qt::AlignCenter, m_status);
    y += smallHeight + 8;
    p.setPen(QColor(192, 0, 0));
    p.drawText(QRect(8, y, width() - 16, h - y), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_note);
}
