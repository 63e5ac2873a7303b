#include "config/corner_lines.h"

#include "config/number_text.h"

#include <string>

namespace tvx {
namespace {

constexpr std::string_view kCornerWord = "Eckpunkt";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool isExtraCode(int code) { return (code >= 0 && code <= 6) || code == 12; }

} // namespace

std::optional<CornerLine> parseCornerLine(std::string_view line) {
    if (!line.starts_with(kCornerWord)) {
        return std::nullopt;
    }
    line.remove_prefix(kCornerWord.size());
    if (line.empty() || !isBlank(line.front())) {
        return std::nullopt;
    }
    line = trimmed(line);
    // At most two digits: no code has more, and none can overflow.
    int code = 0;
    std::size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9' && digits < 3) {
        code = code * 10 + (line[digits] - '0');
        ++digits;
    }
    if (digits == 0 || digits > 2 || !isExtraCode(code)) {
        return std::nullopt;
    }
    line = trimmed(line.substr(digits));
    if (line.empty() || line.front() != '=') {
        return std::nullopt;
    }
    const std::optional<double> x = parseNumber(trimmed(line.substr(1)));
    if (!x) {
        return std::nullopt;
    }
    return CornerLine{code, *x};
}

bool readCornerLines(FreeFormatInput& in, Config& cfg) {
    in.stopAfter(kCornerLinesBytes);
    in.skipLine();
    decltype(cfg.cfgExtraCornerX) corners{};
    std::string line;
    bool cut = false;
    while (in.readLine(line, cut)) {
        if (!std::string_view(line).starts_with(kCornerWord)) {
            continue;
        }
        const std::optional<CornerLine> corner = cut ? std::nullopt : parseCornerLine(line);
        if (!corner) {
            return false;
        }
        auto& slot = corners[static_cast<std::size_t>(corner->paperCode)];
        if (slot) {
            return false;
        }
        slot = corner->x;
    }
    if (in.failed()) {
        return false;
    }
    cfg.cfgExtraCornerX = corners;
    return true;
}

} // namespace tvx
