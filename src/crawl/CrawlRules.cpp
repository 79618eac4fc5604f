#include "crawl/CrawlRules.h"

#include <QStringList>

namespace {

const QString kAgent = QStringLiteral("SiteRambler");

// "scheme://host:port" of a key, where its robots.txt lives.
QString Origin(const QString& key) {
    const qsizetype scheme = key.indexOf(u"://");
    qsizetype end = scheme + 3;
    while (end < key.size() && key[end] != u'/' && key[end] != u'?') ++end;
    return key.left(end);
}

}  // namespace

CrawlRules::CrawlRules(const CrawlOptions& options, const QString& startUrl)
    : mOptions(options), mStartHost(UrlHost(startUrl)) {
    const UrlParts start = SplitUrl(UrlKey(startUrl));
    QString folder = UrlKey(startUrl);
    folder.truncate(folder.size() - start.query.size());
    mStartFolder = folder.left(folder.lastIndexOf(u'/') + 1);
}

bool CrawlRules::inScope(const QString& key) const {
    switch (mOptions.scope) {
        case CrawlScope::Host:
            return UrlHost(key) == mStartHost;
        case CrawlScope::Folder:
            return !mStartFolder.isEmpty() && key.startsWith(mStartFolder);
        case CrawlScope::All:
            break;
    }
    return true;
}

bool CrawlRules::admit(const QString& url, bool page) {
    if (!filters()) return true;
    const QString key = UrlKey(url);
    if (page && !inScope(key)) return false;
    if (!mOptions.noRevisit) return true;
    if (mQueued.contains(key)) return false;
    mQueued.insert(key);
    return true;
}

bool CrawlRules::wouldAdmit(const QString& url, bool page) const {
    if (!filters()) return true;
    const QString key = UrlKey(url);
    return (!page || inScope(key)) && (!mOptions.noRevisit || !mQueued.contains(key));
}

bool CrawlRules::take(const QString& url, const RobotsFetch& fetchRobots) {
    if (mOptions.noRevisit) {
        const QString key = UrlKey(url);
        if (mFetched.contains(key)) return false;
        mFetched.insert(key);
        mQueued.insert(key);
    }
    return !mOptions.robots || robotsAllow(url, fetchRobots);
}

bool CrawlRules::wouldTake(const QString& url) const {
    if (mOptions.noRevisit && mFetched.contains(UrlKey(url))) return false;
    if (!mOptions.robots || !IsWebUrl(url)) return true;
    const auto known = mRobots.constFind(Origin(UrlKey(url)));
    return known != mRobots.cend() && known->allows(RobotsPath(url));
}

bool CrawlRules::robotsAllow(const QString& url, const RobotsFetch& fetchRobots) {
    if (!IsWebUrl(url)) return true;
    const QString origin = Origin(UrlKey(url));
    auto known = mRobots.find(origin);
    if (known == mRobots.end()) {
        // Fetched once per host and run; no answer at all forbids nothing.
        const std::optional<RobotsAnswer> answer =
            fetchRobots ? fetchRobots(origin + QStringLiteral("/robots.txt")) : std::nullopt;
        known =
            mRobots.insert(origin, answer ? RobotsTxt::FromAnswer(*answer, kAgent) : RobotsTxt());
    }
    return known->allows(RobotsPath(url));
}
