// A stable text listing of a drawing's annotations, for golden files and the drawing tool.
#pragma once

#include "drawing/sim/model.h"

#include <string>

namespace tvx::sim {

// Every sheet, view, symbol and note in document order, one per line, UTF-8; blanks in note
// texts are shown visibly ("(␣×16)"), positions in millimetres.
std::string listAnnotations(const HostData& data);

} // namespace tvx::sim
