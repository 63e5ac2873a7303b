// What one sheet looks like: a short list of rectangles, polylines, lines, circles and texts,
// built once from the drawing and drawn both as SVG (the drawing tool, the guide's pictures) and
// by GDI in the stand-in host's window, so the two pictures cannot disagree.
// Millimetres of the picture: x to the right, y downward from the sheet's upper-left corner.
#pragma once

#include "drawing/sim/annotation_shapes.h"
#include "drawing/sim/model.h"

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tvx::sim {

// Colours as SVG names them: "none", "white", "black", "#rgb" or "#rrggbb".
struct Paint {
    std::string fill = "none";
    std::string stroke = "none";
    double strokeWidth = 0.0;
};

struct PictureRect {
    double x = 0.0, y = 0.0, width = 0.0, height = 0.0;
    double corner = 0.0; // radius of rounded corners
    Paint paint;
};

// An open polyline with round joins.
struct PicturePath {
    std::vector<PointMm> points;
    Paint paint;
};

struct PictureLine {
    PointMm from, to;
    Paint paint;
};

struct PictureCircle {
    PointMm centre;
    double radius = 0.0;
    Paint paint;
};

struct PictureText {
    enum class Kind {
        Label,      // a view's or an annotation's name: small, coloured
        Annotation, // a symbol's text, in the annotation's own font
        Note,       // a note's text, blanks kept as they are
    };
    Kind kind = Kind::Label;
    PointMm baselineStart;
    std::wstring text;
    std::wstring family;
    double size = 0.0; // em, mm
    bool bold = false;
    std::string fill = "black";
    std::string cssClass; // a label's class in the SVG, "name" for an annotation's name
};

using PictureItem = std::variant<PictureRect, PicturePath, PictureLine, PictureCircle, PictureText>;

// Items drawn in the group's own coordinates: translated, then turned clockwise by `degrees`.
struct PictureGroup {
    std::string kind; // "view", "symbol" or "note"
    std::optional<PointMm> origin;
    std::optional<double> degrees;
    std::vector<PictureItem> items;
};

struct SheetPicture {
    std::wstring title;
    double width = 0.0; // the whole sheet, mm
    double height = 0.0;
    std::vector<PictureItem> paper; // the sheet and its drawing frame
    std::vector<PictureGroup> groups;
};

// Throws std::out_of_range when there is no document or no such sheet.
SheetPicture describeSheet(const HostData& data, std::size_t sheetIndex, bool names = true);

} // namespace tvx::sim
