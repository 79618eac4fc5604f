#pragma once
// What a fetch brought, in the crawl's terms. The crawl sees nothing of the transfer library.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

enum class FetchOutcome {
    Ok,       // the whole body went to the sink
    Failed,   // network error, HTTP error status, refused scheme, time-out, too large
    Aborted,  // the progress callback asked to stop (cancel, program ending)
};

// Why a fetch failed, in the terms a user can act on.
enum class FetchCause {
    None,         // it did not fail
    NotFound,     // HTTP 404 or 410, or no such local file
    ServerError,  // any other HTTP error status
    Refused,      // nothing accepted the connection
    NoHost,       // the host name is not known
    Certificate,  // the server's certificate is not trusted
    TimedOut,     // no answer, or the answer stalled
    BadUrl,       // malformed, or of a scheme not fetched
    Other,        // a broken transfer, a body too large ...
};

struct FetchResult {
    FetchOutcome outcome = FetchOutcome::Failed;
    long httpStatus = 0;   // 0 when there was no HTTP answer
    QString error;         // short English diagnostic, never shown in a window
    int storageError = 0;  // errno when the body could not be held on this machine, else 0
    FetchCause cause = FetchCause::Other;  // of a failure; None when Ok
    QString contentType;                   // the answer's Content-Type as sent; empty when none
    int retries = 0;                       // tries again before this answer
    std::int64_t waitedMs = 0;             // the time those tries waited for their host
    // A picture abandoned for its size in pixels, told by its first bytes (error says it).
    bool tooFewPixels = false;
    QString url;       // where the answer came from, when redirects led there; else empty
    QString redirect;  // where a redirect that was not followed leads; else empty
    int resends = 0;   // sent again, not counted as tries: the connection failed before the answer
};

// The callback of a fetch that waits, under the name the fetching code knows it by.
struct Fetcher {
    // Called often while a fetch waits; returns false to abort it.
    using Progress = std::function<bool()>;
};
