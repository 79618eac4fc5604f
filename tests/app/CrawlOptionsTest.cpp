#include <gtest/gtest.h>

#include "core/CrawlOptions.h"
#include "core/ProfileFile.h"

TEST(CrawlOptions, DefaultsLeaveASettingsFileWithoutTheSectionUntouched) {
    ProfileFile profile;
    profile.parse("[Path]\r\nURL=http://127.0.0.1/\r\n");
    const QByteArray before = profile.bytes();
    WriteCrawlOptions(profile, CrawlOptions{});
    EXPECT_EQ(profile.bytes(), before);
    EXPECT_EQ(ReadCrawlOptions(profile), CrawlOptions{});
}

TEST(CrawlOptions, ChangedValuesRoundTripAndOutOfRangeNumbersAreClamped) {
    CrawlOptions changed;
    changed.connections = 3;
    changed.noRevisit = true;
    changed.scope = CrawlScope::Folder;
    changed.skipKnown = true;
    changed.delayMs = 250;
    changed.robots = true;
    changed.archive = false;
    changed.retries = 2;
    changed.userAgent = "Gallery/2 (+mail)";
    changed.cookieFile = "/home/a b/cookies.txt";
    changed.skipSimilar = true;
    ProfileFile profile;
    WriteCrawlOptions(profile, changed);
    EXPECT_EQ(ReadCrawlOptions(profile), changed);
    EXPECT_EQ(EffectiveUserAgent(CrawlOptions{}), "SiteRambler/1.0");

    profile.setValue("Crawl", "Connections", "99");
    profile.setValue("Crawl", "DelayMs", "-5");
    profile.setValue("Crawl", "Scope", "everywhere");
    profile.setValue("Crawl", "Retries", "50");
    const CrawlOptions read = ReadCrawlOptions(profile);
    EXPECT_EQ(read.connections, CrawlOptions::kMaxConnections);
    EXPECT_EQ(read.delayMs, 0);
    EXPECT_EQ(read.scope, CrawlScope::All);
    EXPECT_EQ(read.retries, CrawlOptions::kMaxRetries);
}

TEST(CrawlOptions, ReadingPagesAsHtmlIsKept) {
    CrawlOptions changed;
    changed.parseHtml = true;
    ProfileFile profile;
    WriteCrawlOptions(profile, changed);
    EXPECT_EQ(profile.value(QStringLiteral("Crawl"), QStringLiteral("ParseHtml")), "1");
    EXPECT_TRUE(ReadCrawlOptions(profile).parseHtml);
}
