#pragma once
// One libcurl easy handle with every rule of the crawl's transfers applied: keep-alive through
// the multi handle it joins, at most ten redirects and never to file:, only the protocols the
// crawl fetches (a handle that cannot be held to them fetches nothing), time-outs, the size
// limit after decoding, and only 2xx answers delivered. Private to this library.

#include <curl/curl.h>

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "crawl/Fetcher.h"
#include "crawl/Transfers.h"
#include "net/CurlFetcher.h"

class SharedRate;

class CurlTransfer {
public:
    explicit CurlTransfer(const CurlFetcher::Options& rules);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;
    CurlTransfer(CurlTransfer&& other) noexcept;
    CurlTransfer& operator=(CurlTransfer&& other) noexcept;

    bool valid() const;
    CURL* easy() const;

    // Prepares the handle for a new transfer of url; at most maxBytes of its body go to write.
    // Once stop is set, no more of it is taken. Its pieces draw on rate when there is one. All
    // three must outlive the transfer. fresh: on a connection of its own, not one kept alive.
    void prepare(const QString& url, std::int64_t maxBytes, const Transfers::Write* write,
                 const std::atomic<bool>* stop, SharedRate* rate = nullptr, bool fresh = false);
    // Goes on with a transfer that waits for the rate, once the rate allows; false when it is
    // still held.
    bool resumeRate();
    // True once a write found the disk full: the transfer is paused until resumed.
    bool needsRoom() const;
    // Hands the piece that found the disk full over again.
    void resume();

    // What the finished (done) or interrupted transfer amounts to, code being libcurl's result.
    FetchResult result(bool done, CURLcode code) const;

    // What a failed transfer says about trying it again.
    struct Retry {
        bool may = false;      // a network error, a time-out, 408, 429 or 5xx
        long long afterS = 0;  // the answer's Retry-After in seconds (from a date too); 0: none
        bool spare = false;    // 429 or 503: the host asks to be asked less
    };
    Retry retry(CURLcode code) const;
    // True when the connection under the transfer failed before any of its answer came: an
    // HTTP/2 framing error, GOAWAY, a reset stream, a connection reset before the answer. The
    // server never answered this request, so sending it again is no retry of an answer.
    bool brokeBeforeAnswer(CURLcode code) const;
    // True when the transfer went over a connection that multiplexes (HTTP/2 or later).
    bool multiplexed() const;
    // True when it was answered over a connection that carries one request at a time (HTTP/1).
    bool oneAtATime() const;
    // Takes back what a try that broke part-way stored, so that it may go again; false when that
    // could not be done.
    bool startOver();

private:
    long httpVersion() const;  // libcurl's CURL_HTTP_VERSION_* of the last answer, 0 before one
    struct State;
    std::unique_ptr<State> mState;
};

// The failure of a file: URL that names anything but a regular file (a FIFO, a device, a socket,
// a folder), found without blocking; nothing for every other URL.
std::optional<FetchResult> RefuseLocalFile(const QString& url);

// Initialises libcurl once per process.
void InitCurlOnce();
