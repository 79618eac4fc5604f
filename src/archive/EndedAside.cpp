#include "archive/EndedAside.h"

#include <condition_variable>
#include <mutex>

#include "core/Elsewhere.h"

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

// The archives' ends have a pool of their own: each may wait seconds for another program's
// lock, and would hold up the work that Qt's global pool has to do meanwhile.
QThreadPool& EndingsPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;  // lives as long as the program: its jobs are waited for
        p->setMaxThreadCount(16);
        return p;
    }();
    return *pool;
}

AsideJournal::~AsideJournal() {
    {
        const std::lock_guard lock(gEndingLock);
        ++gEnding;
    }
    StartElsewhere(
        [archive = std::move(mArchive)]() mutable {
            archive.reset();
            const std::lock_guard lock(gEndingLock);
            --gEnding;
            gEnded.notify_all();
        },
        &EndingsPool());
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
