#include "core/Settings.h"

#include <QDir>
#include <QFileInfo>

#include "core/AppPaths.h"
#include "core/CrawlOptions.h"
#include "core/NumberText.h"
#include "core/ProfileFile.h"
#include "core/basGlobal.h"

void LoadSettings() {
    const AppPaths& paths = CurrentAppPaths();
    ProfileFile settings;
    // An installed copy starts from the shipped defaults until the user has settings of his own.
    if (!paths.portable && !QFileInfo::exists(paths.settingsFile))
        settings.load(paths.aboutFile);
    else
        settings.load(paths.settingsFile);

    gURLBasePath = settings.value("Path", "URL");
    gDownloadBasePath = settings.value("Path", "Download");
    gHTMLAutoDelete = settings.value("Option", "HTMLAutoDelete");
    gPictAutoDelete = settings.value("Option", "PictAutoDelete");
    if (!settings.value("Option", "PictAutoDelete").isEmpty()) {
        if (const auto size = ToLongHalfEven(settings.value("Option", "PictAutoDeleteSize")))
            gPictAutoDeleteSize = *size;
    }
    gCrawlOptions = ReadCrawlOptions(settings);

    ProfileFile about;
    if (paths.aboutFile == paths.settingsFile)
        about = settings;
    else
        about.load(paths.aboutFile);
    gVersion = about.value("About", "Version");
    gAboutMail = about.value("About", "Mail");
    gAboutURL = about.value("About", "URL");
}

bool SaveSettings(const QString& urlText, const QString& downloadText) {
    const QString path = CurrentAppPaths().settingsFile;
    QDir().mkpath(QFileInfo(path).absolutePath());
    ProfileFile settings;
    // never replace a settings file that exists but cannot be read
    if (!settings.load(path) && QFileInfo::exists(path)) return false;
    settings.setValue("Path", "URL", urlText);
    settings.setValue("Path", "Download", downloadText);
    settings.setValue("Option", "HTMLAutoDelete", gHTMLAutoDelete);
    settings.setValue("Option", "PictAutoDelete", gPictAutoDelete);
    settings.setValue("Option", "PictAutoDeleteSize", QString::number(gPictAutoDeleteSize));
    WriteCrawlOptions(settings, gCrawlOptions);
    return settings.save(path);
}
