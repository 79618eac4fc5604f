#pragma once
// Reading a stored page as HTML, for a crawl of today's markup: the pictures a person sees on it
// (srcset at its largest, lazy attributes, <picture>, CSS backgrounds, og:image, links to full
// size pictures) and the pages it links, as absolute URLs. The parser is Gumbo, an HTML5 one.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <cstdint>

// What one page may cost. A page from anywhere can be made to cost the parser time and memory
// out of all proportion to its size.
struct HtmlBounds {
    qsizetype maxBytes = 16 << 20;  // read as HTML up to here; the rest is left
    int maxDepth = 512;             // of nested elements: the page is cut where it goes deeper
    std::int64_t maxParseBytes = std::int64_t{256} << 20;  // all the parser asks for
    std::chrono::milliseconds maxTime{5000};
    const std::atomic<bool>* stop = nullptr;  // set from another thread: give up at once
};

enum class HtmlEnd { Read, OutOfMemory, OutOfTime, Stopped };

struct HtmlReferences {
    QStringList pictures;  // in document order, each once
    QStringList pages;     // in document order, each once
    // Read: the page was parsed (up to its bounds). Otherwise the parse was given up; the
    // references are those found by then, none when the parser itself gave up (parsed false).
    HtmlEnd end = HtmlEnd::Read;
    bool parsed = true;
    QString note;  // what of the page was left, and why; empty when it was read whole
};

// The references of an HTML page fetched from pageUrl, resolved against its <base href> when
// it has one, fragments dropped. Only http:, https: and file: URLs are given (never data: or
// javascript:), and none whose extension names something that is neither page nor picture.
// The bytes are read as UTF-8, within bounds.
HtmlReferences ReadHtml(QByteArrayView html, const QString& pageUrl, const HtmlBounds& bounds = {});
