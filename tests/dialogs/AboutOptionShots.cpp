// Renders the options dialog and the About box (after its fade-in) to PNG files, with the
// program's own font, for the documentation: about_option_shots <folder> [<manual file>]
// With a manual file, the manual viewer showing it is rendered to help.png as well.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFont>
#include <QPixmap>
#include <QPushButton>
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

    gCrawlOptions.parseHtml = true;  // the documentation shows pages read as HTML
    auto* options = new frmOption(parts, &main);
    options->show();
    QApplication::processEvents();
    bool ok = options->grab().save(out.filePath(QStringLiteral("options.png")));
    options->cmdCrawlOptions->click();
    QApplication::processEvents();
    if (auto* details = options->findChild<QWidget*>(QStringLiteral("frmCrawlOptions"))) {
        details->setFocus();  // no caret in the first field
        ok = details->grab().save(out.filePath(QStringLiteral("crawl_options.png"))) && ok;
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
