// The crawl settings file reader: a file from the input. The links read are compared with a
// look-up of every key from URL0 to URL<Count> (when Count is small enough to try them all),
// and what was read, saved again in either layout, must read back the same.

#include "FuzzCheck.h"
#include "core/NumberText.h"
#include "core/CrawlSettingsFile.h"

namespace {

constexpr std::int32_t kMostKeysTried = 3000;

void CheckSame(const CrawlSettingsRead& a, const CrawlSettingsRead& b) {
    FUZZ_CHECK(a.startUrl == b.startUrl);
    FUZZ_CHECK(a.downloadPath == b.downloadPath);
    FUZZ_CHECK(a.links == b.links);
    FUZZ_CHECK(!b.countOutOfRange);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    ProfileFile file;
    file.parse(QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(size)));
    const CrawlSettingsRead read = ReadCrawlSettings(file);

    FUZZ_CHECK(read.startUrl == file.value(QStringLiteral("BaseSetting"), QStringLiteral("URL")));
    FUZZ_CHECK(read.downloadPath ==
               file.value(QStringLiteral("BaseSetting"), QStringLiteral("DownloadPath")));
    for (const QString& link : read.links) FUZZ_CHECK(!link.isEmpty());

    const QString countText = file.value(QStringLiteral("Link"), QStringLiteral("Count"));
    const std::optional<std::int32_t> count = ToLongHalfEven(countText);
    if (!count || *count < 0) FUZZ_CHECK(read.links.isEmpty());
    if (count) FUZZ_CHECK(!read.countOutOfRange);
    if (count && *count >= 0 && *count <= kMostKeysTried) {
        QStringList links;
        for (std::int32_t n = 0; n <= *count; ++n) {
            const QString link =
                file.value(QStringLiteral("Link"), QStringLiteral("URL") + QString::number(n));
            if (!link.isEmpty()) links.append(link);
        }
        FUZZ_CHECK(read.links == links);
    }

    // Saved again as a new crawl, then as a crawl to resume: nothing is lost or changed.
    const ProfileFile fresh = BuildCrawlSettingsFile(read.downloadPath, read.startUrl, read.links,
                                                     CrawlFileLayout::NewCrawl);
    ProfileFile freshRead;
    freshRead.parse(fresh.bytes());
    CheckSame(read, ReadCrawlSettings(freshRead));

    const ProfileFile resume = BuildCrawlSettingsFile(read.downloadPath, read.startUrl, read.links,
                                                      CrawlFileLayout::Resume);
    ProfileFile resumeRead;
    resumeRead.parse(resume.bytes());
    CrawlSettingsRead expected = read;
    if (!expected.links.isEmpty()) expected.startUrl = expected.links.takeFirst();
    CheckSame(expected, ReadCrawlSettings(resumeRead));
    return 0;
}
