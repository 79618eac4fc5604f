#include "core/AppPaths.h"

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

AppPaths DetectAppPaths() { return DetectAppPathsFor(QCoreApplication::applicationDirPath()); }

AppPaths DetectAppPathsFor(const QString& executableFolder) {
    AppPaths p;
    p.executableFolder = executableFolder;
    const QString data =
        QDir::cleanPath(p.executableFolder + QStringLiteral("/../share/siterambler"));
    // A writable folder alone does not make a portable copy: root can write /usr/bin, and an
    // installed program must still keep its settings in the user's folder.
    p.portable = FolderWritable(p.executableFolder) &&
                 (QFileInfo::exists(p.executableFolder + QStringLiteral("/Init.dat")) ||
                  !QFileInfo(data).isDir());
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
    p.aboutFile = data + QStringLiteral("/Init.dat");
    p.manualFile = data + QStringLiteral("/ReadMe.txt");
    p.defaultDownloadFolder =
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (p.defaultDownloadFolder.isEmpty()) p.defaultDownloadFolder = QDir::homePath();
    return p;
}

const AppPaths& CurrentAppPaths() { return Storage(); }

void SetAppPaths(const AppPaths& paths) { Storage() = paths; }
