#pragma once
// The transfer of one URL into the bytes of its body, done by libcurl. Keep one fetcher for a
// whole crawl so that connections are kept alive and reused.
//
// With more than one connection and a lookahead set, the fetcher keeps transfers of the URLs
// the run will ask for next in flight, each streaming into memory, or past a megabyte into an
// unnamed file in the run folder.
// A fetch of a URL fetched ahead waits for that transfer (or takes it at once) and hands over
// its body and result as the transfer would have delivered them; any other fetch transfers the
// URL then. A body fetched ahead serves one fetch only.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

#include "crawl/Fetcher.h"

class CurlFetcher final : public Fetcher {
public:
    struct Options {
        long connectTimeoutMs = 20000;
        // A transfer moving fewer than lowSpeedBytes per second for lowSpeedSeconds is abandoned.
        long lowSpeedBytes = 1;
        long lowSpeedSeconds = 30;
        // Largest body kept, counted after content decoding (so a compressed bomb stops too).
        std::int64_t maxBodyBytes = std::int64_t{512} * 1024 * 1024;
        long maxRedirects = 10;
        // file: URLs are fetched only when the crawl itself started from one; redirects never
        // lead to file: whatever this says.
        bool allowFile = false;
        // Ignore proxies named in the environment (the tests talk to 127.0.0.1 directly).
        bool noProxy = false;
        // Longest wait for network activity before the progress callback runs again.
        int serviceIntervalMs = 10;
        // Transfers in flight at once, and connections to one host; 1 fetches only what is
        // asked for, one at a time.
        int connections = 1;
        // Least time between the starts of two requests to one host; 0 is no wait.
        int delayMs = 0;
    };

    CurlFetcher();
    explicit CurlFetcher(const Options& options);
    ~CurlFetcher() override;
    CurlFetcher(const CurlFetcher&) = delete;
    CurlFetcher& operator=(const CurlFetcher&) = delete;
    CurlFetcher(CurlFetcher&& other) noexcept;
    CurlFetcher& operator=(CurlFetcher&& other) noexcept;

    void setFileAllowed(bool allowed);

    // Streams the body of url into sink. The URL is sent percent-encoded where it holds blanks,
    // control or non-ASCII characters. An HTTP error status (400 and above) is a failure, and
    // nothing of its body reaches the sink. progress runs at least every serviceIntervalMs while
    // the transfer waits, so the caller can keep its window serviced.
    FetchResult fetch(const QString& url, const Sink& sink, const Progress& progress) override;
    void setLookahead(Lookahead lookahead) override;
    const QByteArray* aheadBody(const QString& url) const override;
    bool digestsBodies() const override;

    // Transfers started or finished ahead and not yet asked for (for tests).
    int aheadCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};

// The URL as it goes on the wire: every byte of its UTF-8 form that is not printable ASCII
// (blanks, controls, bytes of non-ASCII characters) is percent-encoded; the rest is unchanged.
QByteArray EncodeUrlForTransfer(const QString& url);

struct CrawlOptions;
// The fetcher options of a crawl run with these crawl settings.
CurlFetcher::Options CrawlFetcherOptions(const CrawlOptions& crawl);
