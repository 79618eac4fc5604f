// Compressed answers of a few KB that inflate to tens of megabytes each, queued behind one
// another and fetched ahead on six connections: the bodies held ahead stay within their byte
// budget on the disk, and each one the run gets to still arrives whole.
#include <fcntl.h>
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

using HostileBudget = HostileCrawl;

constexpr std::int64_t kMiB = 1 << 20;

// What the files open in this process under folder hold: the bodies not yet named.
std::int64_t OpenBytesUnder(const QString& folder) {
    const QByteArray prefix = QFile::encodeName(folder) + '/';
    std::int64_t bytes = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System)) {
        char target[4096];
        const QByteArray link = QFile::encodeName(fds.filePath(fd));
        const ssize_t size = ::readlink(link.constData(), target, sizeof target - 1);
        struct stat info {};
        if (size > 0 && QByteArray(target, int(size)).startsWith(prefix) &&
            ::stat(link.constData(), &info) == 0)
            bytes += info.st_size;
    }
    return bytes;
}

TEST_F(HostileBudget, BodiesHeldAheadStayWithinTheirBudgetOnTheDisk) {
    gRunFolder = downloads.path();
    UrlQueue links;
    UrlQueue images;
    for (int n = 1; n <= 8; ++n) {
        const std::string path = "/bomb" + std::to_string(n) + ".jpg";
        server.on(path, HostileAnswer::Bomb(24 * kMiB));
        images.append(server.url(path));
    }
    FetchAhead::Rules rules;
    rules.heldMostBytes = 6 * kMiB;
    CurlFetcher::Options options = TestOptions(6);
    options.lowSpeedSeconds = 1;  // a body held back is paused, never too slow
    CurlFetcher pool(options);
    FetchAhead ahead(pool, links, images, rules);
    std::int64_t most = 0;
    for (int n = 1; n <= 8; ++n) {
        FetchedBody fetched = ahead.fetch(images.entry(0), false, false, {});
        ASSERT_EQ(fetched.result.outcome, FetchOutcome::Ok)
            << n << fetched.result.error.toStdString();
        EXPECT_EQ(fetched.body->size(), 24 * kMiB) << n;  // the run's own body is never held
        const QString named = gRunFolder + "/taken";      // its file closed, not counted below
        ASSERT_EQ(fetched.body->finish() + fetched.body->publish(named), 0);
        QFile::remove(named);
        images.removeAt(0);
        // meanwhile the others go on inflating in the background, as far as they may
        for (int look = 0; look < (n == 1 ? 150 : 20); ++look) {
            most = std::max(most, OpenBytesUnder(gRunFolder));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (n == 1) EXPECT_GT(most, 0);  // they were fetched ahead indeed
    }
    EXPECT_LE(most, 6 * kMiB);
    EXPECT_EQ(ahead.heldBytes(), 0);
    for (int n = 1; n <= 8; ++n) EXPECT_EQ(server.count("/bomb" + std::to_string(n) + ".jpg"), 1);
}

}  // namespace
