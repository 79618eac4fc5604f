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
    changed.minWidth = 200;
    changed.minHeight = 150;
    changed.limitRate = 1536;
    changed.proxy = "socks5h://127.0.0.1:1080";
    ProfileFile profile;
    WriteCrawlOptions(profile, changed);
    EXPECT_EQ(ReadCrawlOptions(profile), changed);
    EXPECT_EQ(profile.value("Crawl", "LimitRate"), "1536");
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

// Wget's rates: k and m are 1024 and 1024 * 1024, fractions allowed; nothing else is a rate.
TEST(CrawlOptions, RatesReadAsWgetReadsThem) {
    qint64 rate = 0;
    EXPECT_TRUE(ParseRate(" 2.5K", &rate) && rate == 2560 && ParseRate("0.5m", &rate) &&
                rate == 524288);
    for (const char* bad : {"", "k", "0", "-5k", "2g", "1e13", "nan", "2kk"})
        EXPECT_FALSE(ParseRate(bad, &rate)) << bad;
}
