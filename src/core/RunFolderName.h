#pragma once
// The names of the run folders under a download folder, SR0000 to SR9999: made and recognised
// here alone, so that the crawl, the archive and the contact sheet agree on them.

#include <QString>
#include <QStringView>

inline constexpr int kRunFolderNames = 10000;

// "SR0003" for 3; n from 0 to kRunFolderNames - 1.
QString RunFolderName(int n);

// The number of a run folder's name, or -1 when name is none ("SR" and four ASCII digits).
int RunFolderNumberOf(QStringView name);
