#include "crawl/RenderedPageScan.h"

#include <QFile>

#include "core/WindowSystem.h"
#include "crawl/CrawlHost.h"
#include "crawl/HtmlPageScan.h"

bool ScanRenderedPage(PageRenderer& renderer, CrawlHost& host, const QString& path,
                      const QString& pageUrl, const QString& contentType,
                      const PageScanner::Filter& filter, const PageRenderer::Turn& turn) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray body = file.readAll();
    file.close();
    const PageRenderer::Page page = renderer.render(pageUrl, body, contentType, turn);
    if (ws().Ending()) throw ProgramEnding{};
    if (page.outcome == PageRenderer::Outcome::Stopped) return true;
    if (page.outcome == PageRenderer::Outcome::Rendered) {
        ScanHtml(page.html, page.url.isEmpty() ? pageUrl : page.url, page.pictures, host.lstLink(),
                 host.lstImage(), filter);
        return true;
    }
    // the crawl goes on without the browser for this page
    host.note(
        QStringLiteral("%1: %2。スクリプトを実行せずに読みました。").arg(pageUrl, page.problem));
    ScanHtml(body, pageUrl, {}, host.lstLink(), host.lstImage(), filter);
    return true;
}
