#include "crawl/Transfers.h"

#include <cerrno>
#include <utility>

FetchResult FetchThrough(Transfers& transfers, const QString& url, std::int64_t maxBytes,
                         const Fetcher::Sink& sink, const Fetcher::Progress& progress) {
    const int id = transfers.start(url, maxBytes, [&sink](const char* data, std::size_t size) {
        return sink && sink(data, size) ? 0 : EIO;
    });
    Transfers::Wait waited = Transfers::Wait::Changed;
    while (waited == Transfers::Wait::Changed) waited = transfers.wait(id, progress);
    // nothing here makes room: a full disk is what it is
    return transfers.release(id);
}

int SerialTransfers::start(const QString& url, std::int64_t maxBytes, Write write) {
    mUrl = url;
    mMaxBytes = maxBytes;
    mWrite = std::move(write);
    mEnded = false;
    mResult = {};
    return ++mId;
}

Transfers::State SerialTransfers::state(int id) const {
    return id == mId && !mEnded ? State::Running : State::Ended;
}

Transfers::Wait SerialTransfers::wait(int id, const Turn& turn) {
    if (id != mId || mEnded) return turn && !turn() ? Wait::Stopped : Wait::Ready;
    std::int64_t received = 0;
    int writeError = 0;
    bool tooLarge = false;
    mResult = mFetcher.fetch(
        mUrl,
        [&](const char* data, std::size_t size) {
            const std::int64_t room = mMaxBytes - received;
            tooLarge = static_cast<std::int64_t>(size) > room;
            const std::size_t taken = tooLarge ? static_cast<std::size_t>(room) : size;
            received += static_cast<std::int64_t>(taken);
            writeError = taken > 0 && mWrite ? mWrite(data, taken) : 0;
            return writeError == 0 && !tooLarge;
        },
        turn);
    mEnded = true;
    if (writeError) {
        mResult.outcome = FetchOutcome::Failed;
        mResult.storageError = writeError;
    } else if (tooLarge) {
        mResult.outcome = FetchOutcome::Failed;
        mResult.error = QStringLiteral("body too large");
    }
    return mResult.outcome == FetchOutcome::Aborted ? Wait::Stopped : Wait::Ready;
}

FetchResult SerialTransfers::release(int id) {
    if (id != mId) return {};
    if (!mEnded) {
        mResult.outcome = FetchOutcome::Aborted;
        mResult.error = QStringLiteral("aborted");
    }
    mEnded = true;
    mWrite = nullptr;
    return std::exchange(mResult, {});
}
