#include "core/SequenceName.h"

#include <limits>

namespace {

constexpr qsizetype kDigits = 6;

}  // namespace

QString SequenceName(std::int32_t number) {
    return QString::number(number).rightJustified(kDigits, u'0');
}

std::optional<std::int32_t> SequenceNumberOf(QStringView name) {
    const qsizetype dot = name.indexOf(u'.');
    if (dot < kDigits) return std::nullopt;  // no dot, or fewer than six digits before it
    const QStringView digits = name.first(dot);
    if (dot > kDigits && digits.front() == u'0') return std::nullopt;  // padded beyond six
    qint64 value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    }
    return std::int32_t(value);
}
