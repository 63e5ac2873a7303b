#include "config/corner_lines.h"

#include "config/number_text.h"

#include <string>
#include <utility>

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

// A line's start for the log, whatever its encoding: printable ASCII, the rest as '?'.
std::string quotedStart(const std::string& line) {
    std::string start = "\"";
    for (const char c : line.substr(0, 40)) {
        start.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    }
    return start + "\"";
}

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

bool readCornerLines(FreeFormatInput& in, Config& cfg, std::string* cause) {
    const auto fault = [cause](std::string why) {
        if (cause != nullptr) {
            *cause = std::move(why);
        }
        return false;
    };
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
            // The line's start, enough to find it; the rest may be anything.
            return fault(cut ? "Eckpunkt-Zeile an der Grenze von 64 KiB abgeschnitten"
                             : "Eckpunkt-Zeile fehlerhaft: " + quotedStart(line));
        }
        auto& slot = corners[static_cast<std::size_t>(corner->paperCode)];
        if (slot) {
            return fault("Eckpunkt " + std::to_string(corner->paperCode) + " doppelt");
        }
        slot = corner->x;
    }
    if (in.failed()) {
        return fault("Lesefehler nach den Einträgen");
    }
    cfg.cfgExtraCornerX = corners;
    return true;
}

} // namespace tvx
