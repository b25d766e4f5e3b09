#include "port_observer_pictures.h"

#include <QPainter>
#include <QPixmap>

namespace {

constexpr int kSize = 20;

QPixmap Transparent() {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap PinPixmap(qreal angle) {
    QPixmap pixmap = Transparent();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(kSize / 2.0, kSize / 2.0);
    p.rotate(angle);
    p.setPen(QPen(QColor(70, 70, 70), 1.6));
    p.drawLine(QPointF(0, 2), QPointF(0, 9)); // the needle
    p.setPen(QPen(QColor(120, 10, 10), 1));
    p.setBrush(QColor(210, 40, 40));
    p.drawRect(QRectF(-6, 1, 12, 2.5)); // the collar
    p.drawRect(QRectF(-3, -8, 6, 9));   // the grip
    p.drawRect(QRectF(-5, -9, 10, 2));  // the head
    p.end();
    return pixmap;
}

} // namespace

QIcon PauseIcon() {
    QPixmap pixmap = Transparent();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 70, 140));
    p.drawRoundedRect(QRectF(4, 3, 4.5, 14), 1, 1);
    p.drawRoundedRect(QRectF(11.5, 3, 4.5, 14), 1, 1);
    p.end();
    return QIcon(pixmap);
}

QIcon PinIcon() {
    QIcon icon;
    icon.addPixmap(PinPixmap(0), QIcon::Normal, QIcon::On);
    icon.addPixmap(PinPixmap(45), QIcon::Normal, QIcon::Off);
    return icon;
}
