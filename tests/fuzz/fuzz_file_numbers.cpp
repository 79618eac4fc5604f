// The reading of numbers from file names, and the size shown in its caption. Each
// answer is checked against the plain rule it stands for.

#include <cstdint>
#include <limits>

#include "FuzzCheck.h"
#include "viewindex/RunFolderIndex.h"

namespace {

// Decimal digits only, value within 32 bits; nothing otherwise.
std::optional<std::int32_t> PlainNumber(QStringView digits) {
    if (digits.isEmpty()) return std::nullopt;
    for (QChar c : digits)
        if (c < u'0' || c > u'9') return std::nullopt;
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits[first] == u'0') ++first;
    if (digits.size() - first > 10) return std::nullopt;
    const qint64 value = digits.sliced(first).toString().toLongLong();
    if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return std::int32_t(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const qint64 fileSize = data.ConsumeIntegral<qint64>();
    const QString name = ConsumeRestText(data);

    const qsizetype dot = name.indexOf(u'.');
    const QStringView head = dot < 0 ? QStringView() : QStringView(name).first(dot);

    // One rule: the piece before the first "." names a number exactly when SequenceName
    // spells that number so.
    const std::optional<std::int32_t> plain = dot < 0 ? std::nullopt : PlainNumber(head);
    const std::optional<std::int32_t> sequence = SequenceNumberOf(name);
    FUZZ_CHECK(sequence == (plain && SequenceName(*plain) == head ? plain : std::nullopt));

    // The caption's size: at least 1, and within half a kilobyte of the true size.
    const qint64 kb = KilobytesOf(fileSize);
    FUZZ_CHECK(kb >= 1);
    if (fileSize >= 1000) {
        const qint64 diff = fileSize / 1000 - kb;  // 0 or -1
        FUZZ_CHECK(diff == 0 || diff == -1);
        const qint64 rest = fileSize % 1000;
        FUZZ_CHECK(diff == 0 ? rest <= 500 : rest >= 500);
    }
    return 0;
}
