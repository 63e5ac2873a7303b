// Numbers as the configuration file writes them, independent of the process locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tvx {

// The whole text must be one decimal number: an optional sign, digits with at most one '.'
// (at least one digit in all), an optional exponent ('e' or 'E', optional sign, digits).
// Infinities, NaN, hexadecimal forms and values beyond the range of a double give nullopt.
std::optional<double> parseNumber(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour (the classic BASIC
// conversion to Long); a result outside the 32-bit signed range gives nullopt.
std::optional<std::int32_t> toWholeNumber(double value);

}  // namespace tvx
