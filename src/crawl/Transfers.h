#pragma once
// Transfers in flight at once, as the crawl asks for them: start a request, wait for it while
// the window keeps its turns, let it go. The crawl sees nothing of the transfer library; one
// connection is a pool of one.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/FileUrlPolicy.h"
#include "crawl/Fetcher.h"

class Transfers {
public:
    // Receives a body in pieces, on whatever thread drives the transfers: 0, or the errno of a
    // write that failed, which ends the transfer with that storageError. ENOSPC and EDQUOT only
    // hold it (needsRoom) until resume() hands the same piece over again; so does EAGAIN, a
    // writer that will take the piece later (resume may come before it shows). Called with no data,
    // it takes back every byte written so far, for a try that broke part-way to start over.
    using Write = std::function<int(const char* data, std::size_t size)>;
    // Runs every few milliseconds while a wait lasts; false stops the wait.
    using Turn = std::function<bool()>;
    enum class State { Running, NeedsRoom, Ended };
    enum class Wait { Ready, Changed, Stopped };

    virtual ~Transfers() = default;
    // Starts a request of url whose body goes to write, at most maxBytes of it: a longer body
    // ends the transfer as failed ("body too large") once that much was written. The request
    // waits for the least delay after the last one to its host. Returns the transfer's id.
    virtual int start(const QString& url, std::int64_t maxBytes, Write write) = 0;
    virtual State state(int id) const = 0;
    // Returns Ready once transfer id no longer runs, Changed when another one ended first,
    // Stopped when turn asked to stop; turn runs at least once.
    virtual Wait wait(int id, const Turn& turn) = 0;
    virtual void resume(int id) = 0;
    // The run waits for transfer id: when the pool holds more than its connections carry, it
    // starts before those asked for ahead of the run.
    virtual void hurry(int id) { (void)id; }
    // Stops the transfer if it still runs and forgets it; its result (Aborted when it had not
    // ended). Its write is never called again once this returns.
    virtual FetchResult release(int id) = 0;
    // Whether the pool follows redirects itself (it does unless told otherwise). Off, a redirect
    // ends its transfer unfollowed, its target in the result's redirect, for the crawl to check
    // against its rules first.
    virtual void setRedirectsFollowed(bool follow) { (void)follow; }
    // Transfers the pool takes at once, at most: more than the connections, those beyond what
    // they carry waiting in the pool for the first that is free.
    virtual int connections() const = 0;
    // The pool's waits for hosts that failed or asked to be spared: the tries again so far,
    // the time they waited, and a host a request waits for now (empty when none); and the
    // requests sent again because their connection failed before they were answered.
    struct Waits {
        int retries = 0;
        std::int64_t waitedMs = 0;
        QString host;
        int resends = 0;
    };
    virtual Waits waits() const { return {}; }
    // Which file: URLs the transfers started from now on may fetch; the run sets it as it starts.
    virtual void setFilePolicy(const FileUrlPolicy& policy) { (void)policy; }
};
