#include "drawing/sim/sheet_picture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace tvx::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr wchar_t kLabelFamily[] = L"DejaVu Sans";

struct Box {
    double left = std::numeric_limits<double>::max();
    double right = std::numeric_limits<double>::lowest();
    double bottom = std::numeric_limits<double>::max();
    double top = std::numeric_limits<double>::lowest();
    void add(double x, double y) {
        left = std::min(left, x);
        right = std::max(right, x);
        bottom = std::min(bottom, y);
        top = std::max(top, y);
    }
    bool empty() const { return left > right; }
};

PictureText label(PointMm at, const std::wstring& text, double size, std::string fill, std::string cssClass = {}) {
    PictureText t;
    t.kind = PictureText::Kind::Label;
    t.baselineStart = at;
    t.text = text;
    t.family = kLabelFamily;
    t.size = size;
    t.fill = std::move(fill);
    t.cssClass = std::move(cssClass);
    return t;
}

PictureText annotationText(PictureText::Kind kind, PointMm at, const TextRun& run, const std::wstring& text) {
    PictureText t;
    t.kind = kind;
    t.baselineStart = at;
    t.text = text;
    t.family = run.family;
    t.size = run.size;
    t.bold = run.bold;
    return t;
}

class Describer {
public:
    Describer(const SheetData& sheet, bool names)
        : width_(sheet.width * 1000.0), height_(sheet.height * 1000.0), names_(names) {}

    double x(double metres) const { return metres * 1000.0; }
    double y(double metres) const { return height_ - metres * 1000.0; } // y grows downward

    std::vector<PictureItem> paper() const {
        std::vector<PictureItem> items{PictureRect{0.0, 0.0, width_, height_, 0.0, {"white", "#999", 0.2}}};
        // A drawing frame with the wider filing margin on the left.
        if (width_ > 40.0 && height_ > 30.0) {
            items.push_back(PictureRect{20.0, 10.0, width_ - 30.0, height_ - 20.0, 0.0, {"none", "black", 0.7}});
        }
        return items;
    }

    // A light box around what the view holds, with its name; none for an empty view.
    std::optional<PictureGroup> viewBox(const ViewData& view) const {
        Box box;
        const auto add = [&](const BoxMm& b) {
            box.add(x(b.left / 1000.0), y(b.bottom / 1000.0));
            box.add(x(b.right / 1000.0), y(b.top / 1000.0));
        };
        for (const auto& s : view.symbols) {
            add(symbolShape(s).box);
        }
        for (const auto& n : view.notes) {
            add(noteShape(n).text.box);
        }
        if (box.empty()) {
            return std::nullopt;
        }
        constexpr double pad = 3.0;
        const double top = box.bottom - pad;
        const double height = box.top - box.bottom + 2 * pad + 4.0; // room for the name
        PictureGroup group{"view", std::nullopt, std::nullopt, {}};
        group.items.emplace_back(PictureRect{box.left - pad, top, box.right - box.left + 2 * pad, height, 0.0,
                                             {"#eef3fb", "#9fb3d1", 0.3}});
        group.items.emplace_back(label({box.left - pad + 1.0, top + height - 1.2}, view.name, 2.2, "#5a6f90"));
        return group;
    }

    // Drawn around its insertion point, so that the point is where the group is placed.
    PictureGroup symbol(const SymbolData& s) const {
        const SymbolShape shape = symbolShape(s);
        const PointMm at = shape.insertion;
        const auto local = [&](const PointMm& p) { return PointMm{p.x - at.x, at.y - p.y}; }; // y grows downward
        const Paint stroke{"none", "black", shape.lineWidth};
        PictureGroup group{"symbol", PointMm{x(s.x), y(s.y)}, std::nullopt, {}};
        PicturePath outline{{}, stroke};
        for (const PointMm& p : shape.outline) {
            outline.points.push_back(local(p));
        }
        group.items.emplace_back(std::move(outline));
        if (shape.bar) {
            group.items.emplace_back(PictureLine{local(shape.bar->first), local(shape.bar->second), stroke});
        }
        if (shape.circle) {
            group.items.emplace_back(PictureCircle{local(shape.circle->first), shape.circle->second, stroke});
        }
        for (const TextRun& run : shape.texts) {
            group.items.emplace_back(
                annotationText(PictureText::Kind::Annotation, local(run.baselineStart), run, run.text));
        }
        addName(group, s.name, {0.0, 2.8});
        return group;
    }

    // Drawn around its insertion point, the upper-left corner of its text cell.
    PictureGroup note(const NoteData& n) const {
        const NoteShape shape = noteShape(n);
        const double degrees = std::isfinite(n.angle) ? -n.angle * 180.0 / kPi : 0.0;
        const double baseline = shape.insertion.y - shape.text.baselineStart.y;
        PictureGroup group{"note", PointMm{x(n.x), y(n.y)}, degrees, {}};
        group.items.emplace_back(annotationText(PictureText::Kind::Note, {0.0, baseline}, shape.text, n.text));
        if (n.balloonStyle != 0) {
            const BoxMm& b = shape.text.box;
            group.items.emplace_back(PictureRect{-1.0, shape.insertion.y - b.top - 1.0, b.right - b.left + 2.0,
                                                 b.top - b.bottom + 2.0, 1.0, {"none", "black", 0.25}});
        }
        addName(group, n.name, {0.0, -1.0});
        return group;
    }

private:
    void addName(PictureGroup& group, const std::wstring& annotationName, PointMm at) const {
        if (names_ && !annotationName.empty()) {
            group.items.emplace_back(label(at, annotationName, 1.6, "#888", "name"));
        }
    }

    double width_;
    double height_;
    bool names_;
};

} // namespace

SheetPicture describeSheet(const HostData& data, std::size_t sheetIndex, bool names) {
    if (!data.activeDoc) {
        throw std::out_of_range("no document is open");
    }
    const auto& sheets = data.activeDoc->sheets;
    if (sheetIndex >= sheets.size()) {
        throw std::out_of_range("the drawing has no sheet " + std::to_string(sheetIndex));
    }
    const SheetData& sheet = sheets[sheetIndex];
    const Describer describer(sheet, names);
    SheetPicture picture{sheet.name, sheet.width * 1000.0, sheet.height * 1000.0, describer.paper(), {}};
    for (std::size_t v = 1; v < sheet.views.size(); ++v) {
        if (auto box = describer.viewBox(sheet.views[v])) {
            picture.groups.push_back(std::move(*box));
        }
    }
    for (const auto& view : sheet.views) {
        for (const auto& s : view.symbols) {
            picture.groups.push_back(describer.symbol(s));
        }
        for (const auto& n : view.notes) {
            picture.groups.push_back(describer.note(n));
        }
    }
    return picture;
}

} // namespace tvx::sim
