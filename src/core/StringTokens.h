#pragma once
// Cutting a text at a one-character separator into pieces numbered from 1. A text that does
// not contain the separator at all has no pieces: callers rely on that.
//
// There is no length limit: a page line of megabytes is cut like a short one, and every
// routine here makes one linear pass over the text.

#include <QString>
#include <QStringView>
#include <vector>

// Number of pieces: 0 when the separator does not occur, otherwise separators + 1.
int CountTokens(QStringView text, QChar separator);

// Piece k (1-based); empty when the separator does not occur, k < 1 or k > CountTokens.
QString GetToken(QStringView text, int k, QChar separator);

// Calls visit(piece) for every piece in order, without copying: the same pieces as
// GetToken(text, 1 .. CountTokens(text)). Does nothing when the separator does not occur.
template <typename Visit>
void ForEachToken(QStringView text, QChar separator, Visit&& visit) {
    qsizetype cut = text.indexOf(separator);
    if (cut < 0) return;
    qsizetype start = 0;
    while (cut >= 0) {
        visit(text.sliced(start, cut - start));
        start = cut + 1;
        cut = text.indexOf(separator, start);
    }
    visit(text.sliced(start));
}

// All pieces in order in one pass (empty when the separator does not occur), for callers
// that want them at hand.
std::vector<QStringView> SplitTokens(QStringView text, QChar separator);
