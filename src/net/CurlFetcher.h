#pragma once
// The crawl's transfers, done by libcurl: a pool of transfers driven by threads of its own (one
// connection is a pool of one). Keep one fetcher for a whole crawl so that connections are
// kept alive and reused. It knows nothing of the crawl: what to fetch, and where each body goes,
// is the caller's.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

#include "crawl/Transfers.h"

class CurlFetcher final : public Transfers {
public:
    struct Options {
        long connectTimeoutMs = 20000;
        // A transfer moving fewer than lowSpeedBytes per second for lowSpeedSeconds is abandoned.
        long lowSpeedBytes = 1024;
        long lowSpeedSeconds = 60;
        // A transfer not done after this long fails as timed out, however fast its bytes come
        // (1.1 KB/s passes the rule above for days), and is not tried again.
        long totalTimeoutMs = 30L * 60 * 1000;
        // Largest body kept, counted after content decoding (so a compressed bomb stops too).
        std::int64_t maxBodyBytes = std::int64_t{512} * 1024 * 1024;
        long maxRedirects = 10;
        // Off, a redirect is not followed: its target comes back in the result's redirect.
        bool followRedirects = true;
        // Which file: URLs are fetched (none by default).
        FileUrlPolicy files;
        // Ignore proxies named in the environment (the tests talk to 127.0.0.1 directly).
        bool noProxy = false;
        // Longest wait for network activity before the progress callback runs again.
        int serviceIntervalMs = 10;
        // Transfers in flight at once, and connections to one host.
        int connections = 1;
        // Least time between the starts of two requests to one host; 0 is no wait.
        int delayMs = 0;
        // Sent as the User-Agent; empty: the program's name and version.
        QByteArray userAgent;
        // A Netscape cookies file read by libcurl's cookie engine; empty: no cookies.
        QByteArray cookieFile;
        // The certificate authorities trusted, a PEM file; empty: the system's (libcurl's
        // default). Lets a test trust a certificate of its own and nothing else.
        QByteArray caFile;
        // Tries again of a request the network or the server let down (a time-out, 408, 429,
        // 5xx), after the wait the server asked for or 1 s, 2 s, 4 s ...; 0: one try.
        int retries = 0;
        // Bytes per second of body for all transfers together; 0: no limit.
        std::int64_t limitRate = 0;
        // The proxy every request goes through (no_proxy does not apply), as libcurl takes it:
        // http://, https://, socks5:// ...; empty: the environment's http_proxy, https_proxy
        // and no_proxy.
        QByteArray proxy;
    };

    CurlFetcher();
    explicit CurlFetcher(const Options& options);
    ~CurlFetcher() override;
    CurlFetcher(const CurlFetcher&) = delete;
    CurlFetcher& operator=(const CurlFetcher&) = delete;

    // The URL is sent percent-encoded where it holds blanks, control or non-ASCII characters.
    // Only a 2xx answer is a success; nothing of any other answer's body reaches write. A wait's
    // turn runs at least every serviceIntervalMs, so the caller can keep its window serviced.
    int start(const QString& url, std::int64_t maxBytes, Write write) override;
    State state(int id) const override;
    Wait wait(int id, const Turn& turn) override;
    void resume(int id) override;
    void hurry(int id) override;
    FetchResult release(int id) override;
    int connections() const override;
    Waits waits() const override;
    void setFilePolicy(const FileUrlPolicy& policy) override;
    void setRedirectsFollowed(bool follow) override;

private:
    // Waits until a transfer ended or waits for room since the last call, or waitMs passed.
    bool waitChange(int waitMs);
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};

// The URL as it goes on the wire: every byte of its UTF-8 form that is not printable ASCII
// (blanks, controls, bytes of non-ASCII characters) is percent-encoded; the rest is unchanged.
QByteArray EncodeUrlForTransfer(const QString& url);

struct CrawlOptions;
// The fetcher options of a crawl run with these crawl settings.
CurlFetcher::Options CrawlFetcherOptions(const CrawlOptions& crawl);
