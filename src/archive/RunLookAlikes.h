#pragma once
// The pictures of a run folder that look alike, for a window that shows them together.

#include <QString>
#include <atomic>
#include <vector>

// The look-alike groups of the pictures in runFolder (an SRnnnn folder): the paths of each
// group's pictures, its largest first (in pixels; the same size: the lower number), then the
// others in number order; the groups in the order of their first picture. Pictures like no
// other are in no group; files that are not pictures in none either.
// The looks come from the download folder's crawl archive where it knows them, and are worked
// out from the files on threads of their own where it does not: that takes a while for a large
// folder, so call it off the window's thread. Those worked out are stored in the archive, so
// the next grouping and a SkipSimilar crawl find them there; a missing, locked or read-only
// archive just does not get them. stop, when given and set, ends it early with no groups (what
// was worked out by then is stored all the same).
std::vector<std::vector<QString>> GroupRunLookAlikes(const QString& runFolder,
                                                     const std::atomic<bool>* stop = nullptr);
