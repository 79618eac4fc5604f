#include "core/RunFolderName.h"

QString RunFolderName(int n) {
    return QStringLiteral("SR") + QString::number(n).rightJustified(4, u'0');
}

int RunFolderNumberOf(QStringView name) {
    if (name.size() != 6 || !name.startsWith(u"SR")) return -1;
    int n = 0;
    for (const QChar c : name.mid(2)) {
        if (c < u'0' || c > u'9') return -1;  // ASCII digits only, not every script's
        n = n * 10 + (c.unicode() - u'0');
    }
    return n;
}
