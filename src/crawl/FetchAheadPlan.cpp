// The plan of the fetching ahead: what the run will ask for next, and which of it starts now.

#include <QSet>
#include <algorithm>

#include "core/UrlQueue.h"
#include "crawl/CrawlRun.h"
#include "crawl/FetchAhead.h"
#include "crawl/FetchAheadHeld.h"

namespace {

constexpr int kPagesTold = 64;  // pictures, and pages: more than are ever fetched ahead of a page
constexpr qsizetype kAnswersKept = 4096;
// Transfers at once up to which the plan is made again whenever a queue changed.
constexpr int kFewTransfers = 16;

}  // namespace

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

const PagePreview::Told* FetchAhead::toldOf(Held& held) {
    if (!held.told) {
        if (stateOf(held) != Transfers::State::Ended) return nullptr;
        held.told = mPreview.tell(held.head, held.url, kPagesTold);
        if (held.body->size() > held.head.size()) held.told->whole = false;
    }
    return &*held.told;
}

// What the run will ask for next, in its order: the pictures queued (the first is the one it
// works on), then the pages after the current one, then the pages their scans will queue; with
// no pictures queued, the current page comes first. A page whose body is here is followed by the
// pictures its scan will queue right there, and its pages go to the end of the list, as they
// will go to the end of the queue. Up to the first page that cannot be told, the order is
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
    QHash<QString, Held*> heldPages;  // the first transfer held for each page
    for (const auto& h : mHeld)
        if (h->page && mRules.tellsPictures && !heldPages.contains(h->url))
            heldPages.insert(h->url, h.get());
    // A page told by two pages is queued by the first only: it is still queued when the
    // second is scanned, and a scan passes over what its queue holds. A picture is queued again
    // unless each is fetched once.
    QSet<QString> toldPages;
    QSet<QString> toldPictures;
    std::vector<QString> found;  // pages the scans of the pages listed will queue, in order
    const auto tellPage = [&](const QString& page) {
        if (!mRules.admits || !mRules.admits(page, true) || mLinks.contains(page)) return;
        const QString key = onceKey(page);
        if (toldPages.contains(key)) return;
        toldPages.insert(key);
        found.push_back(page);
    };
    const auto tellPicture = [&](const QString& picture) {
        if (!mRules.admits || !mRules.admits(picture, false)) return;
        if (mRules.onceKey) {
            const QString key = onceKey(picture);
            if (toldPictures.contains(key)) return;
            toldPictures.insert(key);
        }
        add(picture, false);
    };
    // Every page listed so far is followed by all it will queue. Past the first that is not,
    // what the others tell is listed still, its place no longer settled.
    bool told = true;
    const int queued = mLinks.count();
    for (int i = mImages.count() > 0 ? 1 : 0; !full(); ++i) {
        if (i >= queued && i - queued >= static_cast<int>(found.size())) break;
        const QString page = i < queued ? mLinks.entry(i) : found[std::size_t(i - queued)];
        if (!add(page, true)) continue;
        if (told) *settled = static_cast<int>(next.size());
        Held* held = heldPages.value(page);
        const PagePreview::Told* what = held ? toldOf(*held) : nullptr;
        if (!what) {
            // Its body tells what comes after it: it goes right after the entry under way.
            if (told && next.size() > 2) std::rotate(next.begin() + 1, next.end() - 1, next.end());
            told = false;
            continue;
        }
        for (const QString& picture : what->pictures) {
            if (full()) break;
            tellPicture(picture);
        }
        for (const QString& link : what->pages) tellPage(link);
        if (told) *settled = static_cast<int>(next.size());
        told = told && what->whole;
    }
    return next;
}

// Which entries listed a held transfer covers, each held one covering the first entry of its URL
// not yet covered (the entry under way included). Held beyond what is listed: kept while its
// entry is still queued further on, so that it is not requested again; gone when the entry left
// the queues.
std::vector<bool> FetchAhead::keepListed(const std::vector<Entry>& next) {
    QHash<QString, int> held;  // then those beyond what is listed
    held.reserve(static_cast<qsizetype>(mHeld.size()) + 1);
    if (!mCurrent.isEmpty()) ++held[mCurrent];
    for (const auto& h : mHeld) ++held[h->url];
    std::vector<bool> covered(next.size());
    for (std::size_t i = 0; i < next.size(); ++i) {
        const auto it = held.find(next[i].url);
        if (it == held.end() || *it == 0) continue;
        --*it;
        covered[i] = true;
    }
    for (std::size_t i = mHeld.size(); i-- > 0;) {
        const QString url = mHeld[i]->url;
        const auto it = held.find(url);
        if (it == held.end() || *it == 0) continue;
        --*it;
        if (!mLinks.contains(url) && !mImages.contains(url)) drop(i);
    }
    return covered;
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
    std::vector<bool> covered = keepListed(next);
    // The entry the run waits for always has a connection of its own: a body held back by the
    // budget keeps its connection until the run gets to it.
    int inFlight = mCurrent.isEmpty() ? 0 : 1;
    bool currentSeen = false;  // the held transfer it takes, when there is one
    for (const auto& h : mHeld) {
        const Transfers::State state = stateOf(*h);
        if (!currentSeen && h->url == mCurrent)
            currentSeen = true;
        else
            inFlight += state != Transfers::State::Ended ? 1 : 0;
        mRoomShort = mRoomShort || (state == Transfers::State::NeedsRoom && !heldBack(*h));
    }
    // nothing starts while a body waits for the budget: it would only wait too
    const bool budgetFull = [this] {
        const std::lock_guard<std::mutex> lock(mBytesLock);
        return mBytesHeld >= mRules.heldMostBytes || mHeldBack > 0;
    }();
    if (!mRoomShort && !budgetFull) startListed(next, settled, covered, inFlight);
}

// Starts the entries listed that no transfer held covers yet, while connections are free:
// first the pages, anywhere in the list, then all within the window of places, each pass in the
// run's order. A page tells what lies further on, so that behind a slow server its answer is the
// one most worth having early.
void FetchAhead::startListed(const std::vector<Entry>& next, int settled,
                             std::vector<bool>& covered, int inFlight) {
    const int connections = mTransfers.connections();
    const int movableMost = std::max(2, connections / 2);
    for (const bool pagesOnly : {true, false}) {
        int movable = 0;  // entries past the settled ones, the run's current one aside
        for (int i = 0; i < static_cast<int>(next.size()); ++i) {
            const auto& [url, page] = next[i];
            // a page is worth having however far its place may move: the window binds pictures
            if (!pagesOnly && i >= settled &&
                (i > connections || (i > 0 && ++movable > movableMost)))
                break;
            if (covered[std::size_t(i)] || (pagesOnly && !page)) continue;
            if (inFlight >= connections) return;
            // only web URLs are fetched ahead: file: stays a matter of the run's own fetches
            if (!IsWebUrl(url) || !NameableExtension(GetExtension(url))) continue;
            if (mRules.onceKey && mRequested.contains(onceKey(url))) continue;
            int error = 0;
            std::unique_ptr<Held> ahead =
                begin(url, page, mRules.digest && mRules.digest(page), true, &error);
            if (!ahead) return;  // no file to be had: the run's own attempt tells why
            mHeld.push_back(std::move(ahead));
            ++inFlight;
            covered[std::size_t(i)] = true;
        }
    }
}

// With many transfers in flight (connections that multiplex), the plan waits until several may
// start: made again for each one, it would cost the run's thread more than the transfers do.
bool FetchAhead::roomToStart(int connections) {
    if (connections <= kFewTransfers) return true;
    int inFlight = mCurrent.isEmpty() ? 0 : 1;
    for (const auto& h : mHeld) inFlight += stateOf(*h) != Transfers::State::Ended;
    return std::min(connections - inFlight, 2 * connections - held()) >= connections / 8;
}
