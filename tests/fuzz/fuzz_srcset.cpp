// A srcset value from the input. Every candidate is a URL without blanks, taken from the value
// in order, with sound descriptors; the list written back in plain form reads as the same list;
// no candidate is larger than the one chosen as the largest.

#include <QStringList>
#include <algorithm>
#include <string>

#include "FuzzCheck.h"
#include "crawl/ReferenceLists.h"

namespace {

bool HasBlank(const QString& text) {
    for (QChar c : text)
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') return true;
    return false;
}

bool Same(const SrcsetCandidate& a, const SrcsetCandidate& b) {
    return a.url == b.url && a.width == b.width && a.density == b.density;
}

QString Written(const std::vector<SrcsetCandidate>& candidates) {
    QStringList parts;
    for (const SrcsetCandidate& c : candidates) {
        QString part = c.url;
        if (c.width > 0) part += u' ' + QString::number(c.width, 'g', 17) + u'w';
        if (c.density != 1) part += u' ' + QString::number(c.density, 'g', 17) + u'x';
        parts << part;
    }
    return parts.join(QStringLiteral(", "));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const QString srcset = ConsumeRestText(data);
    const std::vector<SrcsetCandidate> candidates = ParseSrcset(srcset);

    qsizetype from = 0;
    for (const SrcsetCandidate& c : candidates) {
        FUZZ_CHECK(!c.url.isEmpty() && !HasBlank(c.url));
        FUZZ_CHECK(!c.url.startsWith(u',') && !c.url.endsWith(u','));
        const qsizetype at = srcset.indexOf(c.url, from);
        FUZZ_CHECK(at >= 0);
        from = at + c.url.size();
        FUZZ_CHECK(c.width >= 0 && c.density > 0);  // never NaN, never negative
    }

    const std::vector<SrcsetCandidate> again = ParseSrcset(Written(candidates));
    FUZZ_CHECK(again.size() == candidates.size());
    for (std::size_t i = 0; i < again.size(); ++i) FUZZ_CHECK(Same(again[i], candidates[i]));

    const QString largest = LargestCandidate(candidates);
    FUZZ_CHECK(largest.isEmpty() == candidates.empty());
    // by width when any candidate has one: no candidate is larger than the one chosen
    bool byWidth = false;
    for (const SrcsetCandidate& c : candidates) byWidth = byWidth || c.width > 0;
    const auto sizeOf = [byWidth](const SrcsetCandidate& c) {
        return byWidth ? c.width : c.density;
    };
    double most = 0;
    for (const SrcsetCandidate& c : candidates) most = std::max(most, sizeOf(c));
    bool chosenIsLargest = candidates.empty();
    for (const SrcsetCandidate& c : candidates)
        chosenIsLargest = chosenIsLargest || (c.url == largest && sizeOf(c) == most);
    FUZZ_CHECK(chosenIsLargest);
    return 0;
}
