#include "render/BrowserRenderer.h"

#include <QDir>

#include "core/SteadyHash.h"
#include "render/PageVisit.h"

namespace {

constexpr int kStartLimitMs = 10000;

}  // namespace

BrowserRenderer::~BrowserRenderer() {
    mProcess.stop();  // before its profile goes
    dropProfile();
}

// Removing a used profile took a quarter of a second here: not on the window's thread.
void BrowserRenderer::dropProfile() {
    if (mProfile) FreeElsewhere(std::move(mProfile));
}

PageRenderer::Page BrowserRenderer::render(const QString& url, const QByteArray& body,
                                           const QString& contentType, const Turn& turn) {
    Page page;
    if (!mProcess.running() && !start(turn, &page.problem)) {
        if (page.problem.isEmpty()) page.outcome = Outcome::Stopped;
        return page;
    }
    page = PageVisit(mDevTools, mSetup, url, body, contentType).run(turn);
    if (page.outcome == Outcome::Failed)
        mProcess.stop();  // a hung one too: the next page starts anew
    if (!mProcess.running()) dropProfile();
    return page;
}

// The browser with a fresh profile, answering, with the crawl's cookies. False with problem
// empty when turn stopped it.
bool BrowserRenderer::start(const Turn& turn, QString* problem) {
    mProcess.stop();
    dropProfile();
    mProfile = std::make_unique<QTemporaryDir>(
        QDir::temp().filePath(QStringLiteral("siterambler-browser-XXXXXX")));
    QString error;
    if (!mProfile->isValid() || mSetup.program.isEmpty() ||
        !mProcess.start(mSetup.program, BrowserArguments(mSetup, mProfile->path()), &error)) {
        *problem = QStringLiteral("ブラウザを起動できませんでした");
        return false;
    }
    const QDeadlineTimer deadline(kStartLimitMs);
    DevTools::Wait wait =
        mDevTools.call(QStringLiteral("Browser.getVersion"), {}, {}, turn, deadline);
    const QJsonArray cookies = ReadCookieFile(mSetup.cookieFile);
    if (wait == DevTools::Wait::Done && !cookies.isEmpty())
        wait = mDevTools.call(QStringLiteral("Storage.setCookies"),
                              {{QStringLiteral("cookies"), cookies}}, {}, turn, deadline);
    if (wait == DevTools::Wait::Done) return true;
    mProcess.stop();
    if (wait != DevTools::Wait::Stopped) *problem = QStringLiteral("ブラウザが応答しません");
    return false;
}

std::unique_ptr<PageRenderer> OpenCrawlRenderer(const CrawlOptions& options, QString* problem) {
    BrowserSetup setup = CrawlBrowserSetup(options);
    if (!setup.program.isEmpty()) return std::make_unique<BrowserRenderer>(std::move(setup));
    *problem = QStringLiteral(
                   "ページのスクリプトを実行するブラウザが見つかりません。"
                   "パッケージ %1 をインストールしてください。")
                   .arg(QString::fromLatin1(kBrowserPackage));
    return nullptr;
}
