#pragma once
// Where a stored file came from, as the crawl archive of its download folder tells.

#include <QString>
#include <cstdint>
#include <optional>

// What the archive of its download folder knows of a stored file.
struct StoredFileOrigin {
    QString runFolder;
    QString startUrl;
    QString runStarted;
    std::int64_t number = 0;
    QString url;
    QString foundOn;
    QString kind;  // "page" or "picture"
    std::int64_t httpStatus = 0;
    std::int64_t bytes = 0;
    QString sha256;  // hex
    QString outcome;
    QString why;
    // The file is no longer the one recorded: gone, or not of the recorded size.
    bool changed = false;
};

// file is a stored file SRnnnn/nnnnnn.ext under a download folder; nothing when its archive
// is missing or does not know it.
std::optional<StoredFileOrigin> LookUpOrigin(const QString& file);

// Lines "key: value" for the command line, control characters in the values escaped.
QString OriginReport(const QString& file, const StoredFileOrigin& origin);
// The picture's tooltip: where it came from and the page it was found on.
QString OriginTooltip(const StoredFileOrigin& origin);
