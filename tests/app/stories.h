// Drawings and choices shared by the run stories.
#pragma once

#include "../drawing/drawing_builders.h"
#include "tests/support/run_fixture.h"

namespace tvx::testing {

// Foreign symbols on the sheet and in two views, one of them twice.
inline sim::HostData foreignDrawing() {
    return drawingWith({sfSymbol(1, L"1,6", L"geschliffen", L"Oberflächengüte1")},
                       {{sfSymbol(2, L"3,2", L"", L"Oberflächengüte2"),
                         sfSymbol(1, L"1,6", L"geschliffen", L"Oberflächengüte3")},
                        {sfSymbol(0, L"0,8", L"poliert", L"Oberflächengüte4")}});
}

inline const UserChoice kFirstChoice{0, L"geschliffen", L"6,4"};

// foreignDrawing after a completed first run with kFirstChoice.
inline sim::HostData rerunDrawing() {
    RunFixture first(foreignDrawing());
    first.start();
    first.ok(kFirstChoice);
    return first.drawing();
}

// rerunDrawing where names are unique in the whole document and an earlier symbol on another
// sheet, which the run neither reads nor clears, holds the name: the host refuses it to the new
// output.
inline sim::HostData nameHeldOnAnotherSheet(const std::wstring& name) {
    sim::HostData drawing = rerunDrawing();
    drawing.behaviour.nameScope = sim::NameScope::document;
    sim::SheetData second = sim::makeSheet(L"Blatt2");
    second.views[0].symbols.push_back(sfSymbol(1, L"3,2", L"", name));
    drawing.activeDoc->sheets.push_back(second);
    return drawing;
}

} // namespace tvx::testing
