#pragma once
// One transfer of the pool, from its start to its release. Private to this library.

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "crawl/Fetcher.h"
#include "crawl/Transfers.h"
#include "net/CurlTransfer.h"

struct TransferJob {
    int id = 0;
    QString url;
    QString host;  // for the least delay between requests to one host
    std::int64_t maxBytes = 0;
    Transfers::Write write;  // called by the transfer thread only
    // Set by the run's thread when it lets go: a body arriving in a rush stops at its next piece,
    // not when the thread next looks at its requests.
    std::atomic<bool> stop{false};

    // The transfer thread's own:
    std::optional<CurlTransfer> transfer;
    bool joined = false;   // in the multi handle
    bool hurried = false;  // the run waits for it
    int tries = 0;         // tries again so far
    int resends = 0;       // sent again after its connection failed before it was answered
    std::int64_t waitedMs = 0;
    std::chrono::steady_clock::time_point notBefore{};  // a try again waits until then

    // Guarded by the thread's lock:
    Transfers::State state = Transfers::State::Running;
    bool resumeAsked = false;  // room was made; the thread has not yet handed the bytes again
    FetchResult result;
};
