#include "crawl/FetchCauseText.h"

#include <QStringList>
#include <algorithm>

namespace {

// The causes of a failure short and neutral, for a picture as for a page.
QString ShortCause(FetchCause cause, long status, bool english) {
    const QString http = QStringLiteral(" (HTTP %1)").arg(status);
    const QString httpJa = QStringLiteral("（HTTP %1）").arg(status);
    switch (cause) {
        case FetchCause::NotFound:
            if (english) return QStringLiteral("not found") + (status ? http : QString());
            return QStringLiteral("見つかりません") + (status ? httpJa : QString());
        case FetchCause::ServerError:
            return english ? QStringLiteral("server error") + http
                           : QStringLiteral("サーバーのエラー") + httpJa;
        case FetchCause::Refused:
            return english ? QStringLiteral("connection refused")
                           : QStringLiteral("接続を拒否されました");
        case FetchCause::NoHost:
            return english ? QStringLiteral("no such host")
                           : QStringLiteral("ホスト名が見つかりません");
        case FetchCause::Certificate:
            return english ? QStringLiteral("certificate not trusted")
                           : QStringLiteral("証明書を信頼できません");
        case FetchCause::TimedOut:
            return english ? QStringLiteral("timed out") : QStringLiteral("時間切れ");
        case FetchCause::BadUrl:
            return english ? QStringLiteral("bad URL") : QStringLiteral("ＵＲＬが正しくありません");
        default:
            return english ? QStringLiteral("transfer failed")
                           : QStringLiteral("通信に失敗しました");
    }
}

bool HttpCause(FetchCause cause) {
    return cause == FetchCause::NotFound || cause == FetchCause::ServerError;
}

}  // namespace

void FetchFailures::note(const FetchResult& result) {
    const long status = HttpCause(result.cause) ? result.httpStatus : 0;
    Cause& c = mCauses[{static_cast<int>(result.cause), status}];
    if (c.count++ == 0) {
        c.cause = result.cause;
        c.httpStatus = status;
        c.first = static_cast<int>(mCauses.size());
    }
    ++mCount;
}

std::vector<std::pair<QString, int>> FetchFailures::commonest(int most, bool english) const {
    std::vector<Cause> causes;
    for (const auto& [key, cause] : mCauses) causes.push_back(cause);
    std::sort(causes.begin(), causes.end(), [](const Cause& a, const Cause& b) {
        return a.count != b.count ? a.count > b.count : a.first < b.first;
    });
    std::vector<std::pair<QString, int>> told;
    for (const Cause& c : causes) {
        if (static_cast<int>(told.size()) >= most) break;
        told.emplace_back(ShortCause(c.cause, c.httpStatus, english), c.count);
    }
    return told;
}

QString FailuresText(const FetchFailures& failures) {
    if (failures.count() == 0) return QString();
    constexpr int kCausesTold = 3;
    QString text = QStringLiteral("\r\r取得できなかったファイル：%1 件").arg(failures.count());
    int told = 0;
    for (const auto& [cause, count] : failures.commonest(kCausesTold, false)) {
        text += QStringLiteral("\r　・%1：%2 件").arg(cause).arg(count);
        told += count;
    }
    if (told < failures.count())
        text += QStringLiteral("\r　・その他：%1 件").arg(failures.count() - told);
    return text;
}

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

QString FailuresSummary(const FetchFailures& failures) {
    if (failures.count() == 0) return QString();
    constexpr int kCausesTold = 4;
    QStringList causes;
    int told = 0;
    for (const auto& [cause, count] : failures.commonest(kCausesTold, true)) {
        causes << QStringLiteral("%1 %2").arg(count).arg(cause);
        told += count;
    }
    if (told < failures.count()) causes << QStringLiteral("%1 other").arg(failures.count() - told);
    return QStringLiteral("%1 %2 failed: %3")
        .arg(failures.count())
        .arg(failures.count() == 1 ? QStringLiteral("fetch") : QStringLiteral("fetches"))
        .arg(causes.join(QStringLiteral(", ")));
}
