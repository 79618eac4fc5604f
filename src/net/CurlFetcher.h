#pragma once
// The transfer of one URL into the bytes of its body, done by libcurl. One fetcher is one
// transfer handle: keep it for a whole crawl so that connections are kept alive and reused.

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

private:
    struct Impl;
    std::unique_ptr<Impl> mImpl;
};

// The URL as it goes on the wire: every byte of its UTF-8 form that is not printable ASCII
// (blanks, controls, bytes of non-ASCII characters) is percent-encoded; the rest is unchanged.
QByteArray EncodeUrlForTransfer(const QString& url);
