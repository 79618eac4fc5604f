// Saving and loading a crawl settings file with 30,000 queued links (both layouts), and loading
// a file whose Count is two billion. Prints milliseconds per operation.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>

#include "core/CrawlSettingsFile.h"

namespace {

constexpr int kLinks = 30000;
constexpr int kRounds = 5;

QStringList MakeLinks() {
    QStringList links;
    for (int i = 0; i < kLinks; ++i)
        links << "http://www.example.org/section" + QString::number(i % 97) + "/page" +
                     QString::number(i) + ".html";
    return links;
}

template <class F>
double BestMs(F&& work) {
    double best = 1e18;
    for (int r = 0; r < kRounds; ++r) {
        QElapsedTimer clock;
        clock.start();
        work();
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.srs");
    const QStringList links = MakeLinks();
    bool ok = true;
    for (const auto layout : {CrawlFileLayout::NewCrawl, CrawlFileLayout::Resume}) {
        const char* name = layout == CrawlFileLayout::NewCrawl ? "new-crawl" : "resume";
        const double save = BestMs(
            [&] { ok &= SaveCrawlSettingsFile(path, "/data/images", "http://s/", links, layout); });
        qsizetype loaded = 0;
        const double load = BestMs([&] { loaded = ReadCrawlSettingsFile(path).links.size(); });
        std::printf("%-9s save %d links: %8.2f ms   load: %8.2f ms (%lld links)\n", name, kLinks,
                    save, load, static_cast<long long>(loaded));
    }
    ProfileFile huge;
    huge.parse("[Link]\nCount=2000000000\nURL0=a\nURL1999999999=b\n");
    const double hugeMs = BestMs([&] { ReadCrawlSettings(huge); });
    std::printf("Count=2000000000 load: %8.3f ms\n", hugeMs);
    return ok ? 0 : 1;
}
