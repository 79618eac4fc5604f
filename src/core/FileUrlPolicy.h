#pragma once
// Where a crawl may touch local files through file: URLs: the one place that decides it, for
// the run, its fetching ahead and the transfers alike. A web page must never make the crawler
// copy local files into the run folder, so only a crawl that started from a file: page fetches
// file: URLs, and no redirect ever leads to one.

#include <QString>

class FileUrlPolicy {
public:
    FileUrlPolicy() = default;  // no file: URL is fetched

    static FileUrlPolicy ForCrawlFrom(const QString& startUrl);

    // Whether a transfer may speak the file protocol at all; its redirects never do.
    bool allowsFiles() const { return mFiles; }
    // Whether url may be fetched: a web URL always, a file: URL only as above.
    bool mayFetch(const QString& url) const;
    // Whether url, named by the page namedOn, may be fetched: a file: URL only when named by a
    // file: page (or by no page: the start URL, a queue read from a file), as above.
    bool mayFetch(const QString& url, const QString& namedOn) const;
    // Only regular files are read: a FIFO, a device, a socket or a folder is refused at once.
    // The path is opened without blocking (a FIFO opened to read waits for a writer) and looked
    // at; why it is refused, or empty when it may be read (or cannot be opened: its reader
    // tells why).
    static QString Refusal(const QByteArray& localPath);

private:
    explicit FileUrlPolicy(bool files) : mFiles(files) {}
    bool mFiles = false;
};
