#include "crawl/HtmlPageScan.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <new>

#include "core/UrlQueue.h"
#include "core/WindowSystem.h"
#include "core/basGlobal.h"
#include "crawl/HtmlReader.h"

namespace {

// How often the window is serviced while a page is parsed or its finds are queued.
constexpr std::chrono::milliseconds kTurn{10};
constexpr int kAppendsPerYield = 256;

// Stops the parse however the scan is left: a parse told to stop ends within milliseconds.
struct StopOnLeave {
    std::atomic<bool>& stop;
    ~StopOnLeave() { stop = true; }
};

HtmlReferences Parse(const QByteArray& html, const QString& pageUrl) {
    std::atomic<bool> stop{false};
    HtmlBounds bounds;
    bounds.stop = &stop;
    // A page of megabytes takes the parser a while: the window must not wait for it.
    std::future<HtmlReferences> parsed = std::async(std::launch::async, [&] {
        try {
            return ReadHtml(html, pageUrl, bounds);
        } catch (const std::bad_alloc&) {
            HtmlReferences none;
            none.end = HtmlEnd::OutOfMemory;
            none.parsed = false;
            return none;
        }
    });
    const StopOnLeave leave{stop};  // before the future waits for the parse, when thrown past
    while (parsed.wait_for(kTurn) != std::future_status::ready) {
        ws().Yield();
        if (gCancelRequested == -1 || ws().Ending()) stop = true;
    }
    return parsed.get();
}

// The designed scan, for a page the parser gave up on, over what the parser was given. A long
// line goes in pieces cut after a blank, which ends a token in the designed scan as it does a
// line, so that a stop is seen between pieces.
void ScanQuoted(QByteArrayView html, const QString& pageUrl, UrlQueue& links, UrlQueue& images,
                const PageScanner::Filter& filter) {
    constexpr qsizetype kPiece = 64 << 10;
    PageScanner scanner(links, images, [] {});
    scanner.setFilter(filter);
    while (!html.isEmpty() && gCancelRequested == 0) {
        qsizetype end = std::min(html.size(), kPiece);
        qsizetype next = end;
        if (const qsizetype cr = html.first(end).indexOf('\r'); cr >= 0) {
            end = cr;
            next = html.sliced(cr).startsWith("\r\n") ? cr + 2 : cr + 1;
        } else if (end < html.size()) {
            qsizetype blank = html.first(end).lastIndexOf(' ');
            if (blank < 0) blank = html.indexOf(' ', end);  // one token: not cut
            end = next = blank < 0 ? html.size() : blank + 1;
        }
        scanner.ScanLine(html.first(end), pageUrl);
        html = html.sliced(next);
    }
}

}  // namespace

bool ScanHtmlPage(const QString& path, const QString& pageUrl, UrlQueue& links, UrlQueue& images,
                  const PageScanner::Filter& filter, QString* note) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // what lies past the parser's bounds is not read: one byte more tells there is some
    const QByteArray html = file.read(HtmlBounds().maxBytes + 1);
    file.close();
    ScanHtml(html, pageUrl, {}, links, images, filter, note);
    return true;
}

void ScanHtml(const QByteArray& html, const QString& pageUrl, const QStringList& morePictures,
              UrlQueue& links, UrlQueue& images, const PageScanner::Filter& filter, QString* note) {
    const HtmlReferences found = Parse(html, pageUrl);
    if (note) *note = found.note;
    if (!found.parsed && found.end != HtmlEnd::Stopped) {
        if (note)
            *note += QStringLiteral("%1scanned for quoted references instead")
                         .arg(note->isEmpty() ? "" : "; ");
        ScanQuoted(QByteArrayView(html).first(std::min(html.size(), HtmlBounds().maxBytes)),
                   pageUrl, links, images, filter);  // found holds nothing then
    }
    int appends = 0;
    const auto queue = [&](UrlQueue& target, const QString& url) {
        // the queue is read as it is now: the user may have changed it in a yield
        if (target.contains(url) || (filter && !filter(url, &target == &links))) return;
        target.append(url);
        if (++appends % kAppendsPerYield == 0) ws().Yield();
    };
    for (const QString& url : found.pictures) queue(images, url);
    for (const QString& url : morePictures) queue(images, url);
    for (const QString& url : found.pages) queue(links, url);
}
