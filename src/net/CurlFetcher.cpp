#include "net/CurlFetcher.h"

#include <QDir>
#include <QHash>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <list>
#include <memory>
#include <utility>
#include <vector>

#include "core/CrawlOptions.h"
#include "core/basGlobal.h"
#include "net/AheadFile.h"
#include "net/CurlTransfer.h"
#include "net/TransferJob.h"
#include "net/TransferThread.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kDiskReserve = std::int64_t{256} * 1024 * 1024;

char HexDigit(int value) {
    return "0123456789ABCDEF"[value & 0xF];
}

// Only web URLs are fetched ahead: file: stays a matter of the run's own checks.
bool FetchableAhead(const QString& url) {
    // asked for every URL of the lookahead on every step: no case folding of whole strings
    static constexpr char16_t kHttp[] = u"http";
    if (url.size() < 7) return false;
    for (int i = 0; i < 4; ++i)
        if ((url.at(i).unicode() | 0x20) != kHttp[i]) return false;
    const int colon = (url.at(4).unicode() | 0x20) == u's' ? 5 : 4;
    return url.size() >= colon + 3 && url.at(colon) == u':' && url.at(colon + 1) == u'/' &&
           url.at(colon + 2) == u'/';
}

QString HostOf(const QString& url) {
    return QUrl(url).host().toLower();
}

using Job = TransferJob;

// How often each of a few dozen URLs occurs: planned on every fetch, where looking along a short
// list costs less than a table made anew. URLs of one site share long beginnings: their hashes,
// not their texts, are compared first.
class UrlCounts {
public:
    int value(const QString& url) const {
        const Count* held = find(url, qHash(url));
        return held ? held->count : 0;
    }
    int& operator[](const QString& url) {
        const std::size_t hash = qHash(url);
        if (const Count* held = find(url, hash)) return const_cast<Count*>(held)->count;
        return mCounts.push_back({url, hash, 0}), mCounts.back().count;
    }

private:
    struct Count {
        QString url;
        std::size_t hash;
        int count;
    };
    const Count* find(const QString& url, std::size_t hash) const {
        for (const Count& held : mCounts)
            if (held.hash == hash && held.url == url) return &held;
        return nullptr;
    }
    std::vector<Count> mCounts;
};

}  // namespace

QByteArray EncodeUrlForTransfer(const QString& url) {
    const QByteArray text = url.toUtf8();
    QByteArray wire;
    wire.reserve(text.size());
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte <= 0x20 || byte >= 0x7F) {
            wire += '%';
            wire += HexDigit(byte >> 4);
            wire += HexDigit(byte);
        } else {
            wire += ch;
        }
    }
    return wire;
}

CurlFetcher::Options CrawlFetcherOptions(const CrawlOptions& crawl) {
    CurlFetcher::Options options;
    options.connections =
        std::clamp(crawl.connections, CrawlOptions::kMinConnections, CrawlOptions::kMaxConnections);
    options.delayMs = std::max(0, crawl.delayMs);
    return options;
}

struct CurlFetcher::Impl {
    using JobList = std::list<std::unique_ptr<Job>>;

    explicit Impl(const Options& opts);
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    FetchResult fetch(const QString& url, const Sink& sink, const Progress& callerProgress);
    FetchResult direct(const QString& url, const Sink& sink);
    bool waitFor(Job& job);
    FetchResult replay(const Job& job, const Sink& sink);
    FetchResult aborted(Job& job);
    Job* claim(const QString& url);

    bool turn();
    bool turnNow();
    void perform();
    void poll(int waitMs);
    void plan();
    Job* planAhead(const QString& url);
    bool start(Job& job);
    int hostWaitMs(const QString& url) const;
    bool roomAhead();
    JobList::iterator find(const Job& job);
    void erase(JobList::iterator it);
    void release(const std::vector<Job*>& stopping);
    void dropAhead();
    int runningCount() const;

    Options options;
    CURLM* multi = nullptr;  // holds the connection cache, so connections outlive a transfer
    // Drives multi when transfers run in parallel; the one-at-a-time pool is driven by the
    // fetch itself, exactly as it asks.
    std::unique_ptr<TransferThread> pool;
    JobList jobs;  // in the order they were planned
    // Handles of jobs that ended, for the next ones: setting one up costs more than a small
    // transfer. Made under the current options (setFileAllowed lets them go).
    std::vector<CurlTransfer> idle;
    CurlTransfer handle();
    Lookahead lookahead;
    QHash<QString, Clock::time_point> lastStart;  // per host, for the delay between requests
    Clock::time_point roomCheckedAt;
    bool room = false;

    // The fetch under way: its progress runs from inside the transfers too.
    const Progress* progress = nullptr;
    Clock::time_point lastTurn;
    bool stopped = false;  // its progress asked to stop
};

CurlFetcher::Impl::Impl(const Options& opts) : options(opts) {
    InitCurlOnce();
    options.connections = std::clamp(options.connections, 1, CrawlOptions::kMaxConnections);
    multi = curl_multi_init();
    if (!multi) return;  // every fetch then fails
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(options.connections));
    curl_multi_setopt(multi, CURLMOPT_PIPELINING, static_cast<long>(CURLPIPE_MULTIPLEX));
    // Room for every connection of the pool in the cache: none is closed only to open another.
    curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, static_cast<long>(2 * options.connections));
    if (options.connections > 1) {
        pool = std::make_unique<TransferThread>(multi);
        if (!pool->running()) pool.reset();
    }
}

CurlFetcher::Impl::~Impl() {
    pool.reset();  // the thread lets go of every transfer before they go
    while (!jobs.empty()) erase(jobs.begin());
    idle.clear();  // before the multi handle they were joined to
    if (multi) curl_multi_cleanup(multi);
}

// Gives the fetch under way its turn when serviceIntervalMs have passed since the last one;
// false once it wants to stop.
bool CurlFetcher::Impl::turn() {
    if (stopped) return false;
    if (Clock::now() - lastTurn < std::chrono::milliseconds(options.serviceIntervalMs)) return true;
    return turnNow();
}

void CurlFetcher::Impl::perform() {
    if (pool) return;  // the thread collects what ends
    int running = 0;
    curl_multi_perform(multi, &running);
    TakeEnded(multi, [](Job& job) { job.running = false; });
}

void CurlFetcher::Impl::poll(int waitMs) {
    if (pool) {
        pool->waitChange(std::clamp(waitMs, 0, options.serviceIntervalMs));
        return;
    }
    curl_multi_poll(multi, nullptr, 0, std::clamp(waitMs, 0, options.serviceIntervalMs), nullptr);
}

int CurlFetcher::Impl::runningCount() const {
    return static_cast<int>(std::count_if(
        jobs.begin(), jobs.end(), [](const auto& job) { return job->running && !job->done; }));
}

// Milliseconds until a request to the URL's host may start.
int CurlFetcher::Impl::hostWaitMs(const QString& url) const {
    if (options.delayMs <= 0) return 0;
    const auto it = lastStart.constFind(HostOf(url));
    if (it == lastStart.constEnd()) return 0;
    const auto since =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *it).count();
    return since >= options.delayMs ? 0 : static_cast<int>(options.delayMs - since);
}

bool CurlFetcher::Impl::start(Job& job) {
    if (!job.transfer.valid()) return false;
    job.transfer.prepare(job.url, &job.write, &job.turn);
    curl_easy_setopt(job.transfer.easy(), CURLOPT_PRIVATE, static_cast<void*>(&job));
    if (pool) {
        pool->start(job);
    } else if (curl_multi_add_handle(multi, job.transfer.easy()) != CURLM_OK) {
        return false;
    }
    job.running = true;
    if (options.delayMs > 0) lastStart.insert(HostOf(job.url), Clock::now());
    return true;
}

// Whether the run folder's disk has room for bodies held ahead. Asked a few times a second at
// most: a look at the file system for every transfer costs more than a small transfer.
bool CurlFetcher::Impl::roomAhead() {
    constexpr auto kRecheck = std::chrono::milliseconds(250);
    const Clock::time_point now = Clock::now();
    if (roomCheckedAt == Clock::time_point{} || now - roomCheckedAt >= kRecheck) {
        room = AheadFile::RoomIn(gRunFolder, kDiskReserve);
        roomCheckedAt = now;
    }
    return room;
}

CurlFetcher::Impl::JobList::iterator CurlFetcher::Impl::find(const Job& job) {
    return std::find_if(jobs.begin(), jobs.end(),
                        [&job](const auto& held) { return held.get() == &job; });
}

// Stops the transfer if it still runs and forgets it; its unnamed file goes with it.
void CurlFetcher::Impl::erase(JobList::iterator it) {
    Job& job = **it;
    if (pool) {
        release({&job});
    } else if (job.running) {
        curl_multi_remove_handle(multi, job.transfer.easy());
    }
    if (job.transfer.valid() && idle.size() < static_cast<std::size_t>(2 * options.connections))
        idle.push_back(std::move(job.transfer));
    jobs.erase(it);
}

CurlTransfer CurlFetcher::Impl::handle() {
    if (idle.empty()) return CurlTransfer(options);
    CurlTransfer reused = std::move(idle.back());
    idle.pop_back();
    return reused;
}

// Takes jobs back from the thread, all at once: one wait for the lot.
void CurlFetcher::Impl::release(const std::vector<Job*>& stopping) {
    if (pool) pool->release(stopping);
}

void CurlFetcher::Impl::dropAhead() {
    std::vector<Job*> dropped;
    for (const auto& job : jobs)
        if (job->ahead && !job->claimed) dropped.push_back(job.get());
    release(dropped);
    for (auto it = jobs.begin(); it != jobs.end();) {
        if ((*it)->ahead && !(*it)->claimed) {
            erase(it++);
        } else {
            ++it;
        }
    }
}

Job* CurlFetcher::Impl::planAhead(const QString& url) {
    auto job = std::make_unique<Job>(url, handle(), true);
    Job* raw = job.get();
    if (pool) {
        raw->driveOnThread();
    } else {
        raw->turn = [this] { return turn(); };
        raw->write = [raw](const char* data, std::size_t size) { return raw->keep(data, size); };
    }
    // Without a file to receive the body this entry is fetched when asked for.
    if (!raw->body.open(gRunFolder) || !start(*raw)) {
        raw->usable = false;
        raw->done = true;
        raw->body.close();
    }
    jobs.push_back(std::move(job));
    return raw;
}

// Brings the transfers held ahead in line with what the run will ask for next: transfers of
// entries no longer queued near the front (deleted, edited) go; the first entries not yet
// covered start while there is room. Entries that keep their places start as connections free
// up. The others, which a page scan may push back, start only within Connections + 1 places of
// the run, and at most pagesAhead of them when that border is known: started any further they
// would be pushed back and wasted, or hold the connections the pictures of the next page need
// (half the connections: pages without pictures still go in parallel).
// Transfers held already stay while the run may still reach them.
void CurlFetcher::Impl::plan() {
    if (!lookahead || options.connections <= 1) {
        dropAhead();
        return;
    }
    const int most = 2 * options.connections;  // in flight plus finished and unused
    Fetcher::NextUrls next;
    try {
        next = lookahead(2 * most);
    } catch (...) {
        next = {};
    }
    QStringList& urls = next.urls;
    if (urls.size() > 2 * most) urls.resize(2 * most);
    UrlCounts wanted;
    for (const QString& url : urls)
        if (FetchableAhead(url)) ++wanted[url];

    UrlCounts held;
    for (const auto& job : jobs) ++held[job->url];
    // One URL asked for twice is fetched twice: each transfer covers one occurrence. Surplus
    // transfers go from the newest.
    for (auto it = jobs.end(); it != jobs.begin();) {
        --it;
        const Job& job = **it;
        if (job.claimed || !job.ahead || held[job.url] <= wanted.value(job.url)) continue;
        --held[job.url];
        erase(it++);
    }
    const int pagesAhead = std::max(2, options.connections / 2);
    int movable = 0;  // entries past the settled ones, the run's current one aside
    int room = -1;    // asked for once, when a transfer is about to start
    for (int i = 0; i < static_cast<int>(urls.size()); ++i) {
        if (i >= next.settled) {
            if (i > options.connections) break;
            if (i > 0 && next.settled >= 0 && ++movable > pagesAhead) break;
        }
        const QString& url = urls.at(i);
        if (!FetchableAhead(url)) continue;
        if (held.value(url) > 0) {
            --held[url];
            continue;
        }
        if (runningCount() >= options.connections || static_cast<int>(jobs.size()) >= most) break;
        // Bodies held ahead never take the last of the disk: there the run stores what the
        // one-at-a-time crawl would have stored before the disk filled.
        if (room < 0) room = roomAhead() ? 1 : 0;
        if (room == 1 && hostWaitMs(url) == 0) planAhead(url);
    }
}

Job* CurlFetcher::Impl::claim(const QString& url) {
    for (const auto& job : jobs)
        if (job->ahead && !job->claimed && job->url == url) return job.get();
    return nullptr;
}

bool CurlFetcher::Impl::turnNow() {
    lastTurn = Clock::now();
    if (stopped) return false;
    if (!progress || !*progress) return true;
    bool goOn = false;
    try {  // this runs inside libcurl's callbacks too, where nothing may unwind
        goOn = (*progress)();
    } catch (...) {
    }
    stopped = !goOn;
    return goOn;
}

FetchResult CurlFetcher::Impl::aborted(Job& job) {
    release({&job});
    job.transfer.markAborted();
    FetchResult result = job.transfer.result(false, CURLE_ABORTED_BY_CALLBACK);
    result.outcome = FetchOutcome::Aborted;
    return result;
}

// Drives every transfer until this one is done, giving the caller a turn whenever the network
// keeps it waiting; false when the caller asked to stop first.
bool CurlFetcher::Impl::waitFor(Job& job) {
    for (;;) {
        if (job.done) return true;
        // The thread wakes this loop with every transfer that ends: the caller's turn stays
        // time-sliced then.
        if (stopped || !(pool ? turn() : turnNow())) return false;
        plan();  // the turn may have changed the queues
        poll(options.serviceIntervalMs);
        perform();
    }
}

FetchResult CurlFetcher::Impl::replay(const Job& job, const Sink& sink) {
    FetchResult result = job.result;
    constexpr std::size_t kPiece = std::size_t{64} * 1024;
    const QByteArray* held = job.body.memory();
    std::vector<char> buffer(held ? 0 : kPiece);
    for (std::int64_t offset = 0; offset < job.body.size();) {
        const char* piece = nullptr;
        std::int64_t got = 0;
        if (held) {  // straight from memory: no copy in between
            piece = held->constData() + offset;
            got = std::min<std::int64_t>(static_cast<std::int64_t>(kPiece), held->size() - offset);
        } else {
            piece = buffer.data();
            got = job.body.readAt(offset, buffer.data(), buffer.size());
        }
        bool stored = false;
        try {
            stored = got > 0 && sink(piece, static_cast<std::size_t>(got));
        } catch (...) {
        }
        if (!stored) {
            result.outcome = FetchOutcome::Failed;
            result.error = QStringLiteral("the body could not be stored");
            return result;
        }
        offset += got;
        if (!turn()) {
            result.outcome = FetchOutcome::Aborted;
            result.error = QStringLiteral("aborted");
            return result;
        }
    }
    return result;
}

FetchResult CurlFetcher::Impl::direct(const QString& url, const Sink& sink) {
    auto owned = std::make_unique<Job>(url, handle(), false);
    Job& job = *owned;
    if (!job.transfer.valid()) {
        FetchResult failed;
        failed.error = QStringLiteral("no transfer handle");
        return failed;
    }
    job.claimed = true;
    if (pool) {  // the thread receives the body; it reaches the sink here, as a held one does
        job.driveOnThread();
        if (!job.body.open(gRunFolder)) job.body.open(QDir::tempPath());
    } else {
        job.write = sink;
        job.turn = [this] { return turn(); };
    }
    jobs.push_back(std::move(owned));
    FetchResult result;
    for (int wait = hostWaitMs(url); wait > 0 && !stopped; wait = hostWaitMs(url)) {
        if (!turnNow()) break;
        plan();
        poll(wait);
        perform();
    }
    if (stopped) {
        result = aborted(job);
    } else if (!start(job)) {
        result.error = QStringLiteral("cannot start the transfer");
    } else if (!waitFor(job)) {
        result = aborted(job);
    } else {
        result = pool && job.result.outcome == FetchOutcome::Ok ? replay(job, sink) : job.result;
    }
    erase(find(job));
    return result;
}

FetchResult CurlFetcher::Impl::fetch(const QString& url, const Sink& sink,
                                     const Progress& callerProgress) {
    progress = &callerProgress;
    stopped = false;
    lastTurn = Clock::now();
    struct Forget {
        Impl* impl;
        ~Forget() { impl->progress = nullptr; }
    } forget{this};

    perform();
    plan();
    if (Job* job = claim(url)) {
        job->claimed = true;
        // A transfer finished ahead still gives the caller its turn, as every transfer does.
        const bool ready = job->done ? turnNow() : waitFor(*job);
        if (!ready || job->usable) {
            FetchResult result = job->result;
            if (!ready) {
                result = aborted(*job);
            } else if (result.outcome == FetchOutcome::Ok) {
                result = replay(*job, sink);
            }
            erase(find(*job));
            return result;
        }
        erase(find(*job));
    }
    return direct(url, sink);
}

CurlFetcher::CurlFetcher() : CurlFetcher(Options{}) {}

CurlFetcher::CurlFetcher(const Options& options) : mImpl(std::make_unique<Impl>(options)) {}

CurlFetcher::~CurlFetcher() = default;
CurlFetcher::CurlFetcher(CurlFetcher&& other) noexcept = default;
CurlFetcher& CurlFetcher::operator=(CurlFetcher&& other) noexcept = default;

void CurlFetcher::setFileAllowed(bool allowed) {
    if (!mImpl) return;
    mImpl->options.allowFile = allowed;
    mImpl->idle.clear();  // made under the other rule
}

FetchResult CurlFetcher::fetch(const QString& url, const Sink& sink, const Progress& progress) {
    if (!mImpl || !mImpl->multi) {
        FetchResult failed;
        failed.error = QStringLiteral("no transfer handle");
        return failed;
    }
    return mImpl->fetch(url, sink, progress);
}

void CurlFetcher::setLookahead(Lookahead lookahead) {
    if (!mImpl) return;
    mImpl->lookahead = std::move(lookahead);
    mImpl->roomCheckedAt = {};  // a new run may store on another disk
    if (!mImpl->lookahead) mImpl->dropAhead();
}

const QByteArray* CurlFetcher::aheadBody(const QString& url) const {
    if (!mImpl) return nullptr;
    for (const auto& job : mImpl->jobs) {
        if (job->ahead && !job->claimed && job->done && job->usable &&
            job->result.outcome == FetchOutcome::Ok && job->url == url)
            return job->body.memory();
    }
    return nullptr;
}

bool CurlFetcher::digestsBodies() const {
    return mImpl && mImpl->pool;
}

int CurlFetcher::aheadCount() const {
    if (!mImpl) return 0;
    return static_cast<int>(std::count_if(mImpl->jobs.begin(), mImpl->jobs.end(),
                                          [](const auto& job) { return !job->claimed; }));
}
