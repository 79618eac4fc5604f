#include "crawl/FetchCauseText.h"

QString FetchCauseText(const FetchResult& result) {
    const QString status = QStringLiteral("（HTTP %1）").arg(result.httpStatus);
    switch (result.cause) {
        case FetchCause::NotFound:
            return QStringLiteral("ページが見つかりません") +
                   (result.httpStatus ? status : QString());
        case FetchCause::ServerError:
            return QStringLiteral("サーバーがエラーを返しました") + status;
        case FetchCause::Refused:
            return QStringLiteral("サーバーに接続を拒否されました");
        case FetchCause::NoHost:
            return QStringLiteral("ホスト名が見つかりません");
        case FetchCause::Certificate:
            return QStringLiteral("サーバーの証明書を信頼できません");
        case FetchCause::TimedOut:
            return QStringLiteral("サーバーが応答しないまま時間切れになりました");
        case FetchCause::BadUrl:
            return QStringLiteral("ＵＲＬが正しくありません");
        default:
            return QStringLiteral("通信に失敗しました");
    }
}

QString FetchCauseEnglish(const FetchResult& result) {
    const QString status = QStringLiteral(" (HTTP %1)").arg(result.httpStatus);
    switch (result.cause) {
        case FetchCause::NotFound:
            return QStringLiteral("not found") + (result.httpStatus ? status : QString());
        case FetchCause::ServerError:
            return QStringLiteral("the server answered an error") + status;
        case FetchCause::Refused:
            return QStringLiteral("the server refused the connection");
        case FetchCause::NoHost:
            return QStringLiteral("the host name is not known");
        case FetchCause::Certificate:
            return QStringLiteral("the server's certificate is not trusted");
        case FetchCause::TimedOut:
            return QStringLiteral("the server did not answer in time");
        case FetchCause::BadUrl:
            return QStringLiteral("the URL is not valid");
        default:
            return result.error.isEmpty() ? QStringLiteral("the transfer failed") : result.error;
    }
}
