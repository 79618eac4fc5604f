// The scan of one page line: the page URL and the line come from the input. The scanner's
// answer is compared with the plain reading of the rules: every fragment of the line against
// every pattern through ResolveReference, each new reference appended once to its queue. A line
// given as UTF-8 is scanned once more as stored bytes.

#include <QByteArrayView>
#include <QStringList>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "core/StringTokens.h"
#include "core/UrlQueue.h"
#include "core/WindowSystem.h"
#include "crawl/PageScanner.h"
#include "crawl/ScanPatterns.h"

namespace {

// No window: yields have nothing to service.
class QuietWindowSystem final : public WindowSystem {
public:
    int MsgBox(const QString&, const QString&, int) override { return IDCANCEL; }
    QString InputBox(const QString&, const QString&, const QString&) override { return {}; }

protected:
    void ProcessEvents() override {}
};

// The fragments of a line: blank-separated tokens cut at "<"; a line without blanks is one
// token when it holds "<" and one fragment otherwise.
std::vector<QStringView> Fragments(QStringView line, int* tokens) {
    std::vector<QStringView> out;
    std::vector<QStringView> pieces = SplitTokens(line, u' ');
    if (pieces.empty()) {
        if (!line.contains(u'<')) {
            *tokens = 0;
            return {line};
        }
        pieces.push_back(line);
    }
    *tokens = int(pieces.size());
    for (QStringView token : pieces) {
        const std::vector<QStringView> cut = SplitTokens(token, u'<');
        if (cut.empty())
            out.push_back(token);
        else
            out.insert(out.end(), cut.begin(), cut.end());
    }
    return out;
}

void Append(QStringList& queue, const QString& url) {
    if (!url.isEmpty() && !queue.contains(url)) queue.append(url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static QuietWindowSystem windows;
    SetWindowSystem(&windows);
    static const std::vector<ScanPattern> patterns = BuildScanPatterns();
    FUZZ_CHECK(patterns.size() == kScanPatternCount);

    FuzzedDataProvider data(bytes, size);
    const QString pageUrl = ConsumeText(data, 200);
    const bool utf16 = data.ConsumeBool();
    const std::string stored = data.ConsumeRemainingBytesAsString();
    const QString line = FuzzText(stored, utf16);

    UrlQueue links, images;
    int animations = 0;
    PageScanner scanner(links, images, [&animations] { ++animations; });
    scanner.ScanLine(line, pageUrl);

    int tokens = 0;
    QStringList expectLinks, expectImages;
    for (QStringView fragment : Fragments(line, &tokens)) {
        for (const ScanPattern& p : patterns) {
            const QString url = ResolveReference(pageUrl, fragment, p.startMarker, p.endMarker);
            Append(p.target == QLatin1String("lstLink") ? expectLinks : expectImages, url);
        }
    }
    FUZZ_CHECK(links.entries() == expectLinks);
    FUZZ_CHECK(images.entries() == expectImages);
    FUZZ_CHECK(animations == tokens);

    // As a stored page holds it: the bytes, scanned undecoded, give what their decoding gives.
    if (!utf16) {
        UrlQueue storedLinks, storedImages;
        int storedAnimations = 0;
        PageScanner bytesScanner(storedLinks, storedImages,
                                 [&storedAnimations] { ++storedAnimations; });
        bytesScanner.ScanLine(QByteArrayView(stored.data(), qsizetype(stored.size())), pageUrl);
        FUZZ_CHECK(storedLinks.entries() == expectLinks);
        FUZZ_CHECK(storedImages.entries() == expectImages);
        FUZZ_CHECK(storedAnimations == tokens);
    }

    // Every reference is absolute as written or hangs below the page's folder.
    const QString base = ReferenceBase(pageUrl);
    for (const QStringList* queue : {&links.entries(), &images.entries()})
        for (const QString& url : *queue)
            FUZZ_CHECK(url.contains(u"://") || (url.startsWith(base) && url.size() > base.size()));
    return 0;
}
