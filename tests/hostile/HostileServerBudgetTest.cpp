// Bodies of 24 MiB from a few KB each, fetched ahead: within their budget, each one whole.
#include <unistd.h>

#include <QDir>
#include <thread>

#include "FetchHelpers.h"
#include "HostileServerCrawl.h"
#include "crawl/BodyFile.h"
#include "crawl/FetchAhead.h"

namespace {

// What the files this process has open under folder hold: the bodies not yet named.
std::int64_t OpenBytesUnder(const QString& folder) {
    std::int64_t bytes = 0;
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::Files | QDir::System)) {
        char to[4096];
        const ssize_t size = ::readlink(QFile::encodeName(fd.filePath()).constData(), to, 4096);
        if (size > 0 && QFile::decodeName(QByteArray(to, int(size))).startsWith(folder + '/'))
            bytes += QFileInfo(fd.filePath()).size();
    }
    return bytes;
}

TEST_F(HostileCrawl, BodiesHeldAheadStayWithinTheirBudgetOnTheDisk) {
    gRunFolder = downloads.path();
    UrlQueue links, images;
    for (int n = 1; n <= 8; ++n) {
        server.on("/" + std::to_string(n) + ".jpg", HostileAnswer::Bomb(24 << 20));
        images.append(server.url("/" + std::to_string(n) + ".jpg"));
    }
    CurlFetcher pool(TestOptions(6));  // one second too slow fails: a body held back is paused
    FetchAhead ahead(pool, links, images, {.heldMostBytes = 6 << 20});
    std::int64_t most = 0;
    for (int n = 1; n <= 8; ++n) {
        FetchedBody fetched = ahead.fetch(images.entry(0), false, false, {});
        images.removeAt(0);
        ASSERT_EQ(fetched.body ? fetched.body->size() : -1, 24 << 20) << n;  // never held back
        ASSERT_EQ(fetched.body->finish() + fetched.body->publish(gRunFolder + "/taken"), 0);
        QFile::remove(gRunFolder + "/taken");
        for (int look = 0; look < (n == 1 ? 150 : 20); ++look) {  // the others go on meanwhile
            most = std::max(most, OpenBytesUnder(gRunFolder));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    EXPECT_TRUE(most > 0 && most <= 6 << 20) << most;  // fetched ahead, within the budget
}

}  // namespace
