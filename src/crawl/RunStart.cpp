#include "crawl/RunStart.h"

#include <QDir>
#include <QFileInfo>

#include "core/CrawlOptions.h"
#include "core/RunFolderName.h"
#include "core/WindowSystem.h"
#include "core/basGlobal.h"
#include "crawl/CrawlHost.h"
#include "crawl/Download.h"
#include "crawl/FetchCauseText.h"

namespace {

constexpr int kQuestionStyle = MB_YESNOCANCEL | MB_ICONQUESTION;
constexpr QChar kCR = u'\r';

}  // namespace

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
    // the transfers would go on without the cookies and say nothing: a login page is no gallery
    const QString& cookies = gCrawlOptions.cookieFile;
    if (!cookies.isEmpty() && !QFileInfo(cookies).isReadable()) {
        ws().MsgBox(QStringLiteral("クッキーのファイル「") + cookies +
                        QStringLiteral("」を読み込めません。巡回の詳細設定を確認してください。"),
                    inputError, kWarningStyle);
        return false;
    }
    return true;
}

// The first free SRnnnn from number first on under folder, stored in gRunFolder; -1 when all
// are taken.
int ChooseRunFolder(const QString& folder, int first) {
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    for (int n = first; n < kRunFolderNames; ++n) {
        const QString candidate = prefix + RunFolderName(n);
        if (!EntryExists(candidate)) {
            gRunFolder = candidate;
            return n;
        }
    }
    return -1;
}

bool ConfirmStart(const QString& folder, int n) {
    const QString text = QStringLiteral("巡回を開始します。") + kCR + kCR + QStringLiteral("「") +
                         folder + QStringLiteral("」に") + kCR + QStringLiteral("フォルダ「") +
                         RunFolderName(n) +
                         QStringLiteral("」を作成してダウンロードしたファイルを保存します。") +
                         kCR + kCR + QStringLiteral("開始してもよろしいですか？");
    return ws().MsgBox(text, QStringLiteral("巡回の開始の確認"), kQuestionStyle) == IDYES;
}

// Creates gRunFolder. Another program may have taken that name since it was chosen: two crawls
// never share a run folder, so the next free name is taken (gRunFolder follows). 0 or errno.
int CreateRunFolder(const QString& folder, int n) {
    for (;;) {
        const int error = CurrentRunStorage().makeFolder(gRunFolder);
        if (error != EEXIST) return error;
        n = ChooseRunFolder(folder, n + 1);
        if (n < 0) return EEXIST;
    }
}

void ShowStorageFault(const StorageFault& fault) {
    ws().MsgBox(QStringLiteral("フォルダ「") + fault.folder +
                    QStringLiteral("」にファイルを保存できませんでした。") + kCR + kCR +
                    StorageCauseText(fault.error) + QStringLiteral("。"),
                QStringLiteral("保存エラー"), kWarningStyle);
}

// Nothing could be crawled: the run folder made for it goes when nothing went into it (rmdir
// leaves a folder with anything in it alone), and the window says why.
void ShowStartFailure(const QString& startUrl, const FetchResult& result) {
    QDir().rmdir(gRunFolder);
    ws().MsgBox(QStringLiteral("スタートするページ「") + startUrl +
                    QStringLiteral("」を取得できませんでした。") + kCR + kCR +
                    FetchCauseText(result) + QStringLiteral("。"),
                QStringLiteral("巡回エラー"), kWarningStyle);
}
