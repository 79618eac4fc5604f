#include "crawl/FetchAhead.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <limits>
#include <optional>

#include "core/UrlQueue.h"
#include "core/basGlobal.h"
#include "crawl/BodyFile.h"
#include "crawl/CrawlRun.h"
#include "crawl/PictureSize.h"

namespace {

// The bodies' own cap is the transfer's.
constexpr std::int64_t kWholeBody = std::numeric_limits<std::int64_t>::max();
// The beginning of a page kept for its preview; a page told in part is told as such.
constexpr qsizetype kPreviewBytes = qsizetype{1} << 20;
constexpr int kPicturesTold = 64;  // more than are ever fetched ahead
constexpr qsizetype kAnswersKept = 4096;
// Transfers at once up to which the plan is made again whenever a queue changed.
constexpr int kFewTransfers = 16;

// What a transfer's write returns for a picture it abandons for its size.
constexpr int kTooFewPixels = ECANCELED;

}  // namespace

struct FetchAhead::Held {
    QString url;
    bool page = false;
    int id = 0;
    std::unique_ptr<BodyFile> body;
    QByteArray head;  // the beginning of a page, written by the transfer, read once it ended
    std::optional<PagePreview::Pictures> told;
    // A picture whose size is looked for in its first bytes, until they tell it.
    bool sized = false;
    bool sizeUntold = false;
    std::optional<PictureSize> tooFew;  // written by the transfer, read once it ended
    // Guarded by the fetching ahead's byte lock:
    bool ahead = true;         // not the run's yet: its bytes count against the budget
    std::int64_t counted = 0;  // its bytes counted
    std::size_t heldBack = 0;  // the piece the budget held back, until it is resumed
};

namespace {

// Whether the next piece of a picture is still wanted: false once its first bytes tell that
// it is too small (held.tooFew), and from then on.
bool SizeAllows(FetchAhead::Held& held, const char* data, std::size_t size, int minWidth,
                int minHeight) {
    if (!held.sizeUntold) return !held.tooFew;
    held.head.append(data, static_cast<qsizetype>(
                               std::min<std::size_t>(size, kMostHeaderBytes - held.head.size())));
    PictureSize found;
    const SizeRead read = ReadPictureSize(held.head, &found);
    if (read == SizeRead::NeedMore && held.head.size() < kMostHeaderBytes) return true;
    held.sizeUntold = false;
    held.head = QByteArray();
    if (read == SizeRead::Found && (found.width < minWidth || found.height < minHeight))
        held.tooFew = found;
    return !held.tooFew;
}

// The result of a picture abandoned for its size says so, and nothing of it is the disk's.
void TellTooFew(const FetchAhead::Held& held, int minWidth, int minHeight, FetchResult& result) {
    if (!held.tooFew || result.outcome == FetchOutcome::Aborted) return;
    result.outcome = FetchOutcome::Failed;
    result.cause = FetchCause::Other;
    result.storageError = 0;
    result.tooFewPixels = true;
    const QString least = minHeight <= 0 ? QStringLiteral("narrower than %1").arg(minWidth)
                          : minWidth <= 0
                              ? QStringLiteral("lower than %1").arg(minHeight)
                              : QStringLiteral("under %1 × %2").arg(minWidth).arg(minHeight);
    result.error =
        QStringLiteral("%1 × %2 pixels, ").arg(held.tooFew->width).arg(held.tooFew->height) + least;
}

}  // namespace

FetchAhead::FetchAhead(Transfers& transfers, const UrlQueue& links, const UrlQueue& images,
                       Rules rules)
    : mTransfers(transfers), mLinks(links), mImages(images), mRules(std::move(rules)) {}

FetchAhead::~FetchAhead() {
    dropAll();
}

void FetchAhead::dropAll() {
    while (!mHeld.empty()) drop(mHeld.size() - 1);
}

void FetchAhead::finishHeld(const Fetcher::Progress& turn, std::int64_t mostMs) {
    QElapsedTimer clock;
    clock.start();
    const Fetcher::Progress bounded = [&] { return clock.elapsed() < mostMs && turn(); };
    for (const auto& held : mHeld)
        while (mTransfers.state(held->id) == Transfers::State::Running &&
               mTransfers.wait(held->id, bounded) == Transfers::Wait::Changed) {
        }
}

void FetchAhead::setAside(const Keep& keep) {
    for (std::size_t i = mHeld.size(); i-- > 0;) {
        Held& held = *mHeld[i];
        if (mTransfers.state(held.id) != Transfers::State::Ended) continue;
        const FetchResult result = mTransfers.release(held.id);
        uncount(held);
        // one abandoned for its size is left for a resumed run to abandon again
        if (result.outcome != FetchOutcome::Aborted && !held.tooFew && held.body->finish() == 0)
            keep(held.url, result, std::move(held.body));
        mHeld.erase(mHeld.begin() + static_cast<std::ptrdiff_t>(i));
    }
    dropAll();
}

void FetchAhead::drop(std::size_t index) {
    Held& held = *mHeld[index];
    mTransfers.release(held.id);
    uncount(held);
    if (mRules.onceKey) mRequested.remove(onceKey(held.url));  // never delivered to the run
    mHeld.erase(mHeld.begin() + static_cast<std::ptrdiff_t>(index));
}

std::int64_t FetchAhead::heldBytes() const {
    const std::lock_guard<std::mutex> lock(mBytesLock);
    return mBytesHeld;
}

// The transfers' thread's write of a body: one held ahead that would take the bytes held
// ahead past the budget is held back (its transfer paused) until they fit again.
int FetchAhead::writeAhead(Held& held, const char* data, std::size_t size) {
    if (!data) {  // a try again from the beginning
        held.head.clear();
        held.sizeUntold = held.sized;
        const int error = held.body->rewind();
        if (error == 0) uncountBytes(held);
        return error;
    }
    {
        const std::lock_guard<std::mutex> lock(mBytesLock);
        if (held.ahead && mBytesHeld + std::int64_t(size) > mRules.heldMostBytes) {
            held.heldBack = size;
            return EAGAIN;
        }
    }
    if (held.sized && !SizeAllows(held, data, size, mRules.minWidth, mRules.minHeight))
        return kTooFewPixels;
    const int written = held.body->write(data, size);
    if (written != 0) return written;
    {
        const std::lock_guard<std::mutex> lock(mBytesLock);
        if (held.ahead) {
            mBytesHeld += std::int64_t(size);
            held.counted += std::int64_t(size);
        }
    }
    if (held.page && held.head.size() < kPreviewBytes)
        held.head.append(data, std::min<qsizetype>(static_cast<qsizetype>(size),
                                                   kPreviewBytes - held.head.size()));
    return 0;
}

void FetchAhead::uncountBytes(Held& held) {
    const std::lock_guard<std::mutex> lock(mBytesLock);
    mBytesHeld -= held.counted;
    held.counted = 0;
}

// The body is no longer held ahead (the run takes it, or it goes): its bytes leave the budget.
// True when the budget held it back: it is to be resumed.
bool FetchAhead::uncount(Held& held) {
    const std::lock_guard<std::mutex> lock(mBytesLock);
    mBytesHeld -= held.counted;
    held.counted = 0;
    held.ahead = false;
    return std::exchange(held.heldBack, 0) > 0;
}

// The bodies held back go on, nearest to the run first, as far as the budget has room again.
void FetchAhead::resumeHeldBack() {
    for (const auto& held : mHeld) {
        {
            const std::lock_guard<std::mutex> lock(mBytesLock);
            if (held->heldBack == 0) continue;
            if (mBytesHeld + std::int64_t(held->heldBack) > mRules.heldMostBytes) return;
            held->heldBack = 0;
        }
        mTransfers.resume(held->id);
    }
}

bool FetchAhead::heldBack(const Held& held) const {
    const std::lock_guard<std::mutex> lock(mBytesLock);
    return held.heldBack > 0;
}

void FetchAhead::rulesChanged() {
    mTakes.clear();
    mPlanned.reset();
}

bool FetchAhead::takes(const QString& url, bool page) {
    // Keyed by the URL alone, as the plan asks this of every entry it lists, each time.
    const quint8 asked = page ? 1 : 4;
    const quint8 taken = page ? 2 : 8;
    const auto known = mTakes.constFind(url);
    if (known != mTakes.constEnd() && (*known & asked)) return *known & taken;
    const bool take = !mRules.take || mRules.take(url, page);
    if (mTakes.size() >= kAnswersKept) mTakes.clear();
    mTakes[url] |= asked | (take ? taken : 0);
    return take;
}

const PagePreview::Pictures* FetchAhead::picturesOf(const QString& pageUrl) {
    if (!mRules.tellsPictures) return nullptr;
    for (const auto& held : mHeld) {
        if (!held->page || held->url != pageUrl) continue;
        if (!held->told) {
            if (mTransfers.state(held->id) != Transfers::State::Ended) continue;
            held->told = mPreview.pictures(held->head, pageUrl, kPicturesTold);
            if (held->body->size() > held->head.size()) held->told->whole = false;
        }
        return &*held->told;
    }
    return nullptr;
}

// What the run will ask for next, in its order: the pictures queued (the first is the one it
// works on), then the pages after the current one; with no pictures queued, the current page
// comes first. A page whose pictures can be told (its body is here) is followed by them, as its
// scan will queue them right there; up to the first page that cannot be told, the order is
// settled: what the run finds meanwhile queues behind. Entries the rules pass over are left out.
std::vector<FetchAhead::Entry> FetchAhead::next(int max, int* settled) {
    std::vector<Entry> next;
    const auto add = [&](const QString& url, bool page) {
        if (!takes(url, page)) return false;
        next.push_back({url, page});
        return true;
    };
    const auto full = [&] { return static_cast<int>(next.size()) >= max; };
    for (int i = 0; i < mImages.count() && !full(); ++i) add(mImages.entry(i), false);
    *settled = static_cast<int>(next.size());
    QSet<QString> toldKeys;  // a picture told by two pages is queued by the first only
    bool told = true;        // every page listed so far is followed by all of its pictures
    for (int i = mImages.count() > 0 ? 1 : 0; i < mLinks.count() && !full(); ++i) {
        const QString page = mLinks.entry(i);
        if (!add(page, true) || !told) continue;
        *settled = static_cast<int>(next.size());
        const PagePreview::Pictures* pictures = picturesOf(page);
        if (!pictures) {
            told = false;
            // Its body tells what comes after it: it goes right after the entry under way.
            if (next.size() > 2) std::rotate(next.begin() + 1, next.end() - 1, next.end());
            continue;
        }
        for (const QString& picture : pictures->urls) {
            if (full()) break;
            if (!mRules.admitsPicture || !mRules.admitsPicture(picture)) continue;
            if (mRules.onceKey) {
                const QString key = onceKey(picture);
                if (toldKeys.contains(key)) continue;
                toldKeys.insert(key);
            }
            add(picture, false);
        }
        *settled = static_cast<int>(next.size());
        told = pictures->whole;
    }
    return next;
}

// Held beyond what is listed: kept while its entry is still queued further on, so that it is
// not requested again; gone when the entry left the queues. What is held, by URL, the entry
// under way included.
QHash<QString, int> FetchAhead::keepListed(const std::vector<Entry>& next) {
    QHash<QString, int> wanted;
    wanted.reserve(static_cast<qsizetype>(next.size()));
    for (const Entry& entry : next) ++wanted[entry.url];
    QHash<QString, int> held;
    held.reserve(static_cast<qsizetype>(mHeld.size()) + 1);
    if (!mCurrent.isEmpty()) ++held[mCurrent];
    for (const auto& h : mHeld) ++held[h->url];
    for (std::size_t i = mHeld.size(); i-- > 0;) {
        const QString url = mHeld[i]->url;
        if (held[url] <= wanted.value(url)) continue;
        --held[url];
        if (!mLinks.contains(url) && !mImages.contains(url)) drop(i);
    }
    return held;
}

// Brings the transfers held ahead in line with what the run will ask for next, when a queue, a
// transfer or the rules changed since the last plan. The first entries not yet covered start
// while connections are free. Entries that keep their places start as connections free up; the
// others, which a page scan may push back, only within Connections + 1 places of the run and
// at most half the connections of them: further on they would be pushed back, or hold the
// connections the pictures of the next page need. The bytes held ahead are kept within the
// budget: no more starts while they are over it.
void FetchAhead::plan() {
    const int connections = mTransfers.connections();
    const std::pair<quint64, quint64> seen{mLinks.revision(), mImages.revision()};
    if (connections <= 1) return;
    resumeHeldBack();
    if (mPlanned == seen || !roomToStart(connections)) return;
    mPlanned = seen;
    int settled = 0;
    // Over connections that multiplex, no more is listed than could be held.
    const int listed =
        connections > kFewTransfers ? 2 * connections + connections / 4 : 4 * connections;
    const std::vector<Entry> next = this->next(listed, &settled);
    QHash<QString, int> covered = keepListed(next);
    // The entry the run waits for always has a connection of its own: a body held back by the
    // budget keeps its connection until the run gets to it.
    int inFlight = mCurrent.isEmpty() ? 0 : 1;
    bool currentSeen = false;  // the held transfer it takes, when there is one
    for (const auto& h : mHeld) {
        const Transfers::State state = mTransfers.state(h->id);
        if (!currentSeen && h->url == mCurrent)
            currentSeen = true;
        else
            inFlight += state != Transfers::State::Ended ? 1 : 0;
        mRoomShort = mRoomShort || (state == Transfers::State::NeedsRoom && !heldBack(*h));
    }
    // nothing starts while a body waits for the budget: it would only wait too
    const bool budgetFull =
        heldBytes() >= mRules.heldMostBytes ||
        std::any_of(mHeld.begin(), mHeld.end(), [this](const auto& h) { return heldBack(*h); });
    const int movableMost = std::max(2, connections / 2);
    int movable = 0;  // entries past the settled ones, the run's current one aside
    for (int i = 0; i < static_cast<int>(next.size()); ++i) {
        if (i >= settled && (i > connections || (i > 0 && ++movable > movableMost))) break;
        const auto& [url, page] = next[i];
        if (covered.value(url) > 0) {
            --covered[url];
            continue;
        }
        if (mRoomShort || budgetFull || inFlight >= connections) break;
        // only web URLs are fetched ahead: file: stays a matter of the run's own fetches
        if (!IsWebUrl(url) || !NameableExtension(GetExtension(url))) continue;
        if (mRules.onceKey && mRequested.contains(onceKey(url))) continue;
        int error = 0;
        std::unique_ptr<Held> ahead =
            begin(url, page, mRules.digest && mRules.digest(page), true, &error);
        if (!ahead) break;  // no file to be had: the run's own attempt tells why
        mHeld.push_back(std::move(ahead));
        ++inFlight;
    }
}

// With many transfers in flight (connections that multiplex), the plan waits until several may
// start: made again for each one, it would cost the run's thread more than the transfers do.
bool FetchAhead::roomToStart(int connections) {
    if (connections <= kFewTransfers) return true;
    int inFlight = mCurrent.isEmpty() ? 0 : 1;
    for (const auto& h : mHeld) inFlight += mTransfers.state(h->id) != Transfers::State::Ended;
    return std::min(connections - inFlight, 2 * connections - held()) >= connections / 8;
}

std::unique_ptr<FetchAhead::Held> FetchAhead::begin(const QString& url, bool page, bool digest,
                                                    bool ahead, int* error) {
    auto held = std::make_unique<Held>();
    held->url = url;
    held->page = page;
    held->ahead = ahead;
    held->body = std::make_unique<BodyFile>(CurrentRunStorage(), digest);
    if ((*error = held->body->create(gRunFolder))) return nullptr;
    held->sized = held->sizeUntold = !page && (mRules.minWidth > 0 || mRules.minHeight > 0);
    Held* raw = held.get();
    held->id = mTransfers.start(url, kWholeBody, [this, raw](const char* data, std::size_t size) {
        return writeAhead(*raw, data, size);
    });
    if (mRules.onceKey) mRequested.insert(onceKey(url));
    return held;
}

// heldOn: set when a stop came with the answer all here; it is then not let go, so that a stop
// may keep it (setAside).
FetchResult FetchAhead::await(int id, const Fetcher::Progress& progress, bool* heldOn) {
    // A body that found the disk full while it was held ahead tries again as it is: the room
    // may have been given back since. Then only a drop of the bodies held ahead makes it try
    // again; nothing more starts ahead until it is through.
    bool retried = false;
    for (;;) {
        const Transfers::Wait waited = mTransfers.wait(id, progress);
        if (waited == Transfers::Wait::Stopped) {
            const bool ended = heldOn && mTransfers.state(id) == Transfers::State::Ended;
            if (heldOn) *heldOn = ended;
            FetchResult result = ended ? FetchResult() : mTransfers.release(id);
            result.outcome = FetchOutcome::Aborted;
            result.storageError = 0;  // a cancel, whatever the disk said
            result.error = QStringLiteral("aborted");
            return result;
        }
        if (waited == Transfers::Wait::Changed) {
            mPlanned.reset();
            plan();
            continue;
        }
        if (mTransfers.state(id) != Transfers::State::NeedsRoom) break;
        mRoomShort = true;
        if (mHeld.empty() && std::exchange(retried, true)) break;  // its storageError tells
        dropAll();
        mTransfers.resume(id);
    }
    return mTransfers.release(id);
}

// Redirects the pool left to the run lead only where the rules let a queued entry lead, and
// never further than the pool would have gone by itself.
FetchedBody FetchAhead::fetch(const QString& url, bool page, bool digest,
                              const Fetcher::Progress& progress) {
    constexpr int kMostRedirects = 10;
    FetchedBody fetched = fetchOne(url, page, digest, progress);
    for (int hops = 0; !fetched.result.redirect.isEmpty(); ++hops) {
        const QString to = fetched.result.redirect;
        if (hops >= kMostRedirects || !IsWebUrl(to) || !mRules.followTo ||
            !mRules.followTo(to, page)) {
            fetched.body.reset();
            fetched.result.outcome = FetchOutcome::Failed;
            fetched.result.cause = FetchCause::Other;
            fetched.result.error = QStringLiteral("redirect to %1 not followed").arg(to);
            break;
        }
        fetched = fetchOne(to, page, digest, progress);
        if (fetched.result.url.isEmpty()) fetched.result.url = to;
    }
    mLast = fetched.result;
    return fetched;
}

FetchedBody FetchAhead::fetchOne(const QString& url, bool page, bool digest,
                                 const Fetcher::Progress& progress) {
    FetchedBody fetched;
    if (!mRules.files.mayFetch(url)) {
        fetched.result.error = QStringLiteral("file: refused");
        return fetched;
    }
    mCurrent = url;
    plan();
    std::unique_ptr<Held> held;
    const auto ahead =
        std::find_if(mHeld.begin(), mHeld.end(), [&url](const auto& h) { return h->url == url; });
    if (ahead != mHeld.end()) {
        held = std::move(*ahead);
        mHeld.erase(ahead);
        if (uncount(*held)) mTransfers.resume(held->id);
        resumeHeldBack();
    } else {
        held = begin(url, page, digest, false, &fetched.result.storageError);
    }
    if (held) {
        bool heldOn = false;
        fetched.result = await(held->id, progress, &heldOn);
        TellTooFew(*held, mRules.minWidth, mRules.minHeight, fetched.result);
        mRoomShort = false;
        if (heldOn)
            mHeld.push_back(std::move(held));
        else
            fetched.body = std::move(held->body);
    }
    mCurrent.clear();
    return fetched;
}

FetchResult FetchAhead::fetchSmall(const QString& url, std::int64_t maxBytes, QByteArray* body,
                                   const Fetcher::Progress& progress) {
    const int id = mTransfers.start(url, maxBytes, [body](const char* data, std::size_t size) {
        if (!data) body->clear();  // a try again from the beginning
        body->append(data, static_cast<qsizetype>(size));
        return 0;
    });
    mCurrent = url;
    mLast = await(id, progress);
    mCurrent.clear();
    return mLast;
}
