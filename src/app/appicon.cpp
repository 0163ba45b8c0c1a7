#include "app/appicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace lumivor::app {

namespace {

const QColor bezel(0x2b, 0x30, 0x35);
const QColor glass(0xb7, 0xc9, 0x8f);
const QColor ink(0x1f, 0x2a, 0x17);
const QColor lamp(0x6f, 0xd3, 0x6f);

// Drawn on a 256 x 256 grid, scaled to the pixmap.
QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(bezel);
    painter.drawRoundedRect(QRectF(8, 56, 240, 144), 24, 24);
    painter.setBrush(glass);
    painter.drawRoundedRect(QRectF(28, 80, 200, 96), 6, 6);
    QPen line(ink, 10, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin);
    painter.setPen(line);
    const QPointF points[] = {{44, 156}, {76, 112}, {108, 140}, {140, 100}, {172, 128}};
    painter.drawPolyline(points, 5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawRect(QRectF(184, 96, 28, 64));
    painter.setBrush(glass);
    painter.drawRect(QRectF(192, 108, 12, 12));
    painter.drawRect(QRectF(192, 136, 12, 12));
    painter.setBrush(lamp);
    painter.drawEllipse(QPointF(128, 188), 5, 5);
    return pixmap;
}

} // namespace

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(drawIcon(size));
    return icon;
}

} // namespace lumivor::app
