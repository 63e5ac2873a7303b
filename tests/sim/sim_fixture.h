// A stand-in host with a small two-sheet drawing, attached, for the sim's own tests.
#pragma once

#include "drawing/sim/sim_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tvx::sim::testing {

inline SymbolData symbol(std::int32_t type, std::wstring method, std::wstring roughness,
                         std::wstring name, double x = 0.1, double y = 0.1) {
    SymbolData s;
    s.symbolType = type;
    s.texts[2] = std::move(method);
    s.texts[5] = std::move(roughness);
    s.name = std::move(name);
    s.x = x;
    s.y = y;
    return s;
}

inline NoteData note(std::wstring text, std::wstring name, double x = 0.2, double y = 0.05) {
    NoteData n;
    n.text = std::move(text);
    n.name = std::move(name);
    n.x = x;
    n.y = y;
    return n;
}

// Blatt1: own view with A, B and note "Hinweis"; view "Zeichenansicht1" with C and note
// "Schnitt". Blatt2: own view with D and note "ZyrNote".
inline HostData twoSheetDrawing() {
    SheetData one = makeSheet(L"Blatt1");
    one.views[0].symbols = {symbol(1, L"geschliffen", L"0,8", L"A"),
                            symbol(0, L"", L"6,3", L"B")};
    one.views[0].notes = {note(L"Allgemeintoleranz", L"Hinweis")};
    one.views.push_back(ViewData{L"Zeichenansicht1", {symbol(1, L"gefräst", L"3,2", L"C")},
                                 {note(L"A-A", L"Schnitt")}, {}});
    SheetData two = makeSheet(L"Blatt2", 6, 0.297, 0.21);
    two.views[0].symbols = {symbol(2, L"", L"1,6", L"D")};
    two.views[0].notes = {note(L"(  )", L"ZyrNote")};
    return makeDrawingHost({one, two});
}

class SimTest : public ::testing::Test {
protected:
    explicit SimTest(HostData data = twoSheetDrawing()) : sim(std::move(data)) {}

    host::AppRef app() { return sim.connector().attach(host::kHostClassName); }
    host::DocRef doc() { return app()->ActiveDoc(); }

    const ViewData& ownView(std::size_t sheet = 0) const {
        return sim.data().activeDoc->sheets.at(sheet).views.at(0);
    }
    std::vector<std::wstring> symbolNames(std::size_t sheet, std::size_t view) const {
        std::vector<std::wstring> names;
        for (const auto& s : sim.data().activeDoc->sheets.at(sheet).views.at(view).symbols) {
            names.push_back(s.name);
        }
        return names;
    }
    // The n-th (0-based) symbol of a view, through the host's own walk.
    host::SFSymbolRef symbolAt(const host::ViewRef& view, int n) {
        host::SFSymbolRef s = view->GetFirstSFSymbol();
        for (int i = 0; i < n && s; ++i) {
            s = s->GetNext();
        }
        return s;
    }
    host::AnnotationRef annotationOf(int n) {
        return symbolAt(doc()->GetFirstView(), n)->GetAnnotation();
    }

    SimHost sim;
};

} // namespace tvx::sim::testing
