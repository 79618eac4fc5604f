#pragma once
// File names read from the archive's rows, before they become paths. The file may have been
// written by anyone: only a run folder's own name and a plain numbered name inside it are used.
// Private to this library.

#include <QString>

// "SR0002/000014.jpg" for run folder SR0002 and file 000014.jpg, relative to the download
// folder; empty when either is anything else ("../x", "SR0002/../..", a path, no number).
QString RunFilePath(const QString& runFolder, const QString& fileName);
