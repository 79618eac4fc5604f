// The rate limit holds for all the pool's connections together; a named proxy carries every
// request.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "FetchHelpers.h"
#include "LoopbackSite.h"
#include "net/CurlFetcher.h"

// Six pictures of 48 kB over six connections at 96 kB/s in all take about three seconds, where a
// limit of each connection's own would let them through in half a second.
TEST(CurlLimits, TheRateLimitIsSharedBySixConnections) {
    LoopbackSite site;
    for (int i = 0; i < 6; ++i)
        site.page("/" + std::to_string(i) + ".jpg", std::string(48 << 10, 'r'));
    CurlFetcher::Options options = TestOptions(6);
    options.limitRate = 96 << 10;
    CurlFetcher pool(options);
    const auto start = std::chrono::steady_clock::now();
    const auto seconds = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::map<int, double> endedAt;
    for (int i = 0; i < 6; ++i)
        endedAt[pool.start(site.url("/" + std::to_string(i) + ".jpg"), 1 << 20,
                           [](const char*, std::size_t) { return 0; })] = -1;
    for (auto& [id, at] : endedAt) {
        while (pool.wait(id, {}) != Transfers::Wait::Ready) {
        }
        at = seconds();
        EXPECT_EQ(pool.release(id).outcome, FetchOutcome::Ok);
    }
    EXPECT_GE(seconds(), 2.0);
    std::set<int> ports;  // six connections
    for (const SiteRequest& r : site.requests()) ports.insert(r.remotePort);
    EXPECT_EQ(ports.size(), 6u);
}

// The loopback site answers a request for another host as a proxy would: a host that does not
// exist is reached only through it.
TEST(CurlLimits, ANamedProxyCarriesEveryRequest) {
    LoopbackSite site;
    const char* remote = "http://gallery.siterambler.invalid/a.html";
    site.page(remote, "through the proxy");
    setenv("no_proxy", "siterambler.invalid", 1);  // a named proxy is not passed by
    CurlFetcher::Options options = TestOptions();
    options.proxy = QByteArray::fromStdString(site.base());
    CurlFetcher named(options);
    EXPECT_EQ(Get(named, remote).body, "through the proxy");
    ASSERT_EQ(site.requests().size(), 1u);
    EXPECT_EQ(site.requests()[0].target, remote);
    unsetenv("no_proxy");
}

// Unpaced, the pool's connections are shared by two transfer threads: five connections stay five
// to the host, split three and two, and each id answers for its own transfer.
TEST(CurlLimits, ConnectionsSharedByTheThreadsStayConnectionsToTheHost) {
    constexpr int kPictures = 10;  // the test server closes a connection after five answers
    LoopbackSite site;
    for (int i = 0; i < kPictures; ++i)
        site.route("/" + std::to_string(i) + ".jpg",
                   {.body = "p", .contentType = "image/x-" + std::to_string(i), .delayMs = 40});
    CurlFetcher pool(TestOptions(5));
    std::map<int, int> asked;
    for (int i = 0; i < kPictures; ++i)
        EXPECT_TRUE(asked
                        .emplace(pool.start(site.url("/" + std::to_string(i) + ".jpg"), 1 << 20,
                                            [](const char*, std::size_t) { return 0; }),
                                 i)
                        .second);
    for (const auto& [id, i] : asked) {
        while (pool.wait(id, {}) != Transfers::Wait::Ready) {
        }
        EXPECT_EQ(pool.release(id).contentType.toStdString(), "image/x-" + std::to_string(i));
    }
    std::set<int> ports;
    for (const SiteRequest& r : site.requests()) ports.insert(r.remotePort);
    EXPECT_LE(ports.size(), 5u);
    EXPECT_EQ(site.requests().size(), std::size_t(kPictures));
}
