#include "core/StringTokens.h"

#include <climits>

int CountTokens(QStringView text, QChar separator) {
    const qsizetype n = text.count(separator);
    return n == 0 ? 0 : static_cast<int>(qMin<qsizetype>(n + 1, INT_MAX));
}

QString GetToken(QStringView text, int k, QChar separator) {
    if (k < 1) return QString();
    qsizetype cut = text.indexOf(separator);
    if (cut < 0) return QString();
    // Walks the cuts only as far as piece k.
    qsizetype start = 0;
    for (int number = 1; number < k; ++number) {
        if (cut < 0) return QString();  // k is past the last piece
        start = cut + 1;
        cut = text.indexOf(separator, start);
    }
    return (cut < 0 ? text.sliced(start) : text.sliced(start, cut - start)).toString();
}

std::vector<QStringView> SplitTokens(QStringView text, QChar separator) {
    std::vector<QStringView> pieces;
    ForEachToken(text, separator, [&](QStringView p) { pieces.push_back(p); });
    return pieces;
}
