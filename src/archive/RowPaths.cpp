#include "archive/RowPaths.h"

#include <QRegularExpression>

QString RunFilePath(const QString& runFolder, const QString& fileName) {
    static const QRegularExpression kRunFolder(QStringLiteral("^SR[0-9]{4}$"));
    // the sequence number, then "." and what the URL gave, never a folder
    static const QRegularExpression kNumbered(QStringLiteral("^[0-9]{6,}\\.[^/]*$"));
    if (!kRunFolder.match(runFolder).hasMatch() || !kNumbered.match(fileName).hasMatch()) return {};
    return runFolder + u'/' + fileName;
}
