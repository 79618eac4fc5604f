// Renders the image viewer showing a photograph-like JPEG larger than its picture area, with
// the scroll bars moved a little, into a PNG for the README.
// Usage: sr_screenshot_viewer OUT.png
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScrollBar>
#include <cmath>

#include "core/basGlobal.h"
#include "widgets/QtWindowSystem.h"
#include "viewer/frmViewer.h"

namespace {

// A small landscape: sky, sun, two ranges of hills and a lake with a reflection.
QImage Landscape(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height * 0.6);
    sky.setColorAt(0, QColor(40, 90, 170));
    sky.setColorAt(1, QColor(250, 190, 120));
    p.fillRect(image.rect(), sky);
    QRadialGradient sun(width * 0.7, height * 0.38, height * 0.12);
    sun.setColorAt(0, QColor(255, 250, 220));
    sun.setColorAt(1, QColor(255, 200, 120, 0));
    p.setBrush(sun);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(width * 0.7, height * 0.38), height * 0.12, height * 0.12);
    const auto range = [&](double base, double amplitude, double phase, QColor colour) {
        QPainterPath path(QPointF(0, height));
        for (int x = 0; x <= width; x += 8) {
            const double t = double(x) / width * 6.28318 * 1.5 + phase;
            path.lineTo(x, height * base - amplitude * (std::sin(t) + 0.4 * std::sin(3.1 * t)));
        }
        path.lineTo(width, height);
        p.fillPath(path, colour);
    };
    range(0.58, height * 0.10, 0.3, QColor(70, 80, 120));
    range(0.66, height * 0.06, 2.0, QColor(40, 90, 60));
    QLinearGradient lake(0, height * 0.72, 0, height);
    lake.setColorAt(0, QColor(90, 120, 170));
    lake.setColorAt(1, QColor(20, 40, 80));
    p.fillRect(QRectF(0, height * 0.72, width, height * 0.28), lake);
    p.setPen(QPen(QColor(255, 230, 180, 160), 3));
    for (int i = 0; i < 12; ++i) {
        const double y = height * 0.75 + i * 9;
        p.drawLine(QPointF(width * 0.7 - 40 + i * 3, y), QPointF(width * 0.7 + 40 - i * 3, y));
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(9);
    app.setFont(font);
    QtWindowSystem windowSystem;
    SetWindowSystem(&windowSystem);

    // A short, plausible path for the folder box; removed again at the end.
    const QString folder = QDir::tempPath() + QStringLiteral("/Pictures/SR0003");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    for (int n = 1; n <= 11; ++n) {
        QImage small(64, 48, QImage::Format_RGB32);
        small.fill(QColor::fromHsv(n * 30, 160, 220));
        small.save(folder + QStringLiteral("/%1.png").arg(n, 6, 10, QLatin1Char('0')));
    }
    Landscape(800, 420).save(folder + QStringLiteral("/000012.jpg"), "JPG", 92);
    gRunFolder = folder;

    frmViewer viewer;
    viewer.showNormal();
    viewer.Open();
    viewer.cmdControll_Click(3);  // the photograph
    viewer.srbHScroll->setValue(3000);
    viewer.srbVScroll->setValue(1200);
    app.processEvents();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("viewer.png");
    const bool saved = viewer.grab().save(out);
    SetWindowSystem(nullptr);
    QDir(folder).removeRecursively();
    return saved ? 0 : 1;
}
