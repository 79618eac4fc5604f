// Compressed answers of a few KB that inflate to 24 MiB each, fetched ahead on six connections:
// the bodies held ahead stay within their budget on the disk, and each one the run takes
// arrives whole.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <thread>

#include "FetchHelpers.h"
#include "HostileServerCrawl.h"
#include "core/UrlQueue.h"
#include "crawl/BodyFile.h"
#include "crawl/FetchAhead.h"

namespace {

constexpr std::int64_t kMiB = 1 << 20;

// What the files this process has open under folder hold: the bodies not yet named.
std::int64_t OpenBytesUnder(const QString& folder) {
    std::int64_t bytes = 0;
    const QDir fds("/proc/self/fd");
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System)) {
        const QByteArray link = QFile::encodeName(fds.filePath(fd));
        char target[4096];
        const ssize_t size = ::readlink(link.constData(), target, sizeof target);
        struct stat info {};
        if (size > 0 && QFile::decodeName(QByteArray(target, int(size))).startsWith(folder + '/') &&
            ::stat(link.constData(), &info) == 0)
            bytes += info.st_size;
    }
    return bytes;
}

TEST_F(HostileCrawl, BodiesHeldAheadStayWithinTheirBudgetOnTheDisk) {
    gRunFolder = downloads.path();
    UrlQueue links, images;
    for (int n = 1; n <= 8; ++n) {
        server.on("/" + std::to_string(n) + ".jpg", HostileAnswer::Bomb(24 * kMiB));
        images.append(server.url("/" + std::to_string(n) + ".jpg"));
    }
    FetchAhead::Rules rules;
    rules.heldMostBytes = 6 * kMiB;
    CurlFetcher pool(TestOptions(6));  // one second too slow fails: a body held back is paused
    FetchAhead ahead(pool, links, images, rules);
    std::int64_t most = 0;
    for (int n = 1; n <= 8; ++n) {
        FetchedBody fetched = ahead.fetch(images.entry(0), false, false, {});
        images.removeAt(0);
        ASSERT_EQ(fetched.body ? fetched.body->size() : -1, 24 * kMiB) << n;  // never held back
        ASSERT_EQ(fetched.body->finish() + fetched.body->publish(gRunFolder + "/taken"), 0);
        QFile::remove(gRunFolder + "/taken");
        for (int look = 0; look < (n == 1 ? 150 : 20); ++look) {  // the others go on meanwhile
            most = std::max(most, OpenBytesUnder(gRunFolder));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    EXPECT_GT(most, 0);  // fetched ahead indeed
    EXPECT_LE(most, 6 * kMiB);
    RecordProperty("held_most_bytes", int(most));
    for (int n = 1; n <= 8; ++n) EXPECT_EQ(server.count("/" + std::to_string(n) + ".jpg"), 1);
}

}  // namespace
