#include "drawing/sim/svg.h"

#include "drawing/sim/sheet_picture.h"
#include "drawing/sim/utf8.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <variant>

namespace tvx::sim {

namespace {

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

std::string point(const char* xName, const char* yName, const PointMm& p) {
    return std::string(" ") + xName + "=\"" + num(p.x) + "\" " + yName + "=\"" + num(p.y) + "\"";
}

std::string paint(const Paint& p) {
    return " fill=\"" + p.fill + "\" stroke=\"" + p.stroke + "\" stroke-width=\"" + num(p.strokeWidth) + "\"";
}

std::string stroke(const Paint& p) {
    return " stroke=\"" + p.stroke + "\" stroke-width=\"" + num(p.strokeWidth) + "\"";
}

struct ItemSvg {
    std::string operator()(const PictureRect& r) const {
        return "<rect x=\"" + num(r.x) + "\" y=\"" + num(r.y) + "\" width=\"" + num(r.width) + "\" height=\"" +
               num(r.height) + "\"" + (r.corner > 0.0 ? " rx=\"" + num(r.corner) + "\"" : "") + paint(r.paint) +
               "/>\n";
    }
    std::string operator()(const PicturePath& p) const {
        std::string out = "<path d=\"";
        for (std::size_t i = 0; i < p.points.size(); ++i) {
            out += (i == 0 ? "M " : " L ") + num(p.points[i].x) + " " + num(p.points[i].y);
        }
        return out + "\" fill=\"" + p.paint.fill + "\" stroke-linejoin=\"round\"" + stroke(p.paint) + "/>\n";
    }
    std::string operator()(const PictureLine& l) const {
        return "<line" + point("x1", "y1", l.from) + point("x2", "y2", l.to) + stroke(l.paint) + "/>\n";
    }
    std::string operator()(const PictureCircle& c) const {
        return "<circle" + point("cx", "cy", c.centre) + " r=\"" + num(c.radius) + "\" fill=\"" + c.paint.fill +
               "\"" + stroke(c.paint) + "/>\n";
    }
    std::string operator()(const PictureText& t) const {
        std::string out = "<text";
        if (t.kind == PictureText::Kind::Label) {
            if (!t.cssClass.empty()) {
                out += " class=\"" + t.cssClass + "\"";
            }
            out += point("x", "y", t.baselineStart) + " font-size=\"" + num(t.size) + "\" font-family=\"" +
                   xml(t.family) + "\" fill=\"" + t.fill + "\">";
        } else {
            out += point("x", "y", t.baselineStart) + " font-family=\"" + xml(t.family) + "\" font-size=\"" +
                   num(t.size) + "\"" + (t.bold ? " font-weight=\"bold\"" : "") + " xml:space=\"preserve\"" +
                   (t.kind == PictureText::Kind::Note ? " style=\"white-space:pre\">" : ">");
        }
        return out + xml(t.text) + "</text>\n";
    }
};

std::string groupSvg(const PictureGroup& g) {
    std::string out = "<g class=\"" + g.kind + "\"";
    if (g.origin) {
        out += " transform=\"translate(" + num(g.origin->x) + " " + num(g.origin->y) + ")" +
               (g.degrees ? " rotate(" + num(*g.degrees) + ")" : "") + "\"";
    }
    out += ">\n";
    for (const PictureItem& item : g.items) {
        out += std::visit(ItemSvg{}, item);
    }
    return out + "</g>\n";
}

} // namespace

std::string renderSheetSvg(const HostData& data, std::size_t sheetIndex,
                           const SvgOptions& options) {
    const SheetPicture picture = describeSheet(data, sheetIndex, options.names);
    if (options.area && !(options.area->width > 0.0 && options.area->height > 0.0)) {
        throw std::invalid_argument("the area shown has no size");
    }
    const SheetAreaMm shown = options.area ? *options.area : SheetAreaMm{0.0, 0.0, picture.width, picture.height};
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(shown.width) + "mm\" height=\"" +
           num(shown.height) + "mm\" viewBox=\"" + num(shown.left) + " " +
           num(picture.height - shown.bottom - shown.height) + " " + num(shown.width) + " " + num(shown.height) +
           "\">\n";
    out += "<title>" + xml(picture.title) + "</title>\n";
    for (const PictureItem& item : picture.paper) {
        out += std::visit(ItemSvg{}, item);
    }
    for (const PictureGroup& group : picture.groups) {
        out += groupSvg(group);
    }
    return out + "</svg>\n";
}

} // namespace tvx::sim
