#include "mainwindow/CrawlBoxes.h"

#include "core/WindowSystem.h"
#include "crawl/CrawlHost.h"
#include "crawl/FetchCauseText.h"

namespace {

constexpr int kWarningStyle = MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL;
constexpr int kInformationStyle = MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL;
constexpr int kQuestionStyle = MB_YESNOCANCEL | MB_ICONQUESTION;
constexpr QChar kCR = u'\r';

void Warn(const QString& text, const QString& title) {
    ws().MsgBox(text, title, kWarningStyle);
}

void ShowRefusal(const CrawlEnd& end, CrawlHost& host) {
    const QString inputError = QStringLiteral("入力エラー");
    const QString pathError = QStringLiteral("パスエラー");
    switch (end.refused) {
        case RunRefusal::NoStartUrl:
            Warn(QStringLiteral("スタートするページのＵＲＬが入力されていません。"), inputError);
            host.focusUrlBox();
            break;
        case RunRefusal::NoDownloadFolder:
            Warn(QStringLiteral("ダウンロードしたファイルの保存場所が入力されていません。"),
                 inputError);
            host.focusDownloadBox();
            break;
        case RunRefusal::NoSuchFolder:
            Warn(QStringLiteral("ダウンロード先に指定されたパスが見つかりません。"
                                "正しいパスを指定してください。"),
                 pathError);
            host.focusDownloadBox();
            break;
        case RunRefusal::CookiesUnreadable:
            Warn(QStringLiteral("クッキーのファイル「") + end.refusedPath +
                     QStringLiteral("」を読み込めません。巡回の詳細設定を確認してください。"),
                 inputError);
            break;
        case RunRefusal::NoBrowser:
            Warn(end.refusedText, inputError);
            break;
        case RunRefusal::AllRunFoldersTaken:
            Warn(QStringLiteral("ダウンロード先のフォルダ「SR0000」～「SR9999」は"
                                "すべて使われています。別のダウンロード先を指定してください。"),
                 pathError);
            host.focusDownloadBox();
            break;
        case RunRefusal::RunFolderNotMade:
            Warn(QStringLiteral("フォルダ「") + end.refusedPath +
                     QStringLiteral("」を作成できませんでした。"),
                 QStringLiteral("フォルダ作成エラー"));
            break;
        case RunRefusal::None:
            break;
    }
}

}  // namespace

bool AskCrawlStart(const QString& downloadFolder, const QString& runFolder) {
    const QString text = QStringLiteral("巡回を開始します。") + kCR + kCR + QStringLiteral("「") +
                         downloadFolder + QStringLiteral("」に") + kCR +
                         QStringLiteral("フォルダ「") + runFolder +
                         QStringLiteral("」を作成してダウンロードしたファイルを保存します。") +
                         kCR + kCR + QStringLiteral("開始してもよろしいですか？");
    return ws().MsgBox(text, QStringLiteral("巡回の開始の確認"), kQuestionStyle) == IDYES;
}

void ShowCrawlEnd(const CrawlEnd& end, CrawlHost& host) {
    if (end.refused != RunRefusal::None) return ShowRefusal(end, host);
    if (end.how.isEmpty()) return;
    if (end.storageFault)
        Warn(QStringLiteral("フォルダ「") + end.storageFault.folder +
                 QStringLiteral("」にファイルを保存できませんでした。") + kCR + kCR +
                 StorageCauseText(end.storageFault.error) + QStringLiteral("。"),
             QStringLiteral("保存エラー"));
    if (end.startFailure) {
        Warn(QStringLiteral("スタートするページ「") + end.startUrl +
                 QStringLiteral("」を取得できませんでした。") + kCR + kCR +
                 FetchCauseText(*end.startFailure) + QStringLiteral("。"),
             QStringLiteral("巡回エラー"));
    } else if (end.how == QStringLiteral("completed")) {
        ws().MsgBox(QStringLiteral("巡回が完了しました。") + FailuresText(end.failures),
                    QStringLiteral("巡回の完了"), kInformationStyle);
    } else {
        ws().MsgBox(QStringLiteral("巡回を中止しました。") + FailuresText(end.failures),
                    QStringLiteral("巡回の中止"), kInformationStyle);
    }
}
