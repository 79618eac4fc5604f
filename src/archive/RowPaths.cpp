#include "archive/RowPaths.h"

#include <QRegularExpression>

#include "core/RunFolderName.h"

QString RunFilePath(const QString& runFolder, const QString& fileName) {
    // the sequence number, then "." and what the URL gave, never a folder
    static const QRegularExpression kNumbered(QStringLiteral("^[0-9]{6,}\\.[^/]*$"));
    if (RunFolderNumberOf(runFolder) < 0 || !kNumbered.match(fileName).hasMatch()) return {};
    return runFolder + u'/' + fileName;
}
