// What a surface-finish symbol and a note look like on the sheet, in millimetres of sheet
// coordinates (x to the right, y upward): the lines, circles and texts the picture draws, and
// the boxes they cover. Where the host puts each part is told in docs/drawing-format.md.
#pragma once

#include "drawing/sim/model.h"

#include <optional>
#include <string>
#include <vector>

namespace tvx::sim {

struct PointMm {
    double x = 0.0;
    double y = 0.0;
};

struct BoxMm {
    double left = 0.0;
    double bottom = 0.0;
    double right = 0.0;
    double top = 0.0;

    bool overlaps(const BoxMm& other) const {
        return left < other.right && other.left < right && bottom < other.top &&
               other.bottom < top;
    }
};

struct TextRun {
    std::wstring text;
    PointMm baselineStart; // left end of the baseline
    double size = 0.0;     // em, mm
    std::wstring family;   // as the picture names it
    bool bold = false;
    BoxMm box;             // advance width by the font's cell below and cap height above
};

struct SymbolShape {
    PointMm insertion; // the symbol's position: lower-left corner of its V
    PointMm tip;       // where the V touches the surface
    double lineWidth = 0.0;
    std::vector<PointMm> outline; // short leg, tip, long leg, and the line for the texts
    std::optional<std::pair<PointMm, PointMm>> bar; // material removal required
    std::optional<std::pair<PointMm, double>> circle; // no removal allowed: centre, radius
    std::vector<TextRun> texts;
    BoxMm box; // everything drawn
};

struct NoteShape {
    PointMm insertion; // the note's position: upper-left corner of its text cell
    TextRun text;
    // For a bracket note ("(", blanks, ")"): the ink of each bracket.
    std::optional<BoxMm> opening;
    std::optional<BoxMm> closing;
};

SymbolShape symbolShape(const SymbolData& symbol);
NoteShape noteShape(const NoteData& note);

// The text height of a format in mm, with a readable stand-in for one the picture cannot draw.
double textSizeMm(const TextFormatData& format);

} // namespace tvx::sim
