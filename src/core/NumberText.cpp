#include "core/NumberText.h"

#include <cctype>
#include <cmath>
#include <charconv>
#include <string>

namespace {

// A strict grammar check first: strtod alone would also take "inf", "nan" and hex forms.
bool IsDecimalNumber(const std::string& s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

}  // namespace

std::optional<std::int32_t> ToLongHalfEven(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 400) return std::nullopt;
    const std::string s = trimmed.toStdString();
    if (!IsDecimalNumber(s)) return std::nullopt;
    // from_chars, not strtod: the result must not depend on the user's locale
    const char* first = s.data() + (s[0] == '+' ? 1 : 0);
    double value = 0;
    const auto [end, ec] = std::from_chars(first, s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value);  // default rounding mode: halves to even
    if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}
