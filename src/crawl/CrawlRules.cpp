#include "crawl/CrawlRules.h"

#include <QStringList>

namespace {

const QString kAgent = QStringLiteral("SiteRambler");

struct UrlParts {
    QString scheme;     // lower case, without ":"
    QString authority;  // user, host and port as written
    QString path;       // from the first "/" up to "?"
    QString query;      // from "?" on
    bool hasAuthority = false;
};

UrlParts Split(const QString& url) {
    UrlParts p;
    QString rest = url;
    const qsizetype hash = rest.indexOf(u'#');
    if (hash >= 0) rest.truncate(hash);
    const qsizetype scheme = rest.indexOf(u"://");
    qsizetype from = 0;
    if (scheme > 0) {
        p.scheme = rest.left(scheme).toLower();
        p.hasAuthority = true;
        from = scheme + 3;
        qsizetype end = from;
        while (end < rest.size() && rest[end] != u'/' && rest[end] != u'?') ++end;
        p.authority = rest.mid(from, end - from);
        from = end;
    }
    const qsizetype query = rest.indexOf(u'?', from);
    p.path = query < 0 ? rest.mid(from) : rest.mid(from, query - from);
    if (query >= 0) p.query = rest.mid(query);
    return p;
}

// Host and port in lower case, the scheme's own port dropped.
QString NormalAuthority(const UrlParts& p) {
    const qsizetype at = p.authority.lastIndexOf(u'@');
    const QString user = at < 0 ? QString() : p.authority.left(at + 1);
    QString hostPort = p.authority.mid(at + 1).toLower();
    static const QHash<QString, QString> kDefaultPorts = {
        {QStringLiteral("http"), QStringLiteral(":80")},
        {QStringLiteral("https"), QStringLiteral(":443")},
        {QStringLiteral("ftp"), QStringLiteral(":21")}};
    const QString port = kDefaultPorts.value(p.scheme);
    if (!port.isEmpty() && hostPort.endsWith(port)) hostPort.chop(port.size());
    if (hostPort.endsWith(u':')) hostPort.chop(1);
    return user + hostPort;
}

// "a//b/./c/../d" -> "a/b/d"; a final "/", "." or ".." leaves the path ending in "/".
QString NormalPath(const QString& path) {
    if (path.isEmpty()) return path;
    const bool rooted = path.startsWith(u'/');
    const QStringList pieces = path.split(u'/');
    QStringList kept;
    bool folder = false;
    for (const QString& piece : pieces) {
        folder = piece.isEmpty() || piece == u"." || piece == u"..";
        if (piece == u"..") {
            if (!kept.isEmpty()) kept.removeLast();
        } else if (!folder) {
            kept << piece;
        }
    }
    QString out = rooted ? QStringLiteral("/") : QString();
    out += kept.join(u'/');
    if (folder && !kept.isEmpty()) out += u'/';
    return out;
}

bool IsWebUrl(const QString& url) {
    return url.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
           url.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}

// "scheme://host:port" of a key, where its robots.txt lives.
QString Origin(const QString& key) {
    const qsizetype scheme = key.indexOf(u"://");
    qsizetype end = scheme + 3;
    while (end < key.size() && key[end] != u'/' && key[end] != u'?') ++end;
    return key.left(end);
}

bool IsAsciiLowerOrOther(QStringView text) {
    for (const QChar c : text)
        if (c.unicode() > 0x7F || (c >= u'A' && c <= u'Z')) return false;
    return true;
}

// No empty piece but the root's and the last, and no "." or "..": NormalPath keeps it as it is.
bool IsNormalPath(QStringView path) {
    const bool rooted = path.startsWith(u'/');
    qsizetype from = rooted ? 1 : 0;
    for (;;) {
        qsizetype end = path.indexOf(u'/', from);
        const bool last = end < 0;
        if (last) end = path.size();
        const QStringView piece = path.mid(from, end - from);
        if (piece == u"." || piece == u"..") return false;
        if (last) return true;
        if (piece.isEmpty()) return false;
        from = end + 1;
    }
}

// True when UrlKey gives url back unchanged, as it does for nearly every link a scan resolved:
// a lower-case scheme and host without user or port, no fragment, and a path already normal.
// Anything else takes the full way.
bool IsAlreadyKey(const QString& url) {
    const qsizetype scheme = url.indexOf(u"://");
    if (scheme <= 0 || url.contains(u'#')) return false;
    qsizetype end = scheme + 3;
    while (end < url.size() && url[end] != u'/' && url[end] != u'?') ++end;
    const QStringView head = QStringView(url).left(end);
    if (!IsAsciiLowerOrOther(head) || head.indexOf(u'@', scheme) >= 0 ||
        head.indexOf(u':', scheme + 1) >= 0)
        return false;
    const qsizetype query = url.indexOf(u'?', end);
    const QStringView path = QStringView(url).mid(end, (query < 0 ? url.size() : query) - end);
    return path.isEmpty() || IsNormalPath(path);
}

}  // namespace

QString UrlKey(const QString& url) {
    if (IsAlreadyKey(url)) return url;
    const UrlParts p = Split(url);
    if (!p.hasAuthority) return NormalPath(p.path) + p.query;
    return p.scheme + QStringLiteral("://") + NormalAuthority(p) + NormalPath(p.path) + p.query;
}

QString UrlHost(const QString& url) {
    const UrlParts p = Split(url);
    QString host = p.authority.mid(p.authority.lastIndexOf(u'@') + 1).toLower();
    // a bracketed IPv6 address keeps its colons
    const qsizetype colon = host.lastIndexOf(u':');
    if (colon >= 0 && colon > host.lastIndexOf(u']')) host.truncate(colon);
    return host;
}

CrawlRules::CrawlRules(const CrawlOptions& options, const QString& startUrl)
    : mOptions(options), mStartHost(UrlHost(startUrl)) {
    const UrlParts start = Split(UrlKey(startUrl));
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
