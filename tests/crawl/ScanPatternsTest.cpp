#include <gtest/gtest.h>

#include "QtPrinters.h"
#include "crawl/ScanPatterns.h"

namespace {

const QStringList kExtensions = {".jpg", ".jpeg", ".gif",   ".png",
                                 ".htm", ".html", ".shtml", ".dhtml"};

QString TargetFor(const QString& extension) {
    return kExtensions.indexOf(extension.toLower()) < 4 ? "lstImage" : "lstLink";
}

// Checks an entry of the table by its index.
void ExpectPattern(const std::vector<ScanPattern>& table, int index, const QString& start,
                   const QString& end, const QString& target) {
    ASSERT_LT(index, int(table.size()));
    EXPECT_EQ(table[index].startMarker, start) << "pattern " << index;
    EXPECT_EQ(table[index].endMarker, end) << "pattern " << index;
    EXPECT_EQ(table[index].target, target) << "pattern " << index;
}

}  // namespace

TEST(ScanPatterns, TakesAnEntryApartAtTheSlashes) {
    const ScanPattern p = ParseScanPattern("!/.PNG/lstImage");
    EXPECT_EQ(p.startMarker, "!");
    EXPECT_EQ(p.endMarker, ".PNG");
    EXPECT_EQ(p.target, "lstImage");
}

TEST(ScanPatterns, TableHoldsTheFortyFourEntriesInOrder) {
    const std::vector<ScanPattern> table = BuildScanPatterns();
    ASSERT_EQ(int(table.size()), kScanPatternCount);
    ASSERT_EQ(ScanPatternTexts().size(), kScanPatternCount);
    const QString quote = "\"";
    const QString apostrophe = "'";
    // Blocks of eight extensions, each followed by the two quotes, at these indexes.
    const struct {
        int first;
        QString start;
        bool upper;
        bool quotes;
    } blocks[] = {{0, "=", false, true},
                  {10, "=", true, true},
                  {26, "!", false, true},
                  {36, "!", true, false}};
    for (const auto& block : blocks) {
        for (int i = 0; i < 8; ++i) {
            const QString ext = block.upper ? kExtensions[i].toUpper() : kExtensions[i];
            ExpectPattern(table, block.first + i, block.start, ext, TargetFor(ext));
        }
        if (block.quotes) {
            ExpectPattern(table, block.first + 8, block.start, quote, "lstLink");
            ExpectPattern(table, block.first + 9, block.start, apostrophe, "lstLink");
        }
    }
    for (int i = 20; i <= 23; ++i) ExpectPattern(table, i, "=", ">", "lstLink");
    ExpectPattern(table, 24, "=", quote, "lstLink");
    ExpectPattern(table, 25, "=", apostrophe, "lstLink");
}
