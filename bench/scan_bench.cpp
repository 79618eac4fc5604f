// Scan throughput: a 5 MB page served with LF line ends (one single line to the scan) and the
// same text cut into many short lines, and a page that is one single fragment. Each is scanned
// as the crawl does it, read back from a stored file, and once more handed over as text lines.
// Prints MB/s (wall clock and processor time) and the longest time the window went without
// being serviced.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "core/UrlQueue.h"
#include "core/WindowSystem.h"
#include "crawl/PageLines.h"
#include "crawl/PageScanner.h"

namespace {

constexpr qsizetype kPageChars = 5 * 1000 * 1000;

// Realistic markup: paragraphs of text with links, images and attributes, references repeating
// so that the queues hold a few thousand entries.
QStringList MakeLines() {
    QStringList lines;
    qsizetype total = 0;
    for (int i = 0; total < kPageChars; ++i) {
        const QString n = QString::number(i % 3000);
        const QString line = "<p class=\"text\">Some words of running text about item " + n +
                             " <a href=\"pages/item" + n + ".html\">item " + n +
                             "</a> and a picture" + " <img src=\"pics/p" + n +
                             ".jpg\" width=120 height=90 alt='item " + n + "'>" +
                             " more text, <a href=\"http://other.example.org/" + n +
                             "/x.htm?ref=1\">elsewhere</a>.</p>";
        total += line.size() + 1;
        lines << line;
    }
    return lines;
}

struct Run {
    UrlQueue links, images;
    long animations = 0;
    PageScanner scanner{links, images, [this] { ++animations; }};
};

// The processor time of this thread: on a machine shared with other work the wall clock
// measures the others too.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Each page is scanned this many times, each time into empty queues; the fastest and the
// middle round are reported, since other work on the machine slows single rounds down.
constexpr int kRounds = 7;

template <typename ScanOnce>
void Measure(const char* label, qsizetype bytes, ScanOnce scanOnce) {
    std::vector<std::pair<double, double>> rounds;  // wall, processor seconds
    qint64 longestGap = 0;
    int links = 0, images = 0;
    long animations = 0;
    for (int round = 0; round < kRounds; ++round) {
        Run run;
        ws().YieldNow();  // the gap is measured from here, not from the page's making
        ws().ResetLongestGap();
        const double cpu = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        scanOnce(run);
        rounds.emplace_back(wall.nsecsElapsed() / 1e9, CpuSeconds() - cpu);
        longestGap = qMax(longestGap, ws().LongestGapMs());
        links = run.links.count();
        images = run.images.count();
        animations = run.animations;
    }
    std::sort(rounds.begin(), rounds.end());
    const double mb = bytes / 1e6;
    std::printf(
        "%-27s %5.2f MB: best %7.1f MB/s (processor %7.1f MB/s), middle %7.1f MB/s  "
        "links %d, images %d, tokens %ld, longest gap %lld ms\n",
        label, mb, mb / rounds.front().first, mb / rounds.front().second,
        mb / rounds[rounds.size() / 2].first, links, images, animations,
        static_cast<long long>(longestGap));
}

const QString kPageUrl = "http://example.com/dir/index.html";

// As the crawl scans a page it has stored: read back line by line, the icon turned per line.
void MeasureStored(const char* label, const QByteArray& page) {
    QTemporaryDir dir;
    QFile file(dir.filePath("page.html"));
    if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size()) return;
    file.close();
    Measure(label, page.size(), [&](Run& run) {
        PageLineReader reader;
        if (!reader.open(file.fileName())) return;
        QByteArrayView line;
        while (reader.readLine(line)) {
            run.scanner.ScanLine(line, kPageUrl);
            ++run.animations;
        }
    });
}

void MeasureText(const char* label, const QStringList& lines, qsizetype chars) {
    Measure(label, chars, [&](Run& run) {
        for (const QString& line : lines) run.scanner.ScanLine(line, kPageUrl);
    });
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList lines = MakeLines();
    const QString oneLine = lines.join(u'\n');  // LF line ends: one line to the scan
    MeasureStored("one-line page, stored", oneLine.toUtf8());
    MeasureStored("many-line page, stored", lines.join(u'\r').toUtf8());
    MeasureText("one-line page, as text", QStringList{oneLine}, oneLine.size());
    MeasureText("many-line page, as text", lines, oneLine.size());
    // The worst shape: no blank and no "<", so the whole page is one fragment.
    QString blob = "data=";
    while (blob.size() < kPageChars) blob += "x.y-";
    MeasureStored("one-fragment page, stored", blob.toUtf8());
    MeasureText("one-fragment page, as text", QStringList{blob}, blob.size());
    return 0;
}
