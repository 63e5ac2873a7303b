// tvx-sheetcheck: the verdict on one run of tests/e2e/sheets_e2e.sh.
//   tvx-sheetcheck run BEFORE AFTER SHEET CORNER_X Y REACH   one set of output on SHEET, current
//                                                             now, at its corner; every other
//                                                             sheet as it was
//   tvx-sheetcheck same BEFORE AFTER                          nothing changed but the current
//                                                             sheet, toggles included
//   tvx-sheetcheck undone BEFORE AFTER                        as `same`, the Undo list included,
//                                                             the rebuild count aside
// Prints what does not hold. Exit codes: 0 it holds, 1 it does not, 2 unusable input.
#include "drawing/sim/drawing_file.h"
#include "drawing/sim/utf8.h"
#include "tests/e2e/sheet_checks.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    using namespace tvx;
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        std::string fault;
        if (command == "run" && argc == 8) {
            fault = e2e::checkSheetRun(sim::loadDrawingFile(argv[2]), sim::loadDrawingFile(argv[3]),
                                       sim::fromUtf8(argv[4]), std::stod(argv[5]), std::stod(argv[6]),
                                       std::stod(argv[7]));
        } else if (command == "same" && argc == 4) {
            fault = e2e::checkUnchanged(sim::loadDrawingFile(argv[2]), sim::loadDrawingFile(argv[3]));
        } else if (command == "undone" && argc == 4) {
            fault = e2e::checkUndone(sim::loadDrawingFile(argv[2]), sim::loadDrawingFile(argv[3]));
        } else {
            std::fputs("usage: tvx-sheetcheck run BEFORE AFTER SHEET CORNER_X Y REACH | same|undone BEFORE AFTER\n", stderr);
            return 2;
        }
        if (!fault.empty()) {
            std::printf("%s\n", fault.c_str());
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tvx-sheetcheck: %s\n", e.what());
        return 2;
    }
}
