// The drawing tool's SVG picture of a drawing file's current sheet, for the Windows tests, where
// the drawing tool itself is not built:   tvx_sheet_svg DRAWING.json OUT.svg
#include "drawing/sim/drawing_file.h"
#include "drawing/sim/svg.h"

#include <cstdio>
#include <exception>
#include <fstream>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: tvx_sheet_svg DRAWING.json OUT.svg\n", stderr);
        return 2;
    }
    try {
        const tvx::sim::HostData data = tvx::sim::loadDrawingFile(argv[1]);
        const std::size_t sheet = data.activeDoc ? data.activeDoc->currentSheet : 0;
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out << tvx::sim::renderSheetSvg(data, sheet);
        return out.flush() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tvx_sheet_svg: %s\n", e.what());
        return 1;
    }
}
