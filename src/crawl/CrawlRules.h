#pragma once
// The opt-in rules that let a crawl end: a URL fetched at most once, pages kept to the start
// URL's host or folder, robots.txt honoured. With every rule off, nothing is passed over.

#include <QHash>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

#include "core/CrawlOptions.h"
#include "core/UrlText.h"
#include "crawl/RobotsTxt.h"

class CrawlRules {
public:
    // Fetches a robots.txt; nothing when no answer came at all.
    using RobotsFetch = std::function<std::optional<RobotsAnswer>(const QString& robotsUrl)>;

    CrawlRules(const CrawlOptions& options, const QString& startUrl);

    // True when some rule may pass over a reference, so the scan needs to ask.
    bool filters() const { return mOptions.noRevisit || mOptions.scope != CrawlScope::All; }

    // At the scan's append of a new reference: false keeps it out of its queue.
    bool admit(const QString& url, bool page);

    // When an entry is taken from its queue: false passes over it without a fetch.
    bool take(const QString& url, const RobotsFetch& fetchRobots);

    // True when a redirect must meet the rules before it is followed.
    bool checksRedirects() const { return filters() || mOptions.robots; }
    // Whether a redirect may lead to url: as if it had been queued (a page in scope) and taken.
    bool follow(const QString& url, bool page, const RobotsFetch& fetchRobots) {
        return (!page || inScope(UrlKey(url))) && take(url, fetchRobots);
    }

    // What take() would answer, as far as is known without fetching anything and without
    // marking the URL taken: a host whose robots.txt is not read yet counts as a no. For
    // fetching ahead, which must never fetch what the run will pass over.
    bool wouldTake(const QString& url) const;

    // What admit() would answer, without marking the entry queued: for the pictures and pages a
    // page fetched ahead will queue.
    bool wouldAdmit(const QString& url, bool page) const;
    bool fetchesOnce() const { return mOptions.noRevisit; }
    // NoRevisit: URL keys fetched by the runs this one resumes, neither queued nor fetched again.
    void remember(const QSet<QString>& keys) {
        if (!mOptions.noRevisit) return;
        mQueued.unite(keys);
        mFetched.unite(keys);
    }

private:
    bool inScope(const QString& key) const;
    bool robotsAllow(const QString& url, const RobotsFetch& fetchRobots);

    CrawlOptions mOptions;
    QString mStartHost;
    QString mStartFolder;               // key of the start URL up to its last "/"
    QSet<QString> mQueued;              // keys queued or fetched in this run
    QSet<QString> mFetched;             // keys taken in this run
    QHash<QString, RobotsTxt> mRobots;  // per "scheme://host:port"
};
