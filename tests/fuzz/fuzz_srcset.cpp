// A srcset value from the input. Every candidate is a URL without blanks, taken from the value
// in order, with sound descriptors; the list written back in plain form reads as the same list;
// no candidate is larger than the one chosen as the largest.

#include <QStringList>
#include <algorithm>

#include "FuzzCheck.h"
#include "crawl/ReferenceLists.h"

namespace {

// With every digit that tells a double apart, so that reading it back gives the same list.
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
    const auto blank = [](QChar c) { return QStringView(u" \t\n\r\f").contains(c); };
    qsizetype from = 0;
    for (const SrcsetCandidate& c : candidates) {
        FUZZ_CHECK(!c.url.isEmpty() && std::none_of(c.url.begin(), c.url.end(), blank));
        FUZZ_CHECK(!c.url.startsWith(u',') && !c.url.endsWith(u','));
        from = srcset.indexOf(c.url, from);
        FUZZ_CHECK(from >= 0);
        from += c.url.size();
        FUZZ_CHECK(c.width >= 0 && c.density > 0);  // never NaN, never negative
    }
    const QString written = Written(candidates);
    FUZZ_CHECK(Written(ParseSrcset(written)) == written);

    // by width when any candidate has one
    const QString largest = LargestCandidate(candidates);
    const bool byWidth = std::any_of(candidates.begin(), candidates.end(),
                                     [](const SrcsetCandidate& c) { return c.width > 0; });
    const auto sizeOf = [byWidth](const SrcsetCandidate& c) {
        return byWidth ? c.width : c.density;
    };
    double most = 0;
    for (const SrcsetCandidate& c : candidates) most = std::max(most, sizeOf(c));
    FUZZ_CHECK(candidates.empty() == largest.isEmpty());
    FUZZ_CHECK(candidates.empty() ||
               std::any_of(candidates.begin(), candidates.end(), [&](const SrcsetCandidate& c) {
                   return c.url == largest && sizeOf(c) == most;
               }));
    return 0;
}
