#include "widgets/Icons.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

// A globe (the web) with a small framed picture in front: what the program walks and gathers.
void DrawGlobe(QPainter& p, double s) {
    const QRectF globe(s * 0.06, s * 0.06, s * 0.72, s * 0.72);
    QRadialGradient sea(globe.center() - QPointF(s * 0.12, s * 0.12), s * 0.5);
    sea.setColorAt(0, QColor(120, 190, 255));
    sea.setColorAt(1, QColor(20, 90, 180));
    p.setPen(QPen(QColor(10, 50, 110), s / 32.0));
    p.setBrush(sea);
    p.drawEllipse(globe);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(230, 245, 255, 200), s / 40.0));
    p.drawEllipse(globe.adjusted(globe.width() * 0.3, 0, -globe.width() * 0.3, 0));
    p.drawLine(QPointF(globe.center().x(), globe.top()), QPointF(globe.center().x(), globe.bottom()));
    p.drawLine(QPointF(globe.left(), globe.center().y()), QPointF(globe.right(), globe.center().y()));
}

void DrawPicture(QPainter& p, double s) {
    const QRectF frame(s * 0.48, s * 0.50, s * 0.46, s * 0.40);
    p.setPen(QPen(QColor(60, 60, 60), s / 32.0));
    p.setBrush(QColor(255, 252, 240));
    p.drawRect(frame);
    QPainterPath hill;
    hill.moveTo(frame.left() + s * 0.03, frame.bottom() - s * 0.03);
    hill.lineTo(frame.left() + s * 0.17, frame.top() + s * 0.15);
    hill.lineTo(frame.left() + s * 0.27, frame.bottom() - s * 0.12);
    hill.lineTo(frame.left() + s * 0.33, frame.top() + s * 0.20);
    hill.lineTo(frame.right() - s * 0.03, frame.bottom() - s * 0.03);
    hill.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 160, 70));
    p.drawPath(hill);
    p.setBrush(QColor(250, 180, 30));
    p.drawEllipse(QPointF(frame.right() - s * 0.09, frame.top() + s * 0.09), s * 0.045, s * 0.045);
}

// The busy frames: an orange walker circling the globe, one fifth of a turn per frame.
QImage DrawFrame(int frame, int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    DrawGlobe(p, size);
    const double angle = -M_PI / 2 + frame * 2 * M_PI / 5;
    const QPointF c(size * 0.42, size * 0.42);
    const double r = size * 0.36;
    p.setPen(QPen(QColor(120, 50, 0), size / 32.0));
    p.setBrush(QColor(255, 140, 0));
    p.drawEllipse(c + QPointF(r * std::cos(angle), r * std::sin(angle)), size * 0.11, size * 0.11);
    return img;
}

}  // namespace

QImage DrawAppIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    DrawGlobe(p, size);
    DrawPicture(p, size);
    return img;
}

std::array<QIcon, 6> MakeWindowIcons() {
    std::array<QIcon, 6> icons;
    for (int i = 0; i < 5; ++i) {
        QIcon icon;
        for (int size : {16, 32, 48}) icon.addPixmap(QPixmap::fromImage(DrawFrame(i, size)));
        icons[i] = icon;
    }
    for (int size : {16, 32, 48, 64}) icons[5].addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
    return icons;
}
