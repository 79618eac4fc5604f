#pragma once
// Whole crawls against the misbehaving server: a fake main window, a scripted window-system
// layer, a download folder of its own, and a real libcurl fetcher with short time-outs and
// small limits, so that each hostile answer costs a second or two.

#include <QFile>
#include <QString>
#include <chrono>
#include <fstream>
#include <string>

#include "CrawlFixture.h"
#include "HostileServer.h"

class HostileCrawl : public CrawlFixture {
protected:
    // Short time-outs and a 1 MiB body limit.
    static CurlFetcher::Options Quick() {
        CurlFetcher::Options options;
        options.noProxy = true;
        options.connectTimeoutMs = 2000;
        options.lowSpeedBytes = 1;
        options.lowSpeedSeconds = 1;
        options.maxBodyBytes = 1 << 20;
        return options;
    }
    // What the program uses, apart from the proxy taken from the environment.
    static CurlFetcher::Options Defaults() {
        CurlFetcher::Options options;
        options.noProxy = true;
        return options;
    }

    // Presses start, answers Yes, crawls from server's path with a fetcher of these options.
    void crawlWith(const CurlFetcher::Options& options, const std::string& path) {
        host.url = server.url(path);
        windows.answer(IDYES);
        CurlFetcher curl(options);
        const auto started = std::chrono::steady_clock::now();
        RunShown(host, curl);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        RecordProperty("crawl_ms", int(seconds * 1000));
        RecordProperty("longest_gap_ms", int(ws().LongestGapMs()));
    }

    // Counts the yields that come while the server is busy answering target.
    void countYieldsDuring(const std::string& target) {
        windows.onYield = [this, target] {
            if (server.busy(target)) ++yieldsDuring;
        };
    }

    std::string content(const QString& name) const {
        QFile f(gRunFolder + u'/' + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<none>");
    }

    bool completed() const {
        return lastBox().text.startsWith(QStringLiteral("巡回が完了しました。"));
    }

    // Resident memory of this process in KiB (server and crawl alike).
    static long ResidentKb() {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
        return -1;
    }

    // Bytes this process has handed to write() so far.
    static std::int64_t WrittenBytes() {
        std::ifstream io("/proc/self/io");
        for (std::string line; std::getline(io, line);)
            if (line.rfind("wchar:", 0) == 0) return std::stoll(line.substr(6));
        return -1;
    }

    static std::string Picture(char seed, int size) {
        std::string bytes(std::size_t(size), '\0');
        for (int i = 0; i < size; ++i) bytes[std::size_t(i)] = char(seed + i * 7);
        return bytes;
    }

    // The ordinary pictures and pages that surround each hostile answer.
    void serveNeighbours() {
        server.on("/after.jpg", HostileAnswer::PageOf(Picture('a', 3000), "image/jpeg"));
        server.on("/next.html", HostileAnswer::PageOf("<p>the end</p>"));
    }

    HostileServer server;
    int yieldsDuring = 0;
    double seconds = 0;
};
