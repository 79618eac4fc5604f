#include <QCoreApplication>
#include <cstdio>

#include "cli/CrawlCommand.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString error;
    const auto options = ParseCrawlArguments(app.arguments().mid(1), &error);
    if (!options) {
        std::fprintf(stderr, "siterambler-crawl: %s\n%s", error.toLocal8Bit().constData(),
                     "Try 'siterambler-crawl --help' for more information.\n");
        return kExitBadInput;
    }
    return RunCrawlCommand(*options);
}
