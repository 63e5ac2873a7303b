#include "layout/positions.h"

#include "drawing/run_errors.h"
#include "layout/bracket_note.h"
#include "layout/calc_error.h"
#include "layout/measure.h"

#include <cmath>
#include <optional>
#include <type_traits>

namespace tvx {
namespace {

// The code compared as a number: an empty value is 0 and True is -1, as the host's own
// scripting takes them; text is not a code.
double paperCode(const host::HostScalar& element) {
    return std::visit(
        [](const auto& v) -> double {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return 0.0;
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? -1.0 : 0.0;
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return static_cast<double>(v);
            } else if constexpr (std::is_same_v<T, double>) {
                return v;
            } else {
                throw CalcError("paper-size code is not a number");
            }
        },
        element);
}

void placeOtherSymbols(const Config& cfg, SymbolRegister& symbols, const SheetPoint& corner) {
    for (std::int32_t i = 1; i <= symbols.slotCount; ++i) {
        SymbolSlot& slot = symbols.slot(i);
        slot.posY = finite(cfg.cfgSymbolRise + corner.y, "posY");
        if (i == 1) {
            slot.posX = finite(((corner.x - cfg.cfgBracketPad) -
                                (cfg.cfgSymbolWidth - cfg.cfgAnchorOffset)) -
                                   slot.textWidth,
                               "posX");
        } else {
            slot.posX = finite(((symbols.slot(i - 1).posX - cfg.cfgSymbolWidth) -
                                cfg.cfgSymbolGap) -
                                   slot.textWidth,
                               "posX");
        }
    }
}

// The paper-size code, the first of the sheet properties the host gave.
double sheetPaperCode(const host::HostValue& properties) {
    const auto* array = std::get_if<host::HostArray>(&properties);
    if (array == nullptr || array->empty()) {
        throw CalcError("sheet properties are not an array");
    }
    return paperCode(array->front());
}

// Width and height, elements 5 and 6, when both are positive finite numbers; an older or odd
// answer leaves the size unknown.
std::optional<SheetPoint> sheetSize(const host::HostValue& properties) {
    const auto* array = std::get_if<host::HostArray>(&properties);
    if (array == nullptr || array->size() < 7) {
        return std::nullopt;
    }
    const auto number = [](const host::HostScalar& element) -> std::optional<double> {
        double value = 0.0;
        if (const auto* d = std::get_if<double>(&element)) {
            value = *d;
        } else if (const auto* i = std::get_if<std::int64_t>(&element)) {
            value = static_cast<double>(*i);
        } else {
            return std::nullopt;
        }
        if (!std::isfinite(value) || value <= 0.0) {
            return std::nullopt;
        }
        return value;
    };
    const std::optional<double> width = number((*array)[5]);
    const std::optional<double> height = number((*array)[6]);
    if (!width || !height) {
        return std::nullopt;
    }
    return SheetPoint{*width, *height};
}

double cornerXOfCode(double code, const Config& cfg) {
    if (code == 7.0) {
        return cfg.cfgCornerX[4];
    }
    if (code == 8.0) {
        return cfg.cfgCornerX[3];
    }
    if (code == 9.0) {
        return cfg.cfgCornerX[2];
    }
    if (code == 10.0) {
        return cfg.cfgCornerX[1];
    }
    if (code == 11.0) {
        return cfg.cfgCornerX[0];
    }
    // Codes 0 to 6 and 12 from the corner lines; without one, as for any other code, x = 0.
    const auto& extra = cfg.cfgExtraCornerX;
    if (code >= 0.0 && code < static_cast<double>(extra.size()) && std::floor(code) == code) {
        const auto& corner = extra[static_cast<std::size_t>(code)];
        if (corner) {
            return *corner;
        }
    }
    return 0.0;
}

} // namespace

double cornerX(const host::HostValue& properties, const Config& cfg) {
    return cornerXOfCode(sheetPaperCode(properties), cfg);
}

void computeLayout(MeasuringSurface& surface, const Config& cfg, const host::DocRef& hostDoc,
                   SymbolRegister& symbols, LayoutResult& result) {
    measureText(surface, L"", cfg.cfgSymbolFont, cfg.cfgSymbolHeight);
    measureSlotWidths(surface, cfg, symbols, result);
    const host::SheetRef sheet = require(hostDoc, "GetCurrentSheet")->GetCurrentSheet();
    const host::HostValue properties = require(sheet, "GetCurrentSheet")->GetProperties();
    const double code = sheetPaperCode(properties);
    result.paperCode = code;
    result.sheetSize = sheetSize(properties);
    result.cornerPoint = {cornerXOfCode(code, cfg), cfg.cfgCornerY};
    placeOtherSymbols(cfg, symbols, result.cornerPoint);

    SymbolSlot& main = symbols.slot(0);
    main.posY = finite(cfg.cfgSymbolRise + result.cornerPoint.y, "posY");
    if (symbols.slotCount > 0) {
        buildBracketNote(surface, cfg, symbols, result);
        main.posX = finite(((symbols.slot(symbols.slotCount).posX - cfg.cfgBracketPad) -
                            cfg.cfgSymbolWidth) -
                               main.textWidth,
                           "posX");
    } else {
        main.posX = finite(((result.cornerPoint.x - cfg.cfgBracketPad) - main.textWidth) -
                               (cfg.cfgSymbolWidth - cfg.cfgAnchorOffset),
                           "posX");
    }
}

} // namespace tvx
