#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// Converts a decimal text to a signed 32-bit integer the way the settings files expect:
// surrounding blanks, an optional sign, a fraction and an exponent are accepted; a fraction
// is rounded to the nearest integer, an exact half to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Empty text, anything that is not a number, and results outside the 32-bit range give nothing.
std::optional<std::int32_t> ToLongHalfEven(const QString& text);
