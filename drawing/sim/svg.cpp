#include "drawing/sim/svg.h"

#include "drawing/sim/annotation_shapes.h"
#include "drawing/sim/utf8.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace tvx::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string num(double value) {
    if (!std::isfinite(value)) {
        value = 0.0;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", value);
    std::string s = buf;
    // 12.500 -> 12.5, 3.000 -> 3
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') {
        s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

// Text content or attribute value: markup escaped, characters XML cannot carry replaced.
std::string xml(const std::wstring& text) {
    std::wstring clean;
    clean.reserve(text.size());
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                             (code >= 0x20 && code != 0xFFFE && code != 0xFFFF);
        clean += allowed ? c : L'\xFFFD';
    }
    std::string utf8;
    try {
        utf8 = toUtf8(clean);
    } catch (const Utf8Error&) {
        utf8 = "?";
    }
    std::string out;
    for (const char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

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

std::string fontAttributes(const TextRun& run) {
    return " font-family=\"" + xml(run.family) + "\" font-size=\"" + num(run.size) + "\"" +
           (run.bold ? " font-weight=\"bold\"" : "");
}

class SheetPicture {
public:
    SheetPicture(const SheetData& sheet, bool names)
        : width_(sheet.width * 1000.0), height_(sheet.height * 1000.0), names_(names) {}

    double x(double metres) const { return metres * 1000.0; }
    double y(double metres) const { return height_ - metres * 1000.0; } // y grows downward

    std::string begin(const SheetData& sheet, const std::optional<SheetAreaMm>& area) const {
        const SheetAreaMm shown = area ? *area : SheetAreaMm{0.0, 0.0, width_, height_};
        std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(shown.width) +
               "mm\" height=\"" + num(shown.height) + "mm\" viewBox=\"" + num(shown.left) + " " +
               num(height_ - shown.bottom - shown.height) + " " + num(shown.width) + " " +
               num(shown.height) + "\">\n";
        out += "<title>" + xml(sheet.name) + "</title>\n";
        out += "<rect x=\"0\" y=\"0\" width=\"" + num(width_) + "\" height=\"" + num(height_) +
               "\" fill=\"white\" stroke=\"#999\" stroke-width=\"0.2\"/>\n";
        // A drawing frame with the wider filing margin on the left.
        if (width_ > 40.0 && height_ > 30.0) {
            out += "<rect x=\"20\" y=\"10\" width=\"" + num(width_ - 30.0) + "\" height=\"" +
                   num(height_ - 20.0) + "\" fill=\"none\" stroke=\"black\" stroke-width=\"0.7\"/>\n";
        }
        return out;
    }

    // A light box around what the view holds.
    std::string viewBox(const ViewData& view) const {
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
            return {};
        }
        constexpr double pad = 3.0;
        const double top = box.bottom - pad;
        const double height = box.top - box.bottom + 2 * pad + 4.0; // room for the name
        return "<g class=\"view\">\n<rect x=\"" + num(box.left - pad) + "\" y=\"" + num(top) +
               "\" width=\"" + num(box.right - box.left + 2 * pad) + "\" height=\"" +
               num(height) +
               "\" fill=\"#eef3fb\" stroke=\"#9fb3d1\" stroke-width=\"0.3\"/>\n<text x=\"" +
               num(box.left - pad + 1.0) + "\" y=\"" + num(top + height - 1.2) +
               "\" font-size=\"2.2\" font-family=\"DejaVu Sans\" fill=\"#5a6f90\">" +
               xml(view.name) + "</text>\n</g>\n";
    }

    // Drawn around its insertion point, so that the point is where the group is placed.
    std::string symbol(const SymbolData& s) const {
        const SymbolShape shape = symbolShape(s);
        const PointMm at = shape.insertion;
        const auto rx = [&](double mm) { return num(mm - at.x); };
        const auto ry = [&](double mm) { return num(at.y - mm); }; // the picture's y grows downward
        const std::string stroke =
            "stroke=\"black\" stroke-width=\"" + num(shape.lineWidth) + "\"";
        std::string out = "<g class=\"symbol\" transform=\"translate(" + num(x(s.x)) + " " +
                          num(y(s.y)) + ")\">\n<path d=\"";
        for (std::size_t i = 0; i < shape.outline.size(); ++i) {
            out += (i == 0 ? "M " : " L ") + rx(shape.outline[i].x) + " " + ry(shape.outline[i].y);
        }
        out += "\" fill=\"none\" stroke-linejoin=\"round\" " + stroke + "/>\n";
        if (shape.bar) {
            out += "<line x1=\"" + rx(shape.bar->first.x) + "\" y1=\"" + ry(shape.bar->first.y) +
                   "\" x2=\"" + rx(shape.bar->second.x) + "\" y2=\"" + ry(shape.bar->second.y) +
                   "\" " + stroke + "/>\n";
        }
        if (shape.circle) {
            out += "<circle cx=\"" + rx(shape.circle->first.x) + "\" cy=\"" +
                   ry(shape.circle->first.y) + "\" r=\"" + num(shape.circle->second) +
                   "\" fill=\"none\" " + stroke + "/>\n";
        }
        for (const TextRun& run : shape.texts) {
            out += "<text x=\"" + rx(run.baselineStart.x) + "\" y=\"" + ry(run.baselineStart.y) +
                   "\"" + fontAttributes(run) + " xml:space=\"preserve\">" + xml(run.text) +
                   "</text>\n";
        }
        out += name(s.name, 0.0, 2.8);
        return out + "</g>\n";
    }

    // Drawn around its insertion point, the upper-left corner of its text cell.
    std::string note(const NoteData& n) const {
        const NoteShape shape = noteShape(n);
        const double degrees = std::isfinite(n.angle) ? -n.angle * 180.0 / kPi : 0.0;
        const double baseline = shape.insertion.y - shape.text.baselineStart.y;
        std::string out = "<g class=\"note\" transform=\"translate(" + num(x(n.x)) + " " +
                          num(y(n.y)) + ") rotate(" + num(degrees) + ")\">\n";
        out += "<text x=\"0\" y=\"" + num(baseline) + "\"" + fontAttributes(shape.text) +
               " xml:space=\"preserve\" style=\"white-space:pre\">" + xml(n.text) + "</text>\n";
        if (n.balloonStyle != 0) {
            const BoxMm& b = shape.text.box;
            out += "<rect x=\"-1\" y=\"" + num(shape.insertion.y - b.top - 1.0) +
                   "\" width=\"" + num(b.right - b.left + 2.0) + "\" height=\"" +
                   num(b.top - b.bottom + 2.0) +
                   "\" rx=\"1\" fill=\"none\" stroke=\"black\" stroke-width=\"0.25\"/>\n";
        }
        out += name(n.name, 0.0, -1.0);
        return out + "</g>\n";
    }

private:
    std::string name(const std::wstring& annotationName, double dx, double dy) const {
        if (!names_ || annotationName.empty()) {
            return {};
        }
        return "<text class=\"name\" x=\"" + num(dx) + "\" y=\"" + num(dy) +
               "\" font-size=\"1.6\" font-family=\"DejaVu Sans\" fill=\"#888\">" +
               xml(annotationName) + "</text>\n";
    }

    double width_;
    double height_;
    bool names_;
};

} // namespace

std::string renderSheetSvg(const HostData& data, std::size_t sheetIndex,
                           const SvgOptions& options) {
    const std::optional<SheetAreaMm>& area = options.area;
    if (!data.activeDoc) {
        throw std::out_of_range("no document is open");
    }
    const auto& sheets = data.activeDoc->sheets;
    if (sheetIndex >= sheets.size()) {
        throw std::out_of_range("the drawing has no sheet " + std::to_string(sheetIndex));
    }
    const SheetData& sheet = sheets[sheetIndex];
    const SheetPicture picture(sheet, options.names);
    if (area && !(area->width > 0.0 && area->height > 0.0)) {
        throw std::invalid_argument("the area shown has no size");
    }
    std::string out = picture.begin(sheet, area);
    for (std::size_t v = 1; v < sheet.views.size(); ++v) {
        out += picture.viewBox(sheet.views[v]);
    }
    for (const auto& view : sheet.views) {
        for (const auto& s : view.symbols) {
            out += picture.symbol(s);
        }
        for (const auto& n : view.notes) {
            out += picture.note(n);
        }
    }
    return out + "</svg>\n";
}

} // namespace tvx::sim
