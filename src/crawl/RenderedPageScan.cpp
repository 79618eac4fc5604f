#include "crawl/RenderedPageScan.h"

#include <QFile>

#include "core/WindowSystem.h"
#include "crawl/HtmlPageScan.h"

RenderedScan ScanRenderedPage(PageRenderer& renderer, const QString& path, const QString& pageUrl,
                              const QString& contentType, UrlQueue& links, UrlQueue& images,
                              const PageScanner::Filter& filter, const PageRenderer::Turn& turn) {
    RenderedScan scan;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return scan;
    const QByteArray body = file.readAll();
    file.close();
    scan.read = true;
    const PageRenderer::Page page = renderer.render(pageUrl, body, contentType, turn);
    if (ws().Ending()) throw ProgramEnding{};
    if (page.outcome == PageRenderer::Outcome::Stopped) return scan;
    if (page.outcome == PageRenderer::Outcome::Rendered) {
        ScanHtml(page.html, pageUrl, page.pictures, links, images, filter);
    } else {
        scan.problem = page.problem;
        ScanHtml(body, pageUrl, {}, links, images, filter);
    }
    return scan;
}
