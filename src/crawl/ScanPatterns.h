#pragma once
// The table of scan patterns that a page line is checked against. Each entry names a start
// marker, an end marker and the queue a match goes to, as one text "start/end/target"
// ("=/.jpg/lstImage"); no marker holds a "/".

#include <QString>
#include <QStringList>
#include <vector>

inline constexpr int kScanPatternCount = 44;

// The 44 entries in the order they are applied. Some entries are repeated on purpose: each
// one is applied (and followed by a yield) like any other.
const QStringList& ScanPatternTexts();

struct ScanPattern {
    QString startMarker;
    QString endMarker;
    QString target;  // "lstLink" for pages; any other name means lstImage
};

// Takes one entry apart at "/".
ScanPattern ParseScanPattern(const QString& text);

// The whole table, taken apart, in order.
std::vector<ScanPattern> BuildScanPatterns();
