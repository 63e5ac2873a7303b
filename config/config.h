// The configuration of a run (module tvx_Config): geometry of the output and fonts of the
// inserted texts, read once at start-up from "Tarvenix.txt" beside the program.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tvx {

inline constexpr std::wstring_view kConfigErrorText =
    L"Konfiguration >Tarvenix.txt< nicht gefunden oder fehlerhaft !";

// Lengths in metres, in the sheet's coordinates (x to the right, y upward).
struct Config {
    std::array<double, 5> cfgCornerX{};  // by paper-size code 11, 10, 9, 8, 7
    double cfgCornerY = 0.0;
    double cfgSymbolRise = 0.0;
    double cfgBracketPad = 0.0;
    double cfgSymbolWidth = 0.0;
    double cfgAnchorOffset = 0.0;
    double cfgSymbolGap = 0.0;
    double cfgNoteRise = 0.0;
    std::int32_t cfgKeepSymbolFont = 0;  // 0: symbols get cfgSymbolFont and cfgSymbolHeight
    double cfgWidthFactor = 0.0;
    std::wstring cfgSymbolFont;
    std::int32_t cfgSymbolHeight = 0;
    std::wstring cfgNoteFont;
    std::int32_t cfgNotePoints = 0;
    // By paper-size code, from the lines "Eckpunkt N = X" after the items: codes 0 to 6 and 12
    // where a line gave one; 7 to 11 stay empty, cfgCornerX holds them.
    std::array<std::optional<double>, 13> cfgExtraCornerX{};

    bool operator==(const Config&) const = default;
};

// Reads programFolder + "\Tarvenix.txt" into cfg. Returns "" on success, otherwise
// kConfigErrorText; the items read before the faulty one keep their new values, the rest
// keep what they held. A symbol height or note size of 0 or less, or an empty font name, makes
// the file faulty (read to its end all the same); so does a faulty corner line after the
// items. Other values are not checked.
std::wstring readConfig(Config& cfg, const std::wstring& programFolder);
// The same from a file given by its whole path. On a failure, cause (when given) says why in the
// support log's words: the file not found, a folder, item N faulty, a faulty corner line, ...
std::wstring readConfigFile(Config& cfg, const std::wstring& path, std::string* cause = nullptr);

}  // namespace tvx
