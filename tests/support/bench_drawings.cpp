#include "tests/support/bench_drawings.h"

#include "tests/drawing/drawing_builders.h"

#include <utility>
#include <vector>

namespace tvx::testing {
namespace {

constexpr int kViews = 20;
constexpr int kSymbols = 2000;

} // namespace

sim::SymbolData foreignSymbol(int i) {
    static const sim::SymbolData keys[] = {
        sfSymbol(0, L"0,4", L"", L""), sfSymbol(1, L"0,8", L"geschliffen", L""), sfSymbol(1, L"3,2", L"", L""),
        sfSymbol(2, L"6,4", L"poliert", L""), sfSymbol(0, L"1,6", L"poliert", L"")};
    sim::SymbolData s = keys[i % 5];
    s.name = L"Oberflächengüte" + std::to_wstring(i + 1);
    return s;
}

sim::HostData bigDrawing() {
    std::vector<std::vector<sim::SymbolData>> views(kViews);
    for (int i = 0; i < kSymbols; ++i) {
        views[static_cast<std::size_t>(i % kViews)].push_back(foreignSymbol(i));
    }
    std::vector<sim::SymbolData> onSheet = std::move(views.front());
    views.erase(views.begin());
    return drawingWith(std::move(onSheet), std::move(views));
}

} // namespace tvx::testing
