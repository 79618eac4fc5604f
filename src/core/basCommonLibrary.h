#pragma once
// Generic routines shared by every part of the program.

#include <QString>
#include <cstdint>

// The value of [section] key in the profile file at path, or the empty text.
QString ReadIniValue(const QString& path, const QString& section, const QString& key);

// Writes [section] key=value into the profile file at path. 0 when the file was written,
// -1 when the write failed (the old file is then left as it was).
std::int16_t WriteIniValue(const QString& path, const QString& section, const QString& key,
                           const QString& value);
