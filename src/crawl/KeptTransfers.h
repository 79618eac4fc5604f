#pragma once
// The transfers of a run that resumes a stopped one with NoRevisit: a URL that run fetched
// ahead and never got to is answered from what it kept, at once and without a request (the
// server saw it already); every other goes to the pool.

#include <QHash>
#include <functional>
#include <optional>

#include "crawl/CrawlJournal.h"
#include "crawl/Transfers.h"

class KeptTransfers final : public Transfers {
public:
    // The kept answer of url, taken once; nothing when none was kept.
    using Take = std::function<std::optional<KeptFetch>(const QString& url)>;

    KeptTransfers(Transfers& pool, Take take) : mPool(pool), mTake(std::move(take)) {}

    int start(const QString& url, std::int64_t maxBytes, Write write) override;
    State state(int id) const override;
    Wait wait(int id, const Turn& turn) override;
    void resume(int id) override;
    void hurry(int id) override;
    FetchResult release(int id) override;
    int connections() const override { return mPool.connections(); }
    Waits waits() const override { return mPool.waits(); }

private:
    Transfers& mPool;
    Take mTake;
    QHash<int, FetchResult> mAnswered;  // kept answers not yet released
    int mLastId = 0;                    // theirs count down from -1, the pool's up from 1
};
