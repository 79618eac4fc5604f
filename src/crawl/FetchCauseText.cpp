#include "crawl/FetchCauseText.h"

#include <QStringList>
#include <algorithm>

namespace {

// Each cause in the window's words and the command's, told in full for the start page and
// short for the failures' summaries. NotFound names its status when there was one, ServerError
// always; nothing else has one.
struct CauseWords {
    const char16_t* ja;
    const char16_t* en;
    const char16_t* shortJa;
    const char16_t* shortEn;
};

CauseWords WordsOf(FetchCause cause) {
    switch (cause) {
        case FetchCause::NotFound:
            return {u"ページが見つかりません", u"not found", u"見つかりません", u"not found"};
        case FetchCause::ServerError:
            return {u"サーバーがエラーを返しました", u"the server answered an error",
                    u"サーバーのエラー", u"server error"};
        case FetchCause::Refused:
            return {u"サーバーに接続を拒否されました", u"the server refused the connection",
                    u"接続を拒否されました", u"connection refused"};
        case FetchCause::NoHost:
            return {u"ホスト名が見つかりません", u"the host name is not known",
                    u"ホスト名が見つかりません", u"no such host"};
        case FetchCause::Certificate:
            return {u"サーバーの証明書を信頼できません", u"the server's certificate is not trusted",
                    u"証明書を信頼できません", u"certificate not trusted"};
        case FetchCause::TimedOut:
            return {u"サーバーが応答しないまま時間切れになりました",
                    u"the server did not answer in time", u"時間切れ", u"timed out"};
        case FetchCause::BadUrl:
            return {u"ＵＲＬが正しくありません", u"the URL is not valid",
                    u"ＵＲＬが正しくありません", u"bad URL"};
        default:
            return {u"通信に失敗しました", u"the transfer failed", u"通信に失敗しました",
                    u"transfer failed"};
    }
}

// The words, and the HTTP status after them where the cause names one.
QString Told(FetchCause cause, long status, const char16_t* words, bool english) {
    QString text = QString::fromUtf16(words);
    if ((cause == FetchCause::NotFound && status != 0) || cause == FetchCause::ServerError)
        text +=
            (english ? QStringLiteral(" (HTTP %1)") : QStringLiteral("（HTTP %1）")).arg(status);
    return text;
}

QString ShortCause(FetchCause cause, long status, bool english) {
    const CauseWords words = WordsOf(cause);
    return Told(cause, status, english ? words.shortEn : words.shortJa, english);
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
    return Told(result.cause, result.httpStatus, WordsOf(result.cause).ja, false);
}

QString FetchCauseEnglish(const FetchResult& result) {
    const bool known = result.cause != FetchCause::Other && result.cause != FetchCause::None;
    if (!known && !result.error.isEmpty()) return result.error;
    return Told(result.cause, result.httpStatus, WordsOf(result.cause).en, true);
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
