// Renders the options dialog (with its crawl details beside it) and the About box (after its
// fade-in) to PNG files, with the program's own font, for the documentation: about_option_shots
// <folder> [<manual file>] With a manual file, the manual viewer showing it is rendered to help.png
// as well.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>
#include <cstdio>

#include "core/AppPaths.h"
#include "core/CrawlOptions.h"
#include "core/basGlobal.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmHelp.h"
#include "dialogs/frmOption.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: about_option_shots <folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 9));

    gHTMLAutoDelete = QStringLiteral("0");
    gPictAutoDelete = QStringLiteral("0");
    gPictAutoDeleteSize = 1000;
    gVersion = QStringLiteral("1.0.0");
    gAboutMail = QStringLiteral("siterambler@example.org");
    gAboutURL = QStringLiteral("https://siterambler.example.org/");

    QWidget main;
    main.setEnabled(false);
    MainWindowParts parts;
    parts.window = &main;

    // The options dialog with its 巡回の詳細設定 beside it, pages read as HTML.
    gCrawlOptions.parseHtml = true;
    auto* options = new frmOption(parts, &main);
    options->show();
    QApplication::processEvents();
    const QPixmap optionsShot = options->grab();
    options->cmdCrawlOptions->click();
    QApplication::processEvents();
    auto* details = options->findChild<QWidget*>(QStringLiteral("frmCrawlOptions"));
    bool ok = details != nullptr;
    if (details) {
        for (auto* button : details->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("OK")) button->setFocus();  // no caret shown
        QApplication::processEvents();
        const QPixmap detailsShot = details->grab();
        constexpr int kGap = 12;
        QPixmap both(optionsShot.width() + kGap + detailsShot.width(),
                     std::max(optionsShot.height(), detailsShot.height()));
        both.fill(options->palette().color(QPalette::Window).darker(115));
        QPainter painter(&both);
        painter.drawPixmap(0, 0, optionsShot);
        painter.drawPixmap(optionsShot.width() + kGap, 0, detailsShot);
        painter.end();
        ok = both.save(out.filePath(QStringLiteral("options.png")));
    }

    auto* about = new frmAbout(parts, &main);
    about->show();
    QElapsedTimer clock;
    clock.start();
    while (!about->fadeFinished() && clock.elapsed() < 60000) QApplication::processEvents();
    ok = about->grab().save(out.filePath(QStringLiteral("about.png"))) && ok;
    if (argc >= 3) {
        AppPaths paths = CurrentAppPaths();
        paths.manualFile = QString::fromLocal8Bit(argv[2]);
        SetAppPaths(paths);
        auto* help = new frmHelp(&main);
        help->show();
        QApplication::processEvents();
        ok = help->grab().save(out.filePath(QStringLiteral("help.png"))) && ok;
    }
    return ok ? 0 : 1;
}
