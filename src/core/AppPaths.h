#pragma once
// Where the program finds its files. A portable copy (the build tree, an unpacked archive)
// keeps Init.dat and ReadMe.txt beside the executable; an installed copy, whose folder the user
// cannot write, keeps the settings in the user's configuration folder and reads its data files
// from the installed data folder.

#include <QString>

struct AppPaths {
    QString executableFolder;  // no trailing "/"
    QString settingsFile;      // Init.dat that LoadSettings reads and SaveSettings writes
    QString aboutFile;         // Init.dat that holds the [About] texts
    QString manualFile;        // ReadMe.txt
    QString defaultDownloadFolder;
    bool portable = true;
};

// Works the paths out from the running executable (needs a QCoreApplication).
AppPaths DetectAppPaths();
// The same for an executable in the given folder.
AppPaths DetectAppPathsFor(const QString& executableFolder);

// The paths every part of the program uses; tests may replace them.
const AppPaths& CurrentAppPaths();
void SetAppPaths(const AppPaths& paths);
