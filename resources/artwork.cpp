#include "resources/artwork.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace resources {
namespace {
QImage blank(int w, int h, QColor fill = Qt::transparent)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

QImage switchBackground(int w, int h)
{
    QImage img = blank(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(250, 250, 250));
    g.setColorAt(1, QColor(214, 222, 230));
    p.setPen(QPen(QColor(150, 160, 172), 2));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1.5, 1.5, w - 3, h - 3), 12, 12);
    return img;
}
} // namespace

QImage bookImage(int size)
{
    QImage img = blank(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // Cover and pages.
    p.setPen(QPen(QColor(74, 40, 16), 1.2));
    p.setBrush(QColor(150, 86, 38));
    p.drawRoundedRect(QRectF(5, 3, 22, 26), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(245, 236, 214));
    p.drawRect(QRectF(24, 5, 2.4, 22));
    p.setBrush(QColor(112, 60, 24));
    p.drawRect(QRectF(5, 3, 3.5, 26));
    // Title plate.
    p.setBrush(QColor(236, 206, 150));
    p.drawRect(QRectF(11, 8, 10, 5));
    // Red bookmark hanging out at the bottom.
    QPainterPath mark;
    mark.moveTo(17, 20);
    mark.lineTo(21, 20);
    mark.lineTo(21, 31);
    mark.lineTo(19, 28.8);
    mark.lineTo(17, 31);
    mark.closeSubpath();
    p.setBrush(QColor(214, 30, 36));
    p.drawPath(mark);
    return img;
}

QIcon programIcon()
{
    static const QIcon icon = [] {
        QIcon i;
        // The sizes window managers show a window's icon at; the desktop's
        // launchers take the larger installed theme icons. Drawing 128 and 256
        // pixels as well cost most of the icon's time at every start-up.
        for (int s : {16, 24, 32, 48, 64})
            i.addPixmap(QPixmap::fromImage(bookImage(s)));
        return i;
    }();
    return icon;
}

QImage playPicture()
{
    QImage img = switchBackground(67, 66);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath tri;
    tri.moveTo(25, 17);
    tri.lineTo(49, 33);
    tri.lineTo(25, 49);
    tri.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(52, 58, 64));
    p.drawPath(tri);
    return img;
}

QImage stopPicture()
{
    QImage img = switchBackground(66, 65);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(52, 58, 64));
    p.drawRoundedRect(QRectF(20, 19.5, 26, 26), 3, 3);
    return img;
}

QImage speakerPicture()
{
    QImage img = blank(14, 11, Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor blue(28, 183, 253);
    QPainterPath body;
    body.moveTo(0.5, 3.5);
    body.lineTo(3, 3.5);
    body.lineTo(6.5, 0.5);
    body.lineTo(6.5, 10.5);
    body.lineTo(3, 7.5);
    body.lineTo(0.5, 7.5);
    body.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(blue, 1.1));
    p.drawArc(QRectF(5, 3, 4, 5), -60 * 16, 120 * 16);
    p.drawArc(QRectF(4.5, 1, 7, 9), -60 * 16, 120 * 16);
    return img;
}

QImage noteSheetPicture()
{
    QImage img = blank(32, 32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath sheet;
    sheet.moveTo(5, 3);
    sheet.lineTo(21, 3);
    sheet.lineTo(27, 9);
    sheet.lineTo(27, 29);
    sheet.lineTo(5, 29);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(176, 140, 20), 1));
    p.setBrush(QColor(255, 226, 92));
    p.drawPath(sheet);
    p.setBrush(QColor(240, 196, 40));
    QPainterPath fold;
    fold.moveTo(21, 3);
    fold.lineTo(21, 9);
    fold.lineTo(27, 9);
    fold.closeSubpath();
    p.drawPath(fold);
    p.setPen(QPen(QColor(170, 120, 10), 1.2));
    for (int y = 13; y <= 25; y += 4)
        p.drawLine(QPointF(9, y), QPointF(23, y));
    return img;
}
} // namespace resources
