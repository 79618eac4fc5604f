#pragma once
// Fetching one URL into memory, for the transfer's tests.

#include <QString>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "net/CurlFetcher.h"

// Short time-outs, no proxy from the environment.
inline CurlFetcher::Options TestOptions(int connections = 1) {
    CurlFetcher::Options options;
    options.noProxy = true;
    options.connectTimeoutMs = 5000;
    options.lowSpeedSeconds = 1;
    options.lowSpeedBytes = 1;
    options.connections = connections;
    return options;
}

struct Fetched {
    FetchResult result;
    std::string body;
    int sinkCalls = 0;
};

// A transfer waited for as the crawl waits, and let go.
inline FetchResult Finish(Transfers& pool, int id, const Transfers::Turn& turn = {}) {
    while (pool.wait(id, turn) == Transfers::Wait::Changed) {
    }
    return pool.release(id);
}

// One request through the pool.
inline FetchResult FetchWith(Transfers& pool, const QString& url, Transfers::Write write,
                             const Transfers::Turn& turn = {}) {
    return Finish(pool, pool.start(url, std::numeric_limits<std::int64_t>::max(), std::move(write)),
                  turn);
}

inline Fetched Get(Transfers& pool, const QString& url, const Transfers::Turn& turn = {}) {
    Fetched f;
    f.result = FetchWith(
        pool, url,
        [&f](const char* data, std::size_t size) {
            ++f.sinkCalls;
            f.body.append(data, size);
            return 0;
        },
        turn);
    return f;
}
