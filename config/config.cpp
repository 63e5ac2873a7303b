#include "config/config.h"

#include "config/corner_lines.h"
#include "config/file_source.h"
#include "config/free_format_input.h"

#include <string>
#include <utility>

namespace tvx {
namespace {

// Counts the items as it goes: support is told which one was faulty (1 to 18).
bool readItems(FreeFormatInput& in, Config& cfg, int& item) {
    item = 0;
    const auto next = [&item](bool read) {
        ++item;
        return read;
    };
    for (double& x : cfg.cfgCornerX) {
        if (!next(in.readNumber(x))) {
            return false;
        }
    }
    return next(in.readNumber(cfg.cfgCornerY)) && next(in.readNumber(cfg.cfgSymbolRise)) &&
           next(in.readNumber(cfg.cfgBracketPad)) && next(in.readNumber(cfg.cfgSymbolWidth)) &&
           next(in.readNumber(cfg.cfgAnchorOffset)) && next(in.readNumber(cfg.cfgSymbolGap)) &&
           next(in.readNumber(cfg.cfgNoteRise)) && next(in.readWholeNumber(cfg.cfgKeepSymbolFont)) &&
           next(in.readNumber(cfg.cfgWidthFactor)) && next(in.readText(cfg.cfgSymbolFont)) &&
           next(in.readWholeNumber(cfg.cfgSymbolHeight)) && next(in.readText(cfg.cfgNoteFont)) &&
           next(in.readWholeNumber(cfg.cfgNotePoints));
}

// Values with which no run could ever give a readable output: the host would refuse the
// insertion halfway through placing. The number of the first such item, 0 when none.
int unreadableItem(const Config& cfg) {
    if (cfg.cfgSymbolFont.empty()) {
        return 15;
    }
    if (cfg.cfgSymbolHeight <= 0) {
        return 16;
    }
    if (cfg.cfgNoteFont.empty()) {
        return 17;
    }
    return cfg.cfgNotePoints <= 0 ? 18 : 0;
}

std::wstring faulty(std::string* cause, std::string why) {
    if (cause != nullptr) {
        *cause = std::move(why);
    }
    return std::wstring(kConfigErrorText);
}

}  // namespace

std::wstring readConfig(Config& cfg, const std::wstring& programFolder) {
    // The separator is added even when the folder ends with one.
    return readConfigFile(cfg, programFolder + L"\\Tarvenix.txt");
}

std::wstring readConfigFile(Config& cfg, const std::wstring& path, std::string* cause) {
    FileSource file(path);
    if (!file.isOpen()) {
        return faulty(cause, file.openFailure());
    }
    FreeFormatInput in(file);
    if (!in.skipLine() || !in.skipLine()) {
        return faulty(cause, in.failed() ? "Lesefehler" : "die zwei Kopfzeilen fehlen");
    }
    int item = 0;
    if (!readItems(in, cfg, item)) {
        return faulty(cause, in.failed() ? "Lesefehler bei Eintrag " + std::to_string(item)
                                         : "Eintrag " + std::to_string(item) + " fehlt oder ist fehlerhaft");
    }
    if (const int unreadable = unreadableItem(cfg); unreadable != 0) {
        return faulty(cause, "Eintrag " + std::to_string(unreadable) + " unbrauchbar (leer, 0 oder kleiner)");
    }
    std::string cornerFault;
    if (!readCornerLines(in, cfg, &cornerFault)) {
        return faulty(cause, cornerFault);
    }
    // The file closes on return.
    return {};
}

}  // namespace tvx
