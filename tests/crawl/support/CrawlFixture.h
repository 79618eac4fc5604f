#pragma once
// A whole crawl without a window: a fake main window, a scripted window-system layer, a web
// site on 127.0.0.1, a download folder in a temporary directory and a real libcurl fetcher.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FakeCrawlHost.h"
#include "LoopbackSite.h"
#include "QtPrinters.h"
#include "ScriptedWindowSystem.h"
#include "core/basGlobal.h"
#include "crawl/CrawlRun.h"
#include "net/CurlFetcher.h"

class CrawlFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        gHTMLAutoDelete = "1";
        gPictAutoDelete = "1";
        ASSERT_TRUE(downloads.isValid());
        host.folder = downloads.path();
    }
    void TearDown() override { ResetGlobals(); }

    static CurlFetcher::Options FetcherOptions() {
        CurlFetcher::Options options;
        options.noProxy = true;
        options.connectTimeoutMs = 5000;
        options.lowSpeedSeconds = 1;
        options.lowSpeedBytes = 1;
        return options;
    }

    // Presses start, answers Yes to the confirmation, and runs the crawl to its end.
    void crawl(const QString& startUrl) {
        host.url = startUrl;
        windows.answer(IDYES);
        RunShown(host, fetcher);
    }

    // Every entry of a folder, hidden ones included, sorted by name.
    static QStringList Entries(const QString& folder) {
        return QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    QStringList stored() const { return Entries(gRunFolder); }
    QString runFolder(const char* name) const { return downloads.filePath(name); }

    static std::string Bytes(int size, char fill = 'i') { return std::string(size, fill); }
    const ShownBox& lastBox() const { return windows.shown().back(); }

    QTemporaryDir downloads;
    FakeCrawlHost host;
    ScriptedWindowSystem windows;
    LoopbackSite site;
    CurlFetcher fetcher{FetcherOptions()};
};
