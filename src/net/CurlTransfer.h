#pragma once
// One libcurl easy handle with every rule of the crawl's transfers applied: keep-alive through
// the multi handle it joins, at most ten redirects and never to file:, time-outs, the size limit
// after decoding, and error statuses that deliver nothing. Private to this library.

#include <curl/curl.h>

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "crawl/Fetcher.h"
#include "net/CurlFetcher.h"

class CurlTransfer {
public:
    // Receives the body in pieces; false stops the transfer (the bytes could not be kept).
    using Write = std::function<bool(const char* data, std::size_t size)>;
    // Runs with every piece of the body (the owner time-slices it); false stops the transfer.
    using Turn = std::function<bool()>;

    explicit CurlTransfer(const CurlFetcher::Options& rules);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;
    CurlTransfer(CurlTransfer&& other) noexcept;
    CurlTransfer& operator=(CurlTransfer&& other) noexcept;

    bool valid() const;
    CURL* easy() const;

    // Prepares the handle for a new transfer of url; the callbacks must outlive it.
    void prepare(const QString& url, const Write* write, const Turn* turn);
    // Marks the transfer as stopped by its caller (the result is then Aborted).
    void markAborted();
    bool stoppedByTurn() const;
    bool writeRefused() const;
    // The length the server announced for the body under way (before any decoding), -1 when
    // it announced none: a hint for the room to hold it, never a promise.
    std::int64_t announcedSize() const;

    // What the finished (done) or interrupted transfer amounts to, code being libcurl's result.
    FetchResult result(bool done, CURLcode code) const;

private:
    struct State;
    std::unique_ptr<State> mState;
};

// Initialises libcurl once per process.
void InitCurlOnce();
