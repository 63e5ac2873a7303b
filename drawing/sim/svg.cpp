#include "drawing/sim/svg.h"

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

double textSizeMm(const TextFormatData& f) {
    const double size = f.charHeight * 1000.0;
    return std::isfinite(size) && size > 0.5 && size < 100.0 ? size : 3.5;
}

double textWidthMm(const std::wstring& text, double size) {
    return static_cast<double>(text.size()) * 0.6 * size;
}

class SheetPicture {
public:
    explicit SheetPicture(const SheetData& sheet)
        : width_(sheet.width * 1000.0), height_(sheet.height * 1000.0) {}

    double x(double metres) const { return metres * 1000.0; }
    double y(double metres) const { return height_ - metres * 1000.0; } // y grows downward

    std::string begin(const SheetData& sheet) const {
        std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(width_) +
               "mm\" height=\"" + num(height_) + "mm\" viewBox=\"0 0 " + num(width_) + " " +
               num(height_) + "\">\n";
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

    // A light box around what the view holds, room left for the symbols' legs and texts.
    std::string viewBox(const ViewData& view) const {
        Box box;
        for (const auto& s : view.symbols) {
            box.add(x(s.x) - 4.0, y(s.y) + 4.0);
            box.add(x(s.x) + 28.0, y(s.y) - 14.0);
        }
        for (const auto& n : view.notes) {
            box.add(x(n.x) - 2.0, y(n.y) + 4.0);
            box.add(x(n.x) + textWidthMm(n.text, textSizeMm(n.format)) + 2.0,
                    y(n.y) - textSizeMm(n.format) - 2.0);
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
               "\" font-size=\"2.2\" font-family=\"sans-serif\" fill=\"#5a6f90\">" +
               xml(view.name) + "</text>\n</g>\n";
    }

    // The V with its tip on the point: short left leg, long right leg carrying a line for the
    // texts; type 1 closes the V with a bar, type 2 holds a circle.
    std::string symbol(const SymbolData& s) const {
        const double size = textSizeMm(s.format);
        const double shortLeg = 1.4 * size;
        const double longLeg = 2.8 * size;
        const double slope = std::tan(30.0 * kPi / 180.0);
        const double a = shortLeg * slope;
        const double b = longLeg * slope;
        const auto text = [&s](std::int32_t index) {
            const auto found = s.texts.find(index);
            return found == s.texts.end() ? std::wstring() : found->second;
        };
        const std::wstring method = text(2);
        const std::wstring roughness = text(5);
        const double line =
            std::max(textWidthMm(method, size), textWidthMm(roughness, size)) + 1.0;
        const std::string font = " font-family=\"" + xml(s.format.typeFaceName) +
                                 "\" font-size=\"" + num(size) + "\"" +
                                 (s.format.bold ? " font-weight=\"bold\"" : "");

        std::string out = "<g class=\"symbol\" transform=\"translate(" + num(x(s.x)) + " " +
                          num(y(s.y)) + ")\">\n";
        out += "<path d=\"M " + num(-a) + " " + num(-shortLeg) + " L 0 0 L " + num(b) + " " +
               num(-longLeg) + " L " + num(b + line) + " " + num(-longLeg) +
               "\" fill=\"none\" stroke=\"black\" stroke-width=\"0.35\"/>\n";
        if (s.symbolType == 1) {
            out += "<line x1=\"" + num(-a) + "\" y1=\"" + num(-shortLeg) + "\" x2=\"" + num(a) +
                   "\" y2=\"" + num(-shortLeg) + "\" stroke=\"black\" stroke-width=\"0.35\"/>\n";
        } else if (s.symbolType == 2) {
            const double r = shortLeg / 3.0;
            out += "<circle cx=\"0\" cy=\"" + num(-2.0 * r) + "\" r=\"" + num(r) +
                   "\" fill=\"none\" stroke=\"black\" stroke-width=\"0.35\"/>\n";
        }
        if (!method.empty()) {
            out += "<text x=\"" + num(b + 0.5) + "\" y=\"" + num(-longLeg - 0.6) + "\"" + font +
                   " xml:space=\"preserve\">" + xml(method) + "</text>\n";
        }
        if (!roughness.empty()) {
            out += "<text x=\"" + num(b + 0.5) + "\" y=\"" + num(-longLeg + size + 0.4) + "\"" +
                   font + " xml:space=\"preserve\">" + xml(roughness) + "</text>\n";
        }
        out += name(s.name, 0.0, 2.8);
        return out + "</g>\n";
    }

    std::string note(const NoteData& n) const {
        const double size = textSizeMm(n.format);
        const double degrees = std::isfinite(n.angle) ? -n.angle * 180.0 / kPi : 0.0;
        std::string out = "<g class=\"note\" transform=\"translate(" + num(x(n.x)) + " " +
                          num(y(n.y)) + ") rotate(" + num(degrees) + ")\">\n";
        out += "<text x=\"0\" y=\"0\" font-family=\"" + xml(n.format.typeFaceName) +
               "\" font-size=\"" + num(size) + "\"" +
               (n.format.bold ? " font-weight=\"bold\"" : "") +
               " xml:space=\"preserve\" style=\"white-space:pre\">" + xml(n.text) + "</text>\n";
        if (n.balloonStyle != 0) {
            out += "<rect x=\"-1\" y=\"" + num(-size - 1.0) + "\" width=\"" +
                   num(textWidthMm(n.text, size) + 2.0) + "\" height=\"" + num(size + 2.0) +
                   "\" rx=\"1\" fill=\"none\" stroke=\"black\" stroke-width=\"0.25\"/>\n";
        }
        out += name(n.name, 0.0, 2.6);
        return out + "</g>\n";
    }

private:
    static std::string name(const std::wstring& annotationName, double dx, double dy) {
        if (annotationName.empty()) {
            return {};
        }
        return "<text class=\"name\" x=\"" + num(dx) + "\" y=\"" + num(dy) +
               "\" font-size=\"1.6\" font-family=\"sans-serif\" fill=\"#888\">" +
               xml(annotationName) + "</text>\n";
    }

    double width_;
    double height_;
};

} // namespace

std::string renderSheetSvg(const HostData& data, std::size_t sheetIndex) {
    if (!data.activeDoc) {
        throw std::out_of_range("no document is open");
    }
    const auto& sheets = data.activeDoc->sheets;
    if (sheetIndex >= sheets.size()) {
        throw std::out_of_range("the drawing has no sheet " + std::to_string(sheetIndex));
    }
    const SheetData& sheet = sheets[sheetIndex];
    const SheetPicture picture(sheet);
    std::string out = picture.begin(sheet);
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
