// Drawings for the stand-in host, built in a line or two per test.
#pragma once

#include "drawing/sim/model.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tvx::testing {

inline sim::SymbolData sfSymbol(std::int32_t type, std::wstring roughness, std::wstring method,
                                std::wstring name) {
    sim::SymbolData s;
    s.symbolType = type;
    if (!roughness.empty()) {
        s.texts[5] = std::move(roughness);
    }
    if (!method.empty()) {
        s.texts[2] = std::move(method);
    }
    s.name = std::move(name);
    return s;
}

// One sheet "Blatt1" (A3 unless told) with symbols on the sheet itself and in further views.
inline sim::HostData drawingWith(std::vector<sim::SymbolData> onSheet,
                                 std::vector<std::vector<sim::SymbolData>> inViews = {},
                                 std::int32_t paperCode = 8) {
    sim::SheetData sheet = sim::makeSheet(L"Blatt1", paperCode);
    sheet.views[0].symbols = std::move(onSheet);
    int number = 1;
    for (auto& symbols : inViews) {
        sheet.views.push_back(
            sim::ViewData{L"Zeichenansicht" + std::to_wstring(number++), std::move(symbols), {}, {}});
    }
    return sim::makeDrawingHost({std::move(sheet)});
}

inline sim::SheetData& firstSheet(sim::HostData& data) { return data.activeDoc->sheets.at(0); }

} // namespace tvx::testing
