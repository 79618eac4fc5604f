// A page read as HTML, with a nesting depth from the input. Whatever the markup, the reading
// ends without giving up (the bounds here are far above what a page of this size needs),
// gives only http:, https: and file: URLs, each once, and a cut for nesting falls on a tag.
// Read again with a parser memory bound from the input, it is either read or given up there.

#include <QByteArray>
#include <QSet>
#include <QUrl>
#include <chrono>

#include "FuzzCheck.h"
#include "crawl/HtmlNesting.h"
#include "crawl/HtmlReader.h"

namespace {

void CheckUrls(const QStringList& urls) {
    FUZZ_CHECK(QSet<QString>(urls.begin(), urls.end()).size() == urls.size());
    for (const QString& url : urls) {
        const QString scheme = QUrl(url).scheme();
        FUZZ_CHECK(scheme == u"http" || scheme == u"https" || scheme == u"file");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    HtmlBounds bounds;
    bounds.maxDepth = data.ConsumeIntegralInRange(1, 600);
    bounds.maxTime = std::chrono::seconds(8);
    const int parseBytes = data.ConsumeIntegralInRange(1, 1 << 16);
    const std::string rest = data.ConsumeRemainingBytesAsString();
    const QByteArray page(rest.data(), qsizetype(rest.size()));

    const HtmlReferences found =
        ReadHtml(page, QStringLiteral("http://site.example/a/b.html"), bounds);
    FUZZ_CHECK(found.end == HtmlEnd::Read && found.parsed);
    CheckUrls(found.pictures);
    CheckUrls(found.pages);

    HtmlBounds tight = bounds;
    tight.maxParseBytes = parseBytes;
    const HtmlReferences cut = ReadHtml(page, QStringLiteral("http://site.example/"), tight);
    FUZZ_CHECK(cut.end == HtmlEnd::Read || (cut.end == HtmlEnd::OutOfMemory && !cut.parsed));

    const NestedHtml nested = BoundNesting(page, bounds.maxDepth);
    FUZZ_CHECK(nested.cutAt < page.size());
    if (nested.cutAt >= 0) {
        FUZZ_CHECK(page[nested.cutAt] == '<');
        FUZZ_CHECK(!found.note.isEmpty());
    }
    return 0;
}
