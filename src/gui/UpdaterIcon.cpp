#include "gui/UpdaterIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

QPixmap UpdaterIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);

    // Background tile.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x5f, 0x8b));
    p.drawRoundedRect(QRectF(1, 1, 46, 46), 8, 8);

    // The chip with its pins.
    p.setBrush(QColor(0xd8, 0xe2, 0xea));
    for (int i = 0; i < 4; ++i) {
        const double x = 15.5 + i * 5.0;
        p.drawRect(QRectF(x, 21, 2, 4));
        p.drawRect(QRectF(x, 39, 2, 4));
    }
    p.setBrush(QColor(0x2b, 0x2b, 0x2b));
    p.drawRoundedRect(QRectF(12, 24, 24, 16), 2, 2);
    p.setBrush(QColor(0xd8, 0xe2, 0xea));
    p.drawEllipse(QPointF(16, 28), 1.5, 1.5);

    // The arrow bringing the firmware in.
    p.setBrush(QColor(0x6c, 0xd0, 0x4a));
    QPolygonF arrow;
    arrow << QPointF(21, 5) << QPointF(27, 5) << QPointF(27, 13) << QPointF(32, 13) << QPointF(24, 21)
          << QPointF(16, 13) << QPointF(21, 13);
    p.drawPolygon(arrow);
    p.end();
    return pixmap;
}
