#pragma once
// The run's fetches, with the entries it will ask for next fetched ahead while it works: the
// queued pictures, the pages after the current one, and the pictures and pages a page fetched
// ahead will queue (told by its preview). Each body goes straight into the file that takes its
// numbered name when the run gets to it; a result fetched ahead, failed or not, is the one the run
// gets.
//
// The rules are asked once per URL and the answer is kept (until a robots.txt arrives); the
// plan is made again only when a queue, a transfer or the rules changed. A URL is requested no
// more often than the entries that will take it, and once per run when each is fetched once
// (NoRevisit). A pool of one fetches only what the run asks for.

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "core/CrawlOptions.h"
#include "crawl/Download.h"
#include "crawl/Fetcher.h"
#include "crawl/PagePreview.h"
#include "crawl/Transfers.h"

class BodyFile;
class UrlQueue;

class FetchAhead {
public:
    struct Rules {
        // Whether the run will fetch the entry when it comes to it, as far as is known now.
        std::function<bool(const QString& url, bool page)> take;
        // Whether a page's scan would queue this entry; null: nothing a preview tells is fetched.
        std::function<bool(const QString& url, bool page)> admits;
        // The key two URLs are the same by, when each is requested at most once per run; null
        // otherwise.
        std::function<QString(const QString& url)> onceKey;
        // Whether the body's SHA-256 is wanted for an entry of this kind.
        std::function<bool(bool page)> digest;
        // Whether a redirect the pool did not follow may lead to url, checked as the run checks a
        // queued entry it takes (a robots.txt may be read for it); null: no redirect is followed.
        std::function<bool(const QString& url, bool page)> followTo;
        FileUrlPolicy files;        // which file: URLs are fetched
        bool tellsPictures = true;  // a page's pictures are told from its body ahead of its scan
        // The bytes all bodies held ahead may take on the disk together: beyond it the
        // fetching ahead waits. The body the run waits for is never held back by it.
        std::int64_t heldMostBytes = std::int64_t{256} << 20;
        // A picture narrower or lower than this is abandoned once its first bytes tell its size
        // (tooFewPixels); 0: any.
        int minWidth = gCrawlOptions.minWidth;
        int minHeight = gCrawlOptions.minHeight;
    };

    FetchAhead(Transfers& transfers, const UrlQueue& links, const UrlQueue& images, Rules rules);
    ~FetchAhead();
    FetchAhead(const FetchAhead&) = delete;
    FetchAhead& operator=(const FetchAhead&) = delete;

    // The body of the run's current entry in its file: fetched ahead, or fetched now. progress
    // is the turn of every wait; false aborts.
    FetchedBody fetch(const QString& url, bool page, bool digest,
                      const Fetcher::Progress& progress);
    // Fetches url into body, at most maxBytes of it.
    FetchResult fetchSmall(const QString& url, std::int64_t maxBytes, QByteArray* body,
                           const Fetcher::Progress& progress);
    // The rules' answers may have changed (a robots.txt was read).
    void rulesChanged();
    // Lets every transfer held ahead go.
    void dropAll();
    // The run stops at a limit: the transfers held ahead that still run may end, for up to
    // mostMs while turn lets them, so that what they asked for need not be asked for again.
    void finishHeld(const Fetcher::Progress& turn, std::int64_t mostMs);
    // The run stops: each transfer held ahead that ended, failed or not, goes to keep with its
    // answer and body; then every one goes.
    using Keep = std::function<void(const QString& url, const FetchResult& result,
                                    std::unique_ptr<BodyFile> body)>;
    void setAside(const Keep& keep);
    // The result of the latest fetch, for the crawl's record.
    const FetchResult& last() const { return mLast; }
    // Transfers started ahead and not yet taken (for tests).
    int held() const { return static_cast<int>(mHeld.size()); }
    // The bytes their bodies hold now.
    std::int64_t heldBytes() const;

    struct Held;  // a transfer started for an entry, and what it brought so far

private:
    struct Entry {
        QString url;
        bool page = false;
    };

    void plan();
    bool roomToStart(int connections);
    std::vector<Entry> next(int max, int* settled);
    void startListed(const std::vector<Entry>& next, int settled, std::vector<bool>& covered,
                     int inFlight);
    std::vector<bool> keepListed(const std::vector<Entry>& next);
    bool takes(const QString& url, bool page);
    const PagePreview::Told* toldOf(Held& held);
    std::unique_ptr<Held> begin(const QString& url, bool page, bool digest, bool ahead, int* error);
    FetchedBody fetchOne(const QString& url, bool page, bool digest,
                         const Fetcher::Progress& progress);
    FetchResult await(int id, const Fetcher::Progress& progress, bool* heldOn = nullptr);
    void drop(std::size_t index);
    int writeAhead(Held& held, const char* data, std::size_t size);
    void uncountBytes(Held& held);
    bool uncount(Held& held);
    bool heldBack(const Held& held) const;
    // Its transfer's state, without asking the pool again once it ended: the plan asks this of
    // every transfer held, each time, and the pool answers under the lock its thread works in.
    Transfers::State stateOf(Held& held);
    void resumeHeldBack();
    QString onceKey(const QString& url) const { return mRules.onceKey ? mRules.onceKey(url) : url; }

    Transfers& mTransfers;
    const UrlQueue& mLinks;
    const UrlQueue& mImages;
    Rules mRules;
    std::vector<std::unique_ptr<Held>> mHeld;  // in the order they started
    QHash<QString, quint8> mTakes;             // the rules' answers by URL: per kind, asked, taken
    QSet<QString> mRequested;                  // keys requested this run, when each goes once
    PagePreview mPreview;
    // The queues' revisions the last plan saw; forgotten when a transfer or the rules change.
    std::optional<std::pair<quint64, quint64>> mPlanned;
    QString mCurrent;         // the URL the run waits for
    bool mRoomShort = false;  // the disk is full: nothing more starts ahead for now
    // What the bodies held ahead take together; written by the transfer threads, given back
    // by the run's. Guards every Held's count too.
    mutable std::mutex mBytesLock;
    std::int64_t mBytesHeld = 0;
    int mHeldBack = 0;  // bodies the budget holds back now (under the same lock)
    FetchResult mLast;
};
