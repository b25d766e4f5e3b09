#include "pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

QPixmap Transparent(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawLamp(QPainter &p, const QRectF &r, const QColor &centre, const QColor &edge) {
    QRadialGradient gradient(r.center() - QPointF(r.width() / 6, r.height() / 6), r.width() / 1.6);
    gradient.setColorAt(0, centre);
    gradient.setColorAt(1, edge);
    p.setBrush(gradient);
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.drawEllipse(r);
}

} // namespace

QPixmap OutputPixmap(TzOutputPicture picture) {
    QPixmap pixmap = Transparent(32, 32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF lamp(3, 3, 26, 26);
    switch (picture) {
    case TzOutputPicture::Off:
        DrawLamp(p, lamp, QColor(235, 235, 235), QColor(140, 140, 140));
        break;
    case TzOutputPicture::On:
        DrawLamp(p, lamp, QColor(190, 255, 170), QColor(20, 150, 20));
        break;
    case TzOutputPicture::Pwm: {
        DrawLamp(p, lamp, QColor(190, 255, 170), QColor(20, 150, 20));
        QPainterPath wave; // a square wave across the lamp marks modulation
        wave.moveTo(7, 20);
        wave.lineTo(11, 20), wave.lineTo(11, 12), wave.lineTo(16, 12), wave.lineTo(16, 20);
        wave.lineTo(21, 20), wave.lineTo(21, 12), wave.lineTo(25, 12);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 2.2));
        p.drawPath(wave);
        break;
    }
    case TzOutputPicture::Pending:
        DrawLamp(p, lamp, QColor(255, 250, 190), QColor(220, 170, 0));
        p.setPen(QPen(QColor(90, 70, 0), 2));
        p.drawLine(QPointF(16, 9), QPointF(16, 16));
        p.drawLine(QPointF(16, 16), QPointF(21, 19));
        break;
    }
    return pixmap;
}

QPixmap ArrowPixmap() {
    QPixmap pixmap = Transparent(24, 24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(220, 60, 40));
    p.setPen(QPen(QColor(120, 20, 10), 1));
    const QPointF points[] = {{22, 4}, {22, 20}, {4, 12}}; // points left, at the button
    p.drawPolygon(points, 3);
    return pixmap;
}

QPixmap LogoPixmap() {
    QPixmap pixmap = Transparent(96, 56);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 8, 0, 56);
    gradient.setColorAt(0, QColor(40, 70, 140));
    gradient.setColorAt(1, QColor(10, 30, 80));
    p.setBrush(gradient);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 10, 92, 44), 8, 8);
    QFont font(QStringLiteral("DejaVu Sans"), 13, QFont::Bold);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 10, 92, 44), Qt::AlignCenter, QStringLiteral("TARVEX"));
    return pixmap;
}

QPixmap SearchPixmap(bool running) {
    QPixmap pixmap = Transparent(20, 20);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = running ? QColor(200, 40, 30) : QColor(30, 60, 130);
    p.setPen(QPen(colour, 2.2));
    p.setBrush(running ? QColor(255, 220, 210) : QColor(220, 235, 255));
    p.drawEllipse(QRectF(2, 2, 11, 11));
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 12), QPointF(18, 18));
    return pixmap;
}

QPixmap MonitorPixmap() {
    QPixmap pixmap = Transparent(20, 20);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(QColor(20, 40, 60));
    p.drawRoundedRect(QRectF(1, 2, 18, 13), 2, 2);
    p.setPen(QPen(QColor(80, 230, 120), 1.5));
    p.drawPolyline(QPolygonF({{3, 10}, {6, 10}, {8, 5}, {11, 13}, {13, 8}, {17, 8}}));
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.drawLine(QPointF(10, 15), QPointF(10, 18));
    p.drawLine(QPointF(6, 18.5), QPointF(14, 18.5));
    return pixmap;
}

QPixmap HatPixmap() {
    QPixmap pixmap = Transparent(28, 28);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 20, 30));
    const QPointF cone[] = {{4, 22}, {24, 22}, {20, 5}};
    p.drawPolygon(cone, 3);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(2, 20, 24, 6), 3, 3);
    p.drawEllipse(QPointF(20, 5), 3, 3);
    return pixmap;
}

QPixmap SnowmanPixmap() {
    QPixmap pixmap = Transparent(48, 64);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 170, 200), 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(6, 30, 36, 33));
    p.drawEllipse(QRectF(12, 12, 24, 22));
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(20, 21), 1.6, 1.6);
    p.drawEllipse(QPointF(28, 21), 1.6, 1.6);
    p.setBrush(QColor(240, 120, 20));
    const QPointF nose[] = {{24, 24}, {24, 27}, {33, 26}};
    p.drawPolygon(nose, 3);
    return pixmap;
}

QPixmap TreePixmap() {
    QPixmap pixmap = Transparent(48, 64);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 70, 30));
    p.drawRect(QRectF(21, 52, 6, 11));
    p.setBrush(QColor(20, 120, 50));
    for (int tier = 0; tier < 3; ++tier) {
        const qreal top = 4 + tier * 14, half = 10 + tier * 6;
        const QPointF triangle[] = {{24, top}, {24 - half, top + 22}, {24 + half, top + 22}};
        p.drawPolygon(triangle, 3);
    }
    p.setBrush(QColor(250, 210, 40));
    p.drawEllipse(QPointF(24, 5), 3, 3);
    return pixmap;
}

QPixmap SelectorPixmap(bool selected) {
    QPixmap pixmap = Transparent(24, 24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = selected ? QColor(30, 90, 200) : QColor(150, 150, 150);
    p.setPen(QPen(colour.darker(130), 1.2));
    p.setBrush(selected ? QColor(220, 232, 255) : QColor(240, 240, 240));
    p.drawRoundedRect(QRectF(1.5, 1.5, 21, 21), 3, 3);
    QPainterPath wave; // the PWM wave of the selected output
    wave.moveTo(4, 16);
    wave.lineTo(8, 16), wave.lineTo(8, 8), wave.lineTo(12, 8), wave.lineTo(12, 16);
    wave.lineTo(16, 16), wave.lineTo(16, 8), wave.lineTo(20, 8);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, 2));
    p.drawPath(wave);
    return pixmap;
}
