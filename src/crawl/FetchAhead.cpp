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
#include "crawl/FetchAheadHeld.h"
#include "crawl/PictureSize.h"

namespace {

// The bodies' own cap is the transfer's.
constexpr std::int64_t kWholeBody = std::numeric_limits<std::int64_t>::max();
// The beginning of a page kept for its preview; a page told in part is told as such.
constexpr qsizetype kPreviewBytes = qsizetype{1} << 20;

// What a transfer's write returns for a picture it abandons for its size.
constexpr int kTooFewPixels = ECANCELED;

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
        if (stateOf(held) != Transfers::State::Ended) continue;
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

// A transfer thread's write of a body: one held ahead that would take the bytes held
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
        // The piece is counted before it is written: the other transfer thread's bodies are
        // held to the budget meanwhile.
        const std::lock_guard<std::mutex> lock(mBytesLock);
        if (held.ahead && mBytesHeld + std::int64_t(size) > mRules.heldMostBytes) {
            if (held.heldBack == 0) ++mHeldBack;
            held.heldBack = size;
            return EAGAIN;
        }
        if (held.ahead) {
            mBytesHeld += std::int64_t(size);
            held.counted += std::int64_t(size);
        }
    }
    const auto unwritten = [&](int error) {
        const std::lock_guard<std::mutex> lock(mBytesLock);
        if (held.ahead) {  // else the run took the body, and its count with it
            mBytesHeld -= std::int64_t(size);
            held.counted -= std::int64_t(size);
        }
        return error;
    };
    if (held.sized && !SizeAllows(held, data, size, mRules.minWidth, mRules.minHeight))
        return unwritten(kTooFewPixels);
    if (const int written = held.body->write(data, size)) return unwritten(written);
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
    if (std::exchange(held.heldBack, 0) == 0) return false;
    --mHeldBack;
    return true;
}

// The bodies held back go on, nearest to the run first, as far as the budget has room again.
void FetchAhead::resumeHeldBack() {
    for (const auto& held : mHeld) {
        {
            const std::lock_guard<std::mutex> lock(mBytesLock);
            if (mHeldBack == 0) return;
            if (held->heldBack == 0) continue;
            if (mBytesHeld + std::int64_t(held->heldBack) > mRules.heldMostBytes) return;
            held->heldBack = 0;
            --mHeldBack;
        }
        mTransfers.resume(held->id);
    }
}

Transfers::State FetchAhead::stateOf(Held& held) {
    if (held.ended) return Transfers::State::Ended;
    const Transfers::State state = mTransfers.state(held.id);
    held.ended = state == Transfers::State::Ended;
    return state;
}

bool FetchAhead::heldBack(const Held& held) const {
    const std::lock_guard<std::mutex> lock(mBytesLock);
    return held.heldBack > 0;
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
    mTransfers.hurry(id);
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
