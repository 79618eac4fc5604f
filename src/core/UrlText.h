#pragma once
// What the program reads from a URL's text: its parts, the key two references are the same by,
// its host and its kind. One reading for every layer, so that robots.txt, the crawl's scope and
// the transfers' per-host delay agree on what a host is.

#include <QString>

struct UrlParts {
    QString scheme;     // lower case, without ":"
    QString authority;  // user, host and port as written
    QString path;       // from the first "/" up to "?"
    QString query;      // from "?" on
    bool hasAuthority = false;
};

// The parts of a URL as written; a text without "://" is all path (and query).
UrlParts SplitUrl(const QString& url);

// The text two references are compared by: scheme and host in lower case, the default port
// dropped, "." and "name/.." and repeated "/" of the path collapsed, "#..." dropped.
QString UrlKey(const QString& url);

// The host of a URL in lower case, without user, password or port; empty when it has none. A
// bracketed IPv6 address keeps its brackets.
QString UrlHost(const QString& url);

bool IsWebUrl(const QString& url);  // http: or https:
bool IsFileUrl(const QString& url);
