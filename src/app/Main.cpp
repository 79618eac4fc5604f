#include "app/Main.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

#include "core/AppPaths.h"
#include "core/Settings.h"
#include "core/basGlobal.h"
#include "widgets/QtWindowSystem.h"
#include "mainwindow/frmMainWindow.h"

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

}  // namespace

int Main(int argc, char** argv) {
    QApplication app(argc, argv);
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
