#pragma once
// How the browser is started for a crawl: which program, with which flags, and the crawl's
// settings that reach it (User-Agent, cookies, proxy, window size).

#include <QJsonArray>
#include <QSize>
#include <QString>
#include <QStringList>

struct CrawlOptions;

struct BrowserSetup {
    QString program;  // the browser's executable; empty when none was found
    QString userAgent;
    QString cookieFile;   // Netscape format; empty: none
    QString proxy;        // as the browser's --proxy-server takes it; empty: none
    QString proxyBypass;  // hosts that go direct, ';' between them
    QSize window{1280, 1024};
    bool noSandbox = false;  // the browser's sandbox cannot run as root
    // How long a page is given: its network quiet this long counts as loaded, the load and
    // the scrolling have limits of their own, and at most so many screens are scrolled.
    int quietMs = 500;
    int loadLimitMs = 10000;
    int scrollLimitMs = 20000;
    int screens = 50;
};

// The package that brings the browser, for the user's message.
inline constexpr char kBrowserPackage[] = "chromium-headless-shell";

// The setup of a crawl with these options: the browser found on the PATH (the environment's
// SITERAMBLER_BROWSER names another one, for tests), the proxy of the environment as libcurl
// reads it, the sandbox off only for root.
BrowserSetup CrawlBrowserSetup(const CrawlOptions& options);
// The flags of a browser with a fresh profile in profileFolder.
QStringList BrowserArguments(const BrowserSetup& setup, const QString& profileFolder);
// The cookies of a Netscape cookies file as the protocol sets them; lines it cannot read are
// passed over, as libcurl does.
QJsonArray ReadCookieFile(const QString& path);
