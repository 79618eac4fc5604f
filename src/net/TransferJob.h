#pragma once
// One transfer of the fetcher's pool, asked for by the fetch under way or started ahead for the
// lookahead. Private to this library.
//
// With a transfer thread, the thread owns a job from its start until it lets go of it (done,
// or stopped on request); the run's thread reads done, result and body only after that.

#include <curl/curl.h>

#include <QString>
#include <atomic>
#include <cerrno>
#include <optional>
#include <utility>

#include "crawl/Fetcher.h"
#include "crawl/FileDigest.h"
#include "net/AheadFile.h"
#include "net/CurlFetcher.h"
#include "net/CurlTransfer.h"

struct TransferJob {
    TransferJob(const QString& u, CurlTransfer&& handle, bool isAhead)
        : url(u), transfer(std::move(handle)), ahead(isAhead) {}

    // What the finished transfer amounts to; a body fetched ahead that could not be kept whole
    // is no answer of the server.
    void finish(CURLcode code) {
        result = transfer.result(true, code);
        if (digested && result.outcome == FetchOutcome::Ok) result.sha256 = digestOf().digest();
        // A body held for the fetch under way that the run folder's disk could not take is a
        // fault of the storage, as it is when it streams to the stored file itself.
        if (!ahead && body.isOpen() && transfer.writeRefused())
            result.storageError = body.error() ? body.error() : EIO;
        if (ahead && (transfer.writeRefused() || transfer.stoppedByTurn())) {
            usable = false;
            body.close();
        }
    }

    QString url;
    CurlTransfer transfer;
    CurlTransfer::Write write;
    CurlTransfer::Turn turn;
    AheadFile body;  // what the transfer received so far, when it is not streamed to a sink
    // Handed to the transfer thread: the transfer only hears whether the run still wants it, and
    // the body goes to body, digested on the way.
    void driveOnThread() {
        turn = [this] { return !cancel.load(std::memory_order_relaxed); };
        write = [this](const char* data, std::size_t size) { return keep(data, size); };
        digested = true;
    }
    // Keeps the bytes, and digests them when asked to.
    bool keep(const char* data, std::size_t size) {
        // room for the whole body at once, not grown and copied piece by piece
        if (body.size() == 0) body.expect(transfer.announcedSize());
        if (!body.write(data, size)) return false;
        if (digested) digestOf().update(data, size);
        return true;
    }
    // Made on the thread that receives the body: setting it up is no small cost.
    Sha256& digestOf() {
        if (!digest) digest.emplace();
        return *digest;
    }

    bool digested = false;  // the body's SHA-256 goes with the result
    std::optional<Sha256> digest;
    bool ahead = true;
    bool claimed = false;  // the fetch under way asked for it
    bool running = false;  // started (one-at-a-time pool: joined to the multi handle)
    std::atomic<bool> done{false};
    std::atomic<bool> cancel{false};  // the run's thread wants it stopped
    bool held = false;   // the transfer thread may still touch it (guarded by the thread's lock)
    bool usable = true;  // false: its body could not be kept; fetched anew when asked for
    FetchResult result;
};
