// The pool's rate limit holds for all its connections together, and requests go through the
// proxy named or, without one, the environment's.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "FetchHelpers.h"
#include "LoopbackSite.h"
#include "QtPrinters.h"
#include "net/CurlFetcher.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Six pictures over six connections at 96 kB/s in all: 288 kB take about three seconds,
// where a limit of each connection's own would let them through in half a second. Each
// connection gets its share: none is through long before the others.
TEST(CurlLimits, TheRateLimitIsSharedBySixConnections) {
    LoopbackSite site;
    const std::string body(48 * 1024, 'r');
    for (int i = 0; i < 6; ++i) site.page("/" + std::to_string(i) + ".jpg", body, "image/jpeg");
    CurlFetcher::Options options = TestOptions(6);
    options.limitRate = 96 * 1024;
    CurlFetcher pool(options);

    const Clock::time_point start = Clock::now();
    std::map<int, std::string> bodies;
    std::map<int, double> endedAt;
    for (int i = 0; i < 6; ++i) {
        const int id = pool.start(site.url("/" + std::to_string(i) + ".jpg"), 1 << 20,
                                  [&bodies, i](const char* data, std::size_t size) {
                                      bodies[i].append(data, size);
                                      return 0;
                                  });
        endedAt[id] = -1;
    }
    while (std::any_of(endedAt.begin(), endedAt.end(), [](auto& e) { return e.second < 0; })) {
        pool.wait(endedAt.begin()->first, [] { return true; });
        for (auto& [id, at] : endedAt)
            if (at < 0 && pool.state(id) == Transfers::State::Ended) at = SecondsSince(start);
    }
    const double total = SecondsSince(start);
    for (auto& [id, at] : endedAt) {
        const FetchResult result = pool.release(id);
        EXPECT_EQ(result.outcome, FetchOutcome::Ok) << result.error.toStdString();
        EXPECT_GE(at, 1.0) << "transfer " << id << " took more than its share";
    }
    for (const auto& [i, got] : bodies) EXPECT_TRUE(got == body) << i;
    EXPECT_GE(total, 2.0);
    std::set<int> ports;
    for (const SiteRequest& r : site.requests()) ports.insert(r.remotePort);
    EXPECT_EQ(ports.size(), 6u);
}

// The loopback site answers requests for another host as a proxy does: a request for a host
// that does not exist arrives only through it.
class CurlProxy : public ::testing::Test {
protected:
    void SetUp() override {
        site.page(kRemote, "through the proxy", "text/html");
        unsetenv("http_proxy");
        unsetenv("no_proxy");
    }
    void TearDown() override {
        unsetenv("http_proxy");
        unsetenv("no_proxy");
    }
    static constexpr const char* kRemote = "http://gallery.siterambler.invalid/a.html";
    LoopbackSite site;
};

TEST_F(CurlProxy, ANamedProxyCarriesEveryRequest) {
    setenv("no_proxy", "siterambler.invalid", 1);  // the named proxy is not passed by
    CurlFetcher::Options options = TestOptions();
    options.proxy = QByteArray::fromStdString(site.base());
    CurlFetcher pool(options);
    const Fetched f = Get(pool, kRemote);
    EXPECT_EQ(f.result.outcome, FetchOutcome::Ok) << f.result.error.toStdString();
    EXPECT_EQ(f.body, "through the proxy");
    ASSERT_EQ(site.requests().size(), 1u);
    EXPECT_EQ(site.requests()[0].target, kRemote);
    EXPECT_EQ(site.requests()[0].host, "gallery.siterambler.invalid");
}

TEST_F(CurlProxy, WithoutOneTheEnvironmentDecides) {
    CurlFetcher::Options options = TestOptions();
    options.noProxy = false;
    setenv("http_proxy", site.base().c_str(), 1);
    {
        CurlFetcher pool(options);
        EXPECT_EQ(Get(pool, kRemote).body, "through the proxy");
    }
    setenv("no_proxy", "siterambler.invalid", 1);
    {
        CurlFetcher pool(options);
        EXPECT_EQ(Get(pool, kRemote).result.outcome, FetchOutcome::Failed);
    }
    EXPECT_EQ(site.requests().size(), 1u);
}

}  // namespace
