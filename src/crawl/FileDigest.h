#pragma once
// The SHA-256 of a stored file, for the crawl's record and the known-picture rule.

#include <QByteArray>
#include <QString>

// The raw 32-byte digest; empty when the file cannot be read.
QByteArray FileSha256(const QString& path);
