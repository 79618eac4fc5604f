// Scan throughput: a 5 MB page served with LF line ends (one single line to the scan) and the
// same text cut into many short lines, and a page that is one single fragment. Prints MB/s and the
// longest time the window went without being serviced.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <cstdio>

#include "crawl/PageScanner.h"
#include "core/UrlQueue.h"
#include "core/WindowSystem.h"

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

double Measure(const char* label, const QStringList& lines, qsizetype chars) {
    UrlQueue links, images;
    long animations = 0;
    PageScanner scanner(links, images, [&] { ++animations; });
    const QString page = "http://example.com/dir/index.html";
    ws().YieldNow();  // the gap is measured from here, not from the page's making
    ws().ResetLongestGap();
    QElapsedTimer timer;
    timer.start();
    for (const QString& line : lines) scanner.ScanLine(line, page);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double mb = chars / 1e6;
    std::printf(
        "%-22s %6.2f MB in %7.3f s = %8.1f MB/s  (links %d, images %d, tokens %ld, "
        "longest gap %lld ms)\n",
        label, mb, seconds, mb / seconds, links.count(), images.count(), animations,
        static_cast<long long>(ws().LongestGapMs()));
    return mb / seconds;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList lines = MakeLines();
    const QString oneLine = lines.join(u'\n');  // LF line ends: one line to the scan
    Measure("one-line page", QStringList{oneLine}, oneLine.size());
    Measure("many-line page", lines, oneLine.size());
    // The worst shape: no blank and no "<", so the whole page is one fragment that every
    // pattern searches to its end.
    QString blob = "data=";
    while (blob.size() < kPageChars) blob += "x.y-";
    Measure("one-fragment page", QStringList{blob}, blob.size());
    return 0;
}
