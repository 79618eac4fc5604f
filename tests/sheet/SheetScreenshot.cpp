// The contact sheet for the README, on a run folder that a real crawl made.
// Usage: sr_screenshot_sheet site FOLDER        writes a small site of pictures to serve
//        sr_screenshot_sheet shot DOWNLOADS OUT.png
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QListView>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "core/WindowSystem.h"
#include "sheet/frmSheet.h"
#include "sheetlogic/SheetModel.h"
#include "widgets/QtWindowSystem.h"

namespace {

// Coloured shapes on a gradient, different for every seed.
QImage Picture(int seed, int width, int height) {
    QRandomGenerator random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient ground(0, 0, width, height);
    ground.setColorAt(0, QColor::fromHsv(random.bounded(360), 120, 240));
    ground.setColorAt(1, QColor::fromHsv(random.bounded(360), 200, 110));
    p.fillRect(image.rect(), ground);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        p.setBrush(QColor::fromHsv(random.bounded(360), 180, 230, 200));
        const QRectF r(random.bounded(width), random.bounded(height), width / 3.0, height / 3.0);
        (i % 2 ? p.drawEllipse(r) : p.drawRoundedRect(r, 12, 12));
    }
    return image;
}

int WriteSite(const QString& folder) {
    QDir().mkpath(folder);
    QString html = QStringLiteral("<html><body>\n");
    for (int i = 0; i < 30; ++i) {
        const QString name = QStringLiteral("p%1.%2").arg(i).arg(i % 3 ? "jpg" : "png");
        // Every seventh a smaller copy of the one before: look-alikes to group.
        const QSize size = i % 7 == 6 ? QSize(320, 210) : QSize(640, 420);
        Picture(i % 7 == 6 ? i - 1 : i, size.width(), size.height()).save(folder + u'/' + name);
        html += QStringLiteral("<img src=\"%1\">\n").arg(name);
    }
    QFile index(folder + QStringLiteral("/index.html"));
    if (!index.open(QIODevice::WriteOnly)) return 1;
    index.write((html + QStringLiteral("</body></html>\n")).toUtf8());
    return 0;
}

int Shot(const QString& downloads, const QString& out) {
    QtWindowSystem windowSystem;
    SetWindowSystem(&windowSystem);
    frmSheet sheet;
    sheet.resize(1000, 640);
    sheet.Open(downloads);
    bool shown = false;
    QObject::connect(&sheet, &frmSheet::previewShown, [&shown] { shown = true; });
    QElapsedTimer clock;
    clock.start();
    while (!shown && clock.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    sheet.chkSimilar->click();  // the look-alikes first, each group on its tint
    while (clock.elapsed() < 23000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    sheet.lstSheet->setCurrentIndex(sheet.model().index(1));
    while (clock.elapsed() < 25000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    const bool saved = shown && sheet.grab().save(out);
    SetWindowSystem(nullptr);
    return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Thumbnails of this shot stay out of the user's own cache.
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    QApplication app(argc, argv);
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(9);
    app.setFont(font);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QStringLiteral("site")) return WriteSite(args[2]);
    if (args.size() == 4 && args[1] == QStringLiteral("shot")) return Shot(args[2], args[3]);
    return 2;
}
