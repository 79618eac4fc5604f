#include "crawl/HtmlPageScan.h"

#include <QFile>
#include <chrono>
#include <future>

#include "core/UrlQueue.h"
#include "core/WindowSystem.h"
#include "crawl/HtmlReader.h"

namespace {

// How often the window is serviced while a page is parsed or its finds are queued.
constexpr std::chrono::milliseconds kTurn{10};
constexpr int kAppendsPerYield = 256;

}  // namespace

bool ScanHtmlPage(const QString& path, const QString& pageUrl, UrlQueue& links, UrlQueue& images,
                  const PageScanner::Filter& filter) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray html = file.readAll();
    file.close();
    ScanHtml(html, pageUrl, {}, links, images, filter);
    return true;
}

void ScanHtml(const QByteArray& html, const QString& pageUrl, const QStringList& morePictures,
              UrlQueue& links, UrlQueue& images, const PageScanner::Filter& filter) {
    // A page of megabytes takes the parser a while: the window must not wait for it.
    std::future<HtmlReferences> parsed =
        std::async(std::launch::async, [&html, pageUrl] { return ReadHtml(html, pageUrl); });
    while (parsed.wait_for(kTurn) != std::future_status::ready) ws().Yield();
    const HtmlReferences found = parsed.get();
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
