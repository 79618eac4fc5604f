// Renders the main window, as the program shows it, into a PNG for the README.
// Usage: sr_screenshot_main OUT.png
#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>

#include "core/AppPaths.h"
#include "core/basGlobal.h"
#include "core/UrlQueue.h"
#include "mainwindow/frmMainWindow.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(9);
    app.setFont(font);
    AppPaths paths;
    paths.defaultDownloadFolder = QStringLiteral("/home/user/Pictures");
    SetAppPaths(paths);
    gURLBasePath = QStringLiteral("http://127.0.0.1:8080/gallery/index.html");
    frmMainWindow w;
    w.lstLink().appendAll({QStringLiteral("http://127.0.0.1:8080/gallery/index.html"),
                           QStringLiteral("http://127.0.0.1:8080/gallery/page2.html"),
                           QStringLiteral("http://127.0.0.1:8080/about/team.htm")});
    w.lstImage().appendAll({QStringLiteral("http://127.0.0.1:8080/gallery/img/sunset.jpg"),
                            QStringLiteral("http://127.0.0.1:8080/gallery/img/harbour.png")});
    w.setCrawlControls(true);
    w.setCaption(QStringLiteral("Site Rambler - 巡回中… ( 12個のイメージファイルをダウンロードしました。 )"));
    w.show();
    app.processEvents();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("main.png");
    return w.grab().save(out) ? 0 : 1;
}
