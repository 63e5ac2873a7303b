// The configuration and widths of the worked examples: corner (0.4, 0.01) on an A3 sheet, method
// texts of 4, 6 and 2 characters at 1 mm each, a note font with 1 mm brackets and 2 mm blanks.
#pragma once

#include "config/config.h"
#include "drawing/symbol_register.h"
#include "layout/table_measurer.h"

namespace tvx::testing {

inline Config workedExampleConfig() {
    Config cfg;
    cfg.cfgCornerX = {0.8, 0.6, 0.45, 0.4, 0.2}; // A3 is paper-size code 8: index 3
    cfg.cfgCornerY = 0.01;
    cfg.cfgSymbolRise = 0.005;
    cfg.cfgBracketPad = 0.002;
    cfg.cfgSymbolWidth = 0.01;
    cfg.cfgAnchorOffset = 0.001;
    cfg.cfgSymbolGap = 0.003;
    cfg.cfgNoteRise = 0.004;
    cfg.cfgWidthFactor = 1.0;
    cfg.cfgSymbolFont = L"ISOCP";
    cfg.cfgSymbolHeight = 14;
    cfg.cfgNoteFont = L"Arial";
    cfg.cfgNotePoints = 10;
    return cfg;
}

// tw(0) = 0.004, tw(1) = 0.006, tw(2) = 0.002 in the example measurer.
inline SymbolRegister workedExampleSymbols() {
    SymbolRegister symbols;
    symbols.slots[0] = SymbolSlot{kMainSlotId, L"1,6", L"abcd", 0, 1, 0, 0};
    symbols.appendOther(1, L"3,2", L"abcdef");
    symbols.appendOther(2, L"0,8", L"ab");
    return symbols;
}

} // namespace tvx::testing
