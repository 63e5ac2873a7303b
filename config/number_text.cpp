#include "config/number_text.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace tvx {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipDigits(std::string_view text, std::size_t i) {
    while (i < text.size() && isDigit(text[i])) {
        ++i;
    }
    return i;
}

// from_chars would also take "inf", "nan" and "infinity"; checking the grammar first keeps
// every platform's library to plain decimals.
bool isPlainDecimal(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    const std::size_t intStart = i;
    i = skipDigits(text, i);
    std::size_t digits = i - intStart;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fracStart = ++i;
        i = skipDigits(text, i);
        digits += i - fracStart;
    }
    if (digits == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        const std::size_t expStart = i;
        i = skipDigits(text, i);
        if (i == expStart) {
            return false;
        }
    }
    return i == text.size();
}

}  // namespace

std::optional<double> parseNumber(std::string_view text) {
    if (!isPlainDecimal(text)) {
        return std::nullopt;
    }
    if (text.front() == '+') {
        text.remove_prefix(1);  // from_chars takes no plus sign
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> toWholeNumber(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    if (whole < -2147483648.0 || whole > 2147483647.0) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(whole);
}

}  // namespace tvx
