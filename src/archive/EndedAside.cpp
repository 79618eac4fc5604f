#include "archive/EndedAside.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

std::mutex gEndingLock;
std::condition_variable gEnded;
int gEnding = 0;

class AsideJournal final : public CrawlJournal {
public:
    explicit AsideJournal(std::unique_ptr<CrawlArchive> archive) : mArchive(std::move(archive)) {}
    ~AsideJournal() override;
    AsideJournal(const AsideJournal&) = delete;
    AsideJournal& operator=(const AsideJournal&) = delete;

    void beginRun(const CrawlRunInfo& run) override { mArchive->beginRun(run); }
    void record(const CrawlAttempt& attempt) override { mArchive->record(attempt); }
    void tick() override { mArchive->tick(); }
    void endRun(const QString& how) override { mArchive->endRun(how); }
    bool knownPictureUrl(const QString& urlKey) override {
        return mArchive->knownPictureUrl(urlKey);
    }
    bool knownPictureHash(const QByteArray& sha256) override {
        return mArchive->knownPictureHash(sha256);
    }
    EarlierRun earlierRun(const QString& firstPage, const QString& queueFile) override {
        return mArchive->earlierRun(firstPage, queueFile);
    }
    std::vector<KeptLook> keptLooks(const std::function<bool()>& turn) override {
        return mArchive->keptLooks(turn);
    }
    void keepAhead(AheadFetch fetch) override { mArchive->keepAhead(std::move(fetch)); }
    std::optional<KeptFetch> keptAhead(std::int64_t id) override { return mArchive->keptAhead(id); }

private:
    std::unique_ptr<CrawlArchive> mArchive;
};

AsideJournal::~AsideJournal() {
    {
        const std::lock_guard lock(gEndingLock);
        ++gEnding;
    }
    try {
        std::thread([archive = std::move(mArchive)]() mutable {
            archive.reset();
            const std::lock_guard lock(gEndingLock);
            --gEnding;
            gEnded.notify_all();
        }).detach();
    } catch (...) {  // no thread to be had: it ends here
        mArchive.reset();
        const std::lock_guard lock(gEndingLock);
        --gEnding;
    }
}

// A program that ends without waiting (a test, an early exit) still lets them end before what
// they use goes.
struct WaitAtExit {
    WaitAtExit() = default;
    WaitAtExit(const WaitAtExit&) = delete;
    WaitAtExit& operator=(const WaitAtExit&) = delete;
    ~WaitAtExit() { WaitForArchivesEndingAside(); }
} gWaitAtExit;

}  // namespace

std::unique_ptr<CrawlJournal> EndedAside(std::unique_ptr<CrawlArchive> archive) {
    return std::make_unique<AsideJournal>(std::move(archive));
}

void WaitForArchivesEndingAside() {
    std::unique_lock lock(gEndingLock);
    gEnded.wait(lock, [] { return gEnding == 0; });
}
