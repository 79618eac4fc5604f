#pragma once
// Why a page could not be fetched, as the window says it and as the headless command does.

#include <QString>
#include <map>
#include <utility>
#include <vector>

#include "crawl/Fetcher.h"

// "サーバーに接続を拒否されました", "ページが見つかりません（HTTP 404）", ...: plain words,
// without the closing "。".
QString FetchCauseText(const FetchResult& result);
// The same in English: "the server refused the connection", "not found (HTTP 404)", ...
QString FetchCauseEnglish(const FetchResult& result);

// The fetches of a run that failed, told by their causes at its end: the archive may be off,
// and the end must say what went missing all the same.
class FetchFailures {
public:
    // A fetch that failed (not one cancelled, nor one the disk refused).
    void note(const FetchResult& result);
    int count() const { return mCount; }
    // Causes with how often each came, the most frequent first (ties: the first seen); at most
    // most of them, in the window's words or the command's.
    std::vector<std::pair<QString, int>> commonest(int most, bool english) const;

private:
    struct Cause {
        FetchCause cause = FetchCause::Other;
        long httpStatus = 0;
        int count = 0;
        int first = 0;  // the order it was first seen in
    };
    std::map<std::pair<int, long>, Cause> mCauses;
    int mCount = 0;
};

// The text the closing box adds for the failed fetches, "" when none failed:
// CR CR "取得できなかったファイル：3 件" and a line per commonest cause.
QString FailuresText(const FetchFailures& failures);
// The headless summary's line for them, "" when none failed:
// "3 fetches failed: 2 not found (HTTP 404), 1 connection refused".
QString FailuresSummary(const FetchFailures& failures);
