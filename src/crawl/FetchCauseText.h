#pragma once
// Why a page could not be fetched, as the window says it.

#include <QString>

#include "crawl/Fetcher.h"

// "サーバーに接続を拒否されました", "ページが見つかりません（HTTP 404）", ...: plain words,
// without the closing "。".
QString FetchCauseText(const FetchResult& result);
