// Any bytes given to the drawing-file reader either load or fail with DrawingFileError; what
// loads is written back and must read the same.
#include "drawing/sim/drawing_file.h"
#include "drawing/sim/listing.h"
#include "drawing/sim/svg.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tvx::sim::HostData drawing;
    try {
        drawing = tvx::sim::parseDrawing(text, "fuzz.json");
    } catch (const tvx::sim::DrawingFileError&) {
        return 0;
    }
    const std::string json = tvx::sim::drawingToJson(drawing);
    if (!(tvx::sim::parseDrawing(json, "written.json") == drawing) ||
        tvx::sim::drawingToJson(tvx::sim::parseDrawing(json, "written.json")) != json) {
        std::abort();
    }
    tvx::sim::listAnnotations(drawing);
    if (drawing.activeDoc) {
        for (std::size_t i = 0; i < drawing.activeDoc->sheets.size(); ++i) {
            tvx::sim::renderSheetSvg(drawing, i);
        }
    }
    return 0;
}
