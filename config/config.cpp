#include "config/config.h"

#include "config/corner_lines.h"
#include "config/file_source.h"
#include "config/free_format_input.h"

namespace tvx {
namespace {

bool readItems(FreeFormatInput& in, Config& cfg) {
    for (double& x : cfg.cfgCornerX) {
        if (!in.readNumber(x)) {
            return false;
        }
    }
    return in.readNumber(cfg.cfgCornerY) && in.readNumber(cfg.cfgSymbolRise) &&
           in.readNumber(cfg.cfgBracketPad) && in.readNumber(cfg.cfgSymbolWidth) &&
           in.readNumber(cfg.cfgAnchorOffset) && in.readNumber(cfg.cfgSymbolGap) &&
           in.readNumber(cfg.cfgNoteRise) && in.readWholeNumber(cfg.cfgKeepSymbolFont) &&
           in.readNumber(cfg.cfgWidthFactor) && in.readText(cfg.cfgSymbolFont) &&
           in.readWholeNumber(cfg.cfgSymbolHeight) && in.readText(cfg.cfgNoteFont) &&
           in.readWholeNumber(cfg.cfgNotePoints);
}

// Values with which no run could ever give a readable output: the host would refuse the
// insertion halfway through placing.
bool givesReadableOutput(const Config& cfg) {
    return cfg.cfgSymbolHeight > 0 && cfg.cfgNotePoints > 0 && !cfg.cfgSymbolFont.empty() &&
           !cfg.cfgNoteFont.empty();
}

}  // namespace

std::wstring readConfig(Config& cfg, const std::wstring& programFolder) {
    // The separator is added even when the folder ends with one.
    return readConfigFile(cfg, programFolder + L"\\Tarvenix.txt");
}

std::wstring readConfigFile(Config& cfg, const std::wstring& path) {
    FileSource file(path);
    if (!file.isOpen()) {
        return std::wstring(kConfigErrorText);
    }
    FreeFormatInput in(file);
    if (!in.skipLine() || !in.skipLine() || !readItems(in, cfg) || !givesReadableOutput(cfg) ||
        !readCornerLines(in, cfg)) {
        return std::wstring(kConfigErrorText);
    }
    // The file closes on return.
    return {};
}

}  // namespace tvx
