#pragma once
// The runs of a download folder for the contact sheet's choice: every SRnnnn folder, newest
// first, with what the crawl archive knows of it (start URL, when it started, pictures kept).

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

struct RunSummary {
    QString folder;             // "SR0003"
    QString path;               // the folder's absolute path
    QString startUrl;           // empty when the archive does not know the run
    QDateTime started;          // the archive's start, else the folder's own time
    std::int64_t kept = -1;     // pictures kept, by the archive; -1 when unknown
    std::int64_t fetched = -1;  // fetches recorded, pages included
};

// Newest first: by the run's start when the archive has it, else by the folder's time; a
// folder number freed and taken again is as new as its latest run.
std::vector<RunSummary> ListRuns(const QString& downloadFolder);

// One line of the run choice: "SR0003  2026-12-08 16:02  1,234 枚  http://example.org/".
QString RunLabel(const RunSummary& run);
