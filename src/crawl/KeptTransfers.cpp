#include "crawl/KeptTransfers.h"

int KeptTransfers::start(const QString& url, std::int64_t maxBytes, Write write) {
    std::optional<KeptFetch> kept = mTake ? mTake(url) : std::nullopt;
    // A body that does not go into its file now (the disk is full) is asked for again: the
    // pool knows how to wait for room.
    if (kept && kept->body.size() <= maxBytes &&
        (kept->body.isEmpty() || write(kept->body.constData(), kept->body.size()) == 0)) {
        mAnswered.insert(--mLastId, kept->result);
        return mLastId;
    }
    return mPool.start(url, maxBytes, std::move(write));
}

Transfers::State KeptTransfers::state(int id) const {
    return mAnswered.contains(id) ? State::Ended : mPool.state(id);
}

Transfers::Wait KeptTransfers::wait(int id, const Turn& turn) {
    if (!mAnswered.contains(id)) return mPool.wait(id, turn);
    return turn() ? Wait::Ready : Wait::Stopped;
}

void KeptTransfers::resume(int id) {
    if (!mAnswered.contains(id)) mPool.resume(id);
}

void KeptTransfers::hurry(int id) {
    if (!mAnswered.contains(id)) mPool.hurry(id);
}

FetchResult KeptTransfers::release(int id) {
    const auto answered = mAnswered.constFind(id);
    if (answered == mAnswered.constEnd()) return mPool.release(id);
    FetchResult result = *answered;
    mAnswered.erase(answered);
    return result;
}
