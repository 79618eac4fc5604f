#include "archive/RowPaths.h"

#include "core/RunFolderName.h"
#include "core/SequenceName.h"

QString RunFilePath(const QString& runFolder, const QString& fileName) {
    // the sequence number, then "." and what the URL gave, never a folder
    if (RunFolderNumberOf(runFolder) < 0 || !SequenceNumberOf(fileName) || fileName.contains(u'/'))
        return {};
    return runFolder + u'/' + fileName;
}
