#pragma once
// The opt-in crawl settings of section [Crawl] in Init.dat. Every default gives the crawl as
// designed: one rule that is off changes nothing.

#include <QString>

class ProfileFile;

enum class CrawlScope { All, Host, Folder };

struct CrawlOptions {
    static constexpr int kMinConnections = 1;
    static constexpr int kMaxConnections = 16;
    static constexpr int kMaxDelayMs = 600000;
    static constexpr int kMaxRetries = 10;

    int connections = 6;      // transfers in flight; 1 is the one-at-a-time crawl
    bool noRevisit = false;   // a URL is fetched at most once in a run
    CrawlScope scope = CrawlScope::All;
    bool skipKnown = false;   // pictures stored by earlier runs are not stored again
    int delayMs = 0;          // least time between the starts of two requests to one host
    bool robots = false;      // honour robots.txt
    bool archive = true;      // record the run in the download folder's crawl archive
    bool parseHtml = false;   // pages read as HTML: srcset, lazy and CSS pictures, content types
    // a picture that looks like one kept before, and is no larger, is deleted like a small one
    bool skipSimilar = false;
    // pages shown by a headless browser, their scripts run, before they are read as HTML
    bool renderPages = false;

    // For sites that throttle or need a login:
    int retries = 0;     // tries again of a fetch the server or the network let down
    QString userAgent;   // empty: the program's name and version
    QString cookieFile;  // Netscape cookies file sent where its domains allow; never written

    bool operator==(const CrawlOptions&) const = default;
};

extern CrawlOptions gCrawlOptions;

// "all", "host", "folder"; ParseScope is false for any other text and leaves *scope alone.
QString ScopeName(CrawlScope scope);
bool ParseScope(const QString& text, CrawlScope* scope);

// Reads [Crawl]; missing or unreadable values keep their defaults, numbers are clamped.
CrawlOptions ReadCrawlOptions(const ProfileFile& profile);
// Writes [Crawl] only when the file has that section already or a value differs from its
// default, so that a settings file of a user who never changed them stays as it was.
void WriteCrawlOptions(ProfileFile& profile, const CrawlOptions& options);

// Pages are read as HTML: asked for, or implied by rendering them.
inline bool ReadsHtml(const CrawlOptions& options) {
    return options.parseHtml || options.renderPages;
}

// The User-Agent sent: the setting, or the program's name and version.
QString EffectiveUserAgent(const CrawlOptions& options);
