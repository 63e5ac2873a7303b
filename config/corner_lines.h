// The lines "Eckpunkt N = X" after the eighteen items: the corner x for the paper sizes the
// items leave out (A4 landscape, the ANSI sizes, a user-defined size).
#pragma once

#include "config/config.h"
#include "config/free_format_input.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tvx {

struct CornerLine {
    int paperCode = 0;
    double x = 0.0;
};

// One line that begins with "Eckpunkt": the word, blanks, the code (0 to 6 or 12), an "=" with
// optional blanks around it, and one number as the items write it, up to the line end. Any
// other form, or a code the items give (7 to 11) or no paper size has, gives nullopt.
std::optional<CornerLine> parseCornerLine(std::string_view line);

// Only corner lines follow the items: whatever lies beyond this many bytes after the last item
// (a huge tail, a pipe that never ends) stays unread.
inline constexpr std::size_t kCornerLinesBytes = 64 * 1024;

// Reads the lines within kCornerLinesBytes after the last item into cfg.cfgExtraCornerX,
// starting with the rest of the last item's line, which stays unread. Lines that do not begin with "Eckpunkt" are skipped; a
// faulty one (one the limit cuts off included), a code given twice or a read error gives false, and cfg stays as it was.
// cause (when given) then says which line and why.
bool readCornerLines(FreeFormatInput& in, Config& cfg, std::string* cause = nullptr);

} // namespace tvx
