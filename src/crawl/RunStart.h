#pragma once
// The start of a crawl: the inputs checked, the run folder chosen and made. Private to this
// library.

#include <QString>

#include "crawl/CrawlRun.h"

class CrawlHost;

// What is wrong with the start URL, the download folder or the cookies file, or
// RunRefusal::None.
RunRefusal CheckInputs(CrawlHost& host);
int ChooseRunFolder(const QString& folder, int first = 0);
int CreateRunFolder(const QString& folder, int n);
