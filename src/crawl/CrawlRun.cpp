#include "crawl/CrawlRun.h"

#include <QDir>
#include <limits>

#include "core/basGlobal.h"
#include "crawl/CrawlHost.h"
#include "crawl/Download.h"
#include "crawl/Fetcher.h"
#include "crawl/PageLines.h"
#include "crawl/PageScanner.h"
#include "core/UrlQueue.h"
#include "core/WindowSystem.h"

namespace {

constexpr int kWarningStyle = MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL;
constexpr int kInformationStyle = MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL;
constexpr int kQuestionStyle = MB_YESNOCANCEL | MB_ICONQUESTION;
constexpr int kRunFolderNames = 10000;  // SR0000 .. SR9999
constexpr QChar kCR = u'\r';

const QString kProgramTitle = QStringLiteral("Site Rambler");
const QString kCrawlingCaption = kProgramTitle + QStringLiteral(" - 巡回中…");

// Refuses file: URLs unless the crawl started from one: a web page must never make the crawler
// copy local files into the run folder.
class SchemeGate final : public Fetcher {
public:
    SchemeGate(Fetcher& inner, bool allowFile) : mInner(inner), mAllowFile(allowFile) {}
    FetchResult fetch(const QString& url, const Sink& sink, const Progress& progress) override {
        if (!mAllowFile && IsFileUrl(url)) {
            FetchResult refused;
            refused.error = QStringLiteral("file: refused");
            return refused;
        }
        return mInner.fetch(url, sink, progress);
    }

private:
    Fetcher& mInner;
    bool mAllowFile;
};

// What a transfer does while it waits: keep the window serviced, and stop when the program
// ends or when the user cancels during this transfer. A cancel that came before the transfer
// began lets it finish, as the run only looks at the flag after each image.
bool TransferTurn(bool cancelledBefore) {
    if (!ws().YieldNoThrow()) return false;
    return cancelledBefore || gCancelRequested != -1;
}

void RemoveSelectedOrFirst(UrlQueue& queue) {
    const int selected = queue.selectedIndex();
    queue.removeAt(selected >= 0 ? selected : 0);
}

bool CheckInputs(CrawlHost& host) {
    const QString inputError = QStringLiteral("入力エラー");
    if (host.urlText().isEmpty()) {
        ws().MsgBox(QStringLiteral("スタートするページのＵＲＬが入力されていません。"), inputError,
                    kWarningStyle);
        host.focusUrlBox();
        return false;
    }
    if (host.downloadText().isEmpty()) {
        ws().MsgBox(QStringLiteral("ダウンロードしたファイルの保存場所が入力されていません。"),
                    inputError, kWarningStyle);
        host.focusDownloadBox();
        return false;
    }
    if (!EntryExists(host.downloadText())) {
        ws().MsgBox(QStringLiteral("ダウンロード先に指定されたパスが見つかりません。"
                                   "正しいパスを指定してください。"),
                    QStringLiteral("パスエラー"), kWarningStyle);
        host.focusDownloadBox();
        return false;
    }
    return true;
}

QString RunFolderNumber(int n) {
    return QString::number(n).rightJustified(4, u'0');
}

// The first free SRnnnn under folder, stored in gRunFolder; -1 when all are taken.
int ChooseRunFolder(const QString& folder) {
    const QString prefix =
        folder.endsWith(u'/') ? folder + QStringLiteral("SR") : folder + QStringLiteral("/SR");
    for (int n = 0; n < kRunFolderNames; ++n) {
        const QString candidate = prefix + RunFolderNumber(n);
        if (!EntryExists(candidate)) {
            gRunFolder = candidate;
            return n;
        }
    }
    return -1;
}

bool ConfirmStart(const QString& folder, int n) {
    const QString text = QStringLiteral("巡回を開始します。") + kCR + kCR + QStringLiteral("「") +
                         folder + QStringLiteral("」に") + kCR + QStringLiteral("フォルダ「SR") +
                         RunFolderNumber(n) +
                         QStringLiteral("」を作成してダウンロードしたファイルを保存します。") +
                         kCR + kCR + QStringLiteral("開始してもよろしいですか？");
    return ws().MsgBox(text, QStringLiteral("巡回の開始の確認"), kQuestionStyle) == IDYES;
}

// One run from the created run folder to the closing message.
class CrawlRunner {
public:
    CrawlRunner(CrawlHost& host, Fetcher& fetcher, const QString& startUrl)
        : mHost(host),
          mGate(fetcher, IsFileUrl(startUrl)),
          mScanner(host.lstLink(), host.lstImage(), [&host] { host.AnimateIcon(); }) {}

    void work();
    void finish();

private:
    QString download(const QString& url);
    bool scanStoredPage(const QString& path, const QString& pageUrl);
    bool imagePhase();

    CrawlHost& mHost;
    SchemeGate mGate;
    PageScanner mScanner;
};

QString CrawlRunner::download(const QString& url) {
    const bool cancelledBefore = gCancelRequested == -1;
    const QString path =
        DownloadFile(url, mGate, [cancelledBefore] { return TransferTurn(cancelledBefore); });
    if (ws().Ending()) throw ProgramEnding{};
    return path;
}

// False when the stored page cannot be opened: the page is then passed over like a failed fetch.
bool CrawlRunner::scanStoredPage(const QString& path, const QString& pageUrl) {
    PageLineReader page;
    if (!page.open(path)) return false;
    QByteArrayView line;  // scanned as stored: only the references found are decoded
    while (page.readLine(line)) {
        mScanner.ScanLine(line, pageUrl);
        mHost.AnimateIcon();
    }
    page.close();
    ApplyStoredPageRule(path);
    return true;
}

// False when the cancel flag was seen after an image.
bool CrawlRunner::imagePhase() {
    UrlQueue& images = mHost.lstImage();
    while (images.count() > 0) {
        images.setSelectedIndex(0);
        const QString path = download(images.selectedText());
        if (!path.isEmpty() && !ApplySmallImageRule(path)) {
            if (gImageCount < std::numeric_limits<std::int32_t>::max()) ++gImageCount;
            mHost.setCaption(kCrawlingCaption + QStringLiteral(" ( ") +
                             QString::number(gImageCount) +
                             QStringLiteral("個のイメージファイルをダウンロードしました。 )"));
        }
        if (gCancelRequested == -1) return false;
        // The user may have selected another entry meanwhile: that one goes.
        RemoveSelectedOrFirst(images);
        mHost.AnimateIcon();
        ws().Yield();
    }
    return true;
}

void CrawlRunner::work() {
    UrlQueue& links = mHost.lstLink();
    while (links.count() > 0) {
        links.setSelectedIndex(0);
        const QString pageUrl = links.selectedText();
        const QString path = download(pageUrl);
        if (!path.isEmpty() && EntryExists(path) && scanStoredPage(path, pageUrl)) {
            if (!imagePhase()) return;
        }
        if (gCancelRequested == -1) return;
        RemoveSelectedOrFirst(links);
    }
}

void CrawlRunner::finish() {
    mHost.setCrawlControls(false);
    mHost.setCaption(kProgramTitle);
    mHost.showRestingIcon();
    if (gCancelRequested == 0) {
        ws().MsgBox(QStringLiteral("巡回が完了しました。"), QStringLiteral("巡回の完了"),
                    kInformationStyle);
    } else {
        ws().MsgBox(QStringLiteral("巡回を中止しました。"), QStringLiteral("巡回の中止"),
                    kInformationStyle);
    }
    gCancelRequested = 0;
}

}  // namespace

bool IsFileUrl(const QString& url) {
    return url.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive);
}

void RunCrawl(CrawlHost& host, Fetcher& fetcher, const QStringList& followingLinks) {
    try {
        if (!CheckInputs(host)) return;
        const QString folder = host.downloadText();
        const int n = ChooseRunFolder(folder);
        if (n < 0) {
            ws().MsgBox(
                QStringLiteral("ダウンロード先のフォルダ「SR0000」～「SR9999」は"
                               "すべて使われています。別のダウンロード先を指定してください。"),
                QStringLiteral("パスエラー"), kWarningStyle);
            host.focusDownloadBox();
            return;
        }
        if (!ConfirmStart(folder, n) || ws().Ending()) return;
        if (!QDir().mkdir(gRunFolder)) {
            ws().MsgBox(QStringLiteral("フォルダ「") + gRunFolder +
                            QStringLiteral("」を作成できませんでした。"),
                        QStringLiteral("フォルダ作成エラー"), kWarningStyle);
            return;
        }
        gImageCount = 0;
        host.lstLink().clear();
        host.lstImage().clear();
        host.setCaption(kCrawlingCaption);
        host.setCrawlControls(true);
        const QString startUrl = host.urlText();
        CrawlRunner runner(host, fetcher, startUrl);  // builds the scan patterns
        host.lstLink().append(startUrl);
        host.lstLink().appendAll(followingLinks);
        runner.work();
        runner.finish();
    } catch (const ProgramEnding&) {
        // The program is ending inside a yield: nothing more may be shown or changed.
    }
}
