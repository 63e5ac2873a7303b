// tvx-faulttable DRAWING.json: runs the program on the drawing once without fault, then for every
// host call once with that call failing and once each with the host stopping to take calls there
// (busy past the bound, hung), and prints a row per run with the report shown, the drawing left
// behind and how a later run without fault did. Exit code 0 when every row is as
// it must be, 1 when not, 2 when the drawing cannot be read or the run without fault fails.
#include "tests/support/fault_table.h"
#include "drawing/sim/drawing_file.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " DRAWING.json\n";
        return 2;
    }
    try {
        const tvx::sim::HostData drawing = tvx::sim::loadDrawingFile(argv[1]);
        const tvx::testing::FaultTable table = tvx::testing::runFaultTable(drawing);
        std::cout << tvx::testing::formatFaultTable(table);
        return table.allOk() ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "tvx-faulttable: " << e.what() << '\n';
        return 2;
    }
}
