#include "core/basCommonLibrary.h"

#include "core/ProfileFile.h"

#include <QFileInfo>

QString ReadIniValue(const QString& path, const QString& section, const QString& key) {
    ProfileFile profile;
    profile.load(path);
    return profile.value(section, key);
}

std::int16_t WriteIniValue(const QString& path, const QString& section, const QString& key,
                           const QString& value) {
    ProfileFile profile;
    // a file that exists but cannot be read must not be replaced by one holding a single key
    if (!profile.load(path) && QFileInfo::exists(path)) return -1;
    profile.setValue(section, key, value);
    return profile.save(path) ? 0 : -1;
}
