#pragma once
// Fetching one URL into memory, for the transfer's tests.

#include <QString>
#include <string>

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

inline Fetched Get(CurlFetcher& fetcher, const QString& url,
                   const Fetcher::Progress& progress = {}) {
    Fetched f;
    f.result = fetcher.fetch(
        url,
        [&f](const char* data, std::size_t size) {
            ++f.sinkCalls;
            f.body.append(data, size);
            return true;
        },
        progress);
    return f;
}
