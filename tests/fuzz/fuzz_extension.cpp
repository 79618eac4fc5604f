// The name a download is stored under: the sequence name and the extension taken from the URL.
// Whatever the URL, the name is one entry directly inside the run folder (no "/" of its own,
// never "." or ".."), and the viewer reads the same number back out of it.

#include <cstdint>
#include <limits>

#include "FuzzCheck.h"
#include "crawl/Download.h"
#include "viewindex/RunFolderIndex.h"

namespace {

// The plain reading: the text between the first and second "." of what follows the last "/".
QString ExpectedExtension(const QString& url) {
    const qsizetype slash = url.lastIndexOf(u'/');
    if (slash < 0) return QStringLiteral(".");
    const QString last = url.mid(slash + 1);
    const qsizetype dot = last.indexOf(u'.');
    if (dot < 0) return QStringLiteral(".");
    const qsizetype next = last.indexOf(u'.', dot + 1);
    return u'.' + last.mid(dot + 1, next < 0 ? -1 : next - dot - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::int32_t number =
        data.ConsumeIntegralInRange<std::int32_t>(0, std::numeric_limits<std::int32_t>::max());
    const QString url = ConsumeRestText(data);

    const QString extension = GetExtension(url);
    FUZZ_CHECK(extension == ExpectedExtension(url));
    FUZZ_CHECK(extension.startsWith(u'.') && extension.count(u'.') == 1);
    FUZZ_CHECK(!extension.contains(u'/'));

    const QString sequence = SequenceName(number);
    FUZZ_CHECK(sequence.size() >= 6);
    FUZZ_CHECK(sequence.size() == 6 || sequence.front() != u'0');  // padded to six, no more
    for (QChar c : sequence) FUZZ_CHECK(c >= u'0' && c <= u'9');

    const QString name = sequence + extension;
    FUZZ_CHECK(!name.contains(u'/'));
    FUZZ_CHECK(name != QLatin1String(".") && name != QLatin1String(".."));
    FUZZ_CHECK(!name.startsWith(u'.'));  // hidden names are the downloads in the making
    FUZZ_CHECK(SequenceNumberOf(name) == number);
    return 0;
}
