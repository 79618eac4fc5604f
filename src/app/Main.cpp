#include "app/Main.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QImageReader>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/AppPaths.h"
#include "core/Settings.h"
#include "core/basGlobal.h"
#include "look/PictureLook.h"
#include "mainwindow/frmMainWindow.h"
#include "widgets/QtWindowSystem.h"

namespace {

// The windows were laid out for a 9-point UI font; a CJK face keeps the Japanese texts whole.
void UseDesignFont(QApplication& app) {
    QFont font = app.font();
    const QStringList families = QFontDatabase::families();
    for (const char* family : {"Noto Sans CJK JP", "Noto Sans JP", "IPAGothic"}) {
        if (families.contains(QString::fromLatin1(family))) {
            font.setFamily(QString::fromLatin1(family));
            break;
        }
    }
    font.setPointSize(9);
    app.setFont(font);
}

// --help and --version answer like the headless command's, without a window. -1: neither.
int AnswerWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(
                "Usage: siterambler [--help] [--version]\n"
                "\n"
                "Opens Site Rambler's window: crawls from a start page and collects the\n"
                "images it finds into numbered run folders. Without a window:\n"
                "siterambler-crawl --help.\n"
                "\n"
                "Exit codes: 0 closed normally, 1 no display to open the window on.\n",
                stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("siterambler %s\n", SR_VERSION_TEXT);
            return 0;
        }
    }
    return -1;
}

QtMessageHandler gQtHandler = nullptr;

// Qt ends the program with abort() when it finds no display; this says what is missing instead,
// and ends it as a plain failure.
void NoDisplayHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (gQtHandler) gQtHandler(type, context, message);
        return;
    }
    const auto env = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value ? value : "(unset)";
    };
    std::fprintf(stderr,
                 "siterambler: no display to open the window on (DISPLAY=%s, WAYLAND_DISPLAY=%s): "
                 "%s\nStart it in a desktop session, or without one: xvfb-run -a siterambler\n",
                 env("DISPLAY"), env("WAYLAND_DISPLAY"), qUtf8Printable(message));
    std::_Exit(1);
}

}  // namespace

// Qt's allocation limit in megabytes, set once at the start before any picture is read: the
// picture the user opens in the viewer may be that large (the decoders count four bytes a
// pixel, so 20,000 x 20,000 pixels pass; the absurd sizes a damaged or hostile header can claim
// do not). The headless crawl keeps Qt's own; looks, thumbnails and previews check a small
// budget of their own first.
constexpr int kShownPictureMemoryMb = 2048;

int Main(int argc, char** argv) {
    if (const int answered = AnswerWithoutWindow(argc, argv); answered >= 0) return answered;
    gQtHandler = qInstallMessageHandler(NoDisplayHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(gQtHandler);
    QImageReader::setAllocationLimit(kShownPictureMemoryMb);
    // before any thread reads a picture: Qt adds a format to its list without a lock
    UsePictureFormats();
    app.setApplicationName(QStringLiteral("siterambler"));
    app.setApplicationDisplayName(QString());
    app.setDesktopFileName(QStringLiteral("org.example.siterambler"));
    UseDesignFont(app);
    SetAppPaths(DetectAppPaths());
    QtWindowSystem windowSystem;
    SetWindowSystem(&windowSystem);

    gPictAutoDeleteSize = 2;
    LoadSettings();
    int result = 0;
    {
        frmMainWindow mainWindow;
        mainWindow.show();
        // the close path is the only way out; it ends this loop
        result = app.exec();
    }
    SetWindowSystem(nullptr);
    return result;
}
