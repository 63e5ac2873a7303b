#include "app/testing/fault_table.h"
#include "drawing/sim/drawing_file.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

TEST(FaultTable, Sample) {
    const auto table = testing::runFaultTable(sim::loadDrawingFile(TVX_SAMPLES_DIR "/rerun-drawing.json"));
    std::cout << testing::formatFaultTable(table);
}

} // namespace
} // namespace tvx
