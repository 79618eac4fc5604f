#include "crawl/ScanPatterns.h"

#include "core/StringTokens.h"

namespace {

// Values introduced by "=" (attributes) come first, then those introduced by "!".
const char* const kTexts[kScanPatternCount] = {
    "=/.jpg/lstImage",   // 0
    "=/.jpeg/lstImage",  // 1
    "=/.gif/lstImage",   // 2
    "=/.png/lstImage",   // 3
    "=/.htm/lstLink",    // 4
    "=/.html/lstLink",   // 5
    "=/.shtml/lstLink",  // 6
    "=/.dhtml/lstLink",  // 7
    "=/\"/lstLink",      // 8
    "=/'/lstLink",       // 9
    "=/.JPG/lstImage",   // 10
    "=/.JPEG/lstImage",  // 11
    "=/.GIF/lstImage",   // 12
    "=/.PNG/lstImage",   // 13
    "=/.HTM/lstLink",    // 14
    "=/.HTML/lstLink",   // 15
    "=/.SHTML/lstLink",  // 16
    "=/.DHTML/lstLink",  // 17
    "=/\"/lstLink",      // 18
    "=/'/lstLink",       // 19
    "=/>/lstLink",       // 20
    "=/>/lstLink",       // 21
    "=/>/lstLink",       // 22
    "=/>/lstLink",       // 23
    "=/\"/lstLink",      // 24
    "=/'/lstLink",       // 25
    "!/.jpg/lstImage",   // 26
    "!/.jpeg/lstImage",  // 27
    "!/.gif/lstImage",   // 28
    "!/.png/lstImage",   // 29
    "!/.htm/lstLink",    // 30
    "!/.html/lstLink",   // 31
    "!/.shtml/lstLink",  // 32
    "!/.dhtml/lstLink",  // 33
    "!/\"/lstLink",      // 34
    "!/'/lstLink",       // 35
    "!/.JPG/lstImage",   // 36
    "!/.JPEG/lstImage",  // 37
    "!/.GIF/lstImage",   // 38
    "!/.PNG/lstImage",   // 39
    "!/.HTM/lstLink",    // 40
    "!/.HTML/lstLink",   // 41
    "!/.SHTML/lstLink",  // 42
    "!/.DHTML/lstLink",  // 43
};

}  // namespace

const QStringList& ScanPatternTexts() {
    static const QStringList texts = [] {
        QStringList t;
        for (const char* text : kTexts) t << QString::fromLatin1(text);
        return t;
    }();
    return texts;
}

ScanPattern ParseScanPattern(const QString& text) {
    return {GetToken(text, 1, u'/'), GetToken(text, 2, u'/'), GetToken(text, 3, u'/')};
}

std::vector<ScanPattern> BuildScanPatterns() {
    std::vector<ScanPattern> table;
    table.reserve(kScanPatternCount);
    for (const QString& text : ScanPatternTexts()) table.push_back(ParseScanPattern(text));
    return table;
}
