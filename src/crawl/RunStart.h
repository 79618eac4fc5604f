#pragma once
// The start of a crawl and the boxes of a run that cannot go on, as the user sees them: the
// inputs checked, the run folder chosen, confirmed and made, and why a run stopped. Private to
// this library.

#include <QString>

#include "core/WindowSystem.h"
#include "crawl/CrawlRun.h"
#include "crawl/Fetcher.h"
#include "crawl/RunStorage.h"

class CrawlHost;

inline constexpr int kWarningStyle = MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL;

// The start URL, the download folder and the cookies file; what is wrong, after a box that says
// it, or RunRefusal::None.
RunRefusal CheckInputs(CrawlHost& host);
int ChooseRunFolder(const QString& folder, int first = 0);
bool ConfirmStart(const QString& folder, int n);
int CreateRunFolder(const QString& folder, int n);
void ShowStorageFault(const StorageFault& fault);
void ShowStartFailure(const QString& startUrl, const FetchResult& result);
