#pragma once
// Why a page could not be fetched, as the window says it and as the headless command does.

#include <QString>

#include "crawl/Fetcher.h"

// "サーバーに接続を拒否されました", "ページが見つかりません（HTTP 404）", ...: plain words,
// without the closing "。".
QString FetchCauseText(const FetchResult& result);
// The same in English: "the server refused the connection", "not found (HTTP 404)", ...
QString FetchCauseEnglish(const FetchResult& result);
