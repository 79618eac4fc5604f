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
