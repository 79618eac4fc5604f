#include "app/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

AppPaths& Storage() {
    static AppPaths paths;
    return paths;
}

bool FolderWritable(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

}  // namespace

AppPaths DetectAppPaths() {
    AppPaths p;
    p.executableFolder = QCoreApplication::applicationDirPath();
    p.portable = FolderWritable(p.executableFolder);
    if (p.portable) {
        p.settingsFile = p.executableFolder + QStringLiteral("/Init.dat");
        p.aboutFile = p.settingsFile;
        p.manualFile = p.executableFolder + QStringLiteral("/ReadMe.txt");
        p.defaultDownloadFolder = p.executableFolder;
        return p;
    }
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config)) config = QDir::homePath() + "/.config";
    p.settingsFile = config + QStringLiteral("/siterambler/Init.dat");
    const QString data =
        QDir::cleanPath(p.executableFolder + QStringLiteral("/../share/siterambler"));
    p.aboutFile = data + QStringLiteral("/Init.dat");
    p.manualFile = data + QStringLiteral("/ReadMe.txt");
    p.defaultDownloadFolder =
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (p.defaultDownloadFolder.isEmpty()) p.defaultDownloadFolder = QDir::homePath();
    return p;
}

const AppPaths& CurrentAppPaths() { return Storage(); }

void SetAppPaths(const AppPaths& paths) { Storage() = paths; }
