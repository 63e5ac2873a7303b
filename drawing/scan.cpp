#include "drawing/scan.h"

#include "drawing/messages.h"
#include "drawing/run_errors.h"

namespace tvx {
namespace {

struct FoundSymbol {
    std::int32_t symbolType = 0;
    std::wstring roughness;
    std::wstring method;
    std::wstring name;
};

constexpr std::int32_t kRoughnessText = 5;
constexpr std::int32_t kMethodText = 2;

FoundSymbol readSymbol(host::SFSymbol& symbol) {
    FoundSymbol found;
    found.symbolType = symbol.GetSymbolType();
    found.roughness = symbol.GetText(kRoughnessText);
    found.method = symbol.GetText(kMethodText);
    found.name = require(symbol.GetAnnotation(), "GetAnnotation")->GetName();
    return found;
}

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The main symbol of an earlier run ends in 99. Any own name must end in two digits: anything
// else was renamed by hand, and guessing its role could delete or misplace the user's symbol.
bool isMainName(const std::wstring& name) {
    const std::size_t n = name.size();
    if (n < 2 || !isDigit(name[n - 2]) || !isDigit(name[n - 1])) {
        throw ReportedError(msg::kOwnNameWithoutNumber + name);
    }
    return name.compare(n - 2, 2, L"99") == 0;
}

void keepOwnSymbol(SymbolRegister& symbols, const host::SFSymbolRef& symbol,
                   const FoundSymbol& found) {
    if (symbols.ownSymbolCount >= SymbolRegister::kOwnCapacity) {
        throw ReportedError(msg::kTooManyOwnSymbols);
    }
    symbols.appendOwn(symbol, found.name, {found.symbolType, found.roughness, found.method});
    if (isMainName(found.name)) {
        SymbolSlot& main = symbols.slot(0);
        main.slotId = kMainSlotId;
        main.symbolType = found.symbolType;
        main.roughness = found.roughness;
        main.method = found.method;
    }
}

void keepForeignSymbol(SymbolRegister& symbols, const FoundSymbol& found) {
    if (symbols.findSymbol(found.symbolType, found.roughness, found.method) != -1) {
        return;
    }
    if (symbols.slotCount >= SymbolRegister::kSlotCapacity - 1) {
        throw ReportedError(msg::kTooManyForeignSymbols);
    }
    symbols.appendOther(found.symbolType, found.roughness, found.method);
}

void scanView(host::View& view, SymbolRegister& symbols) {
    host::SFSymbolRef symbol = view.GetFirstSFSymbol();
    while (symbol) {
        const FoundSymbol found = readSymbol(*symbol);
        if (isOwnName(found.name)) {
            keepOwnSymbol(symbols, symbol, found);
        } else {
            keepForeignSymbol(symbols, found);
        }
        symbol = symbol->GetNext();
    }
}

} // namespace

void scanDrawing(HostSession& session, SymbolRegister& symbols) {
    symbols.slotCount = 0;
    symbols.ownSymbolCount = 0;
    symbols.slot(0).slotId = 0;
    session.hostView = require(session.hostDoc, "GetFirstView")->GetFirstView();
    while (session.hostView) {
        scanView(*session.hostView, symbols);
        session.hostView = session.hostView->GetNextView();
    }
}

} // namespace tvx
