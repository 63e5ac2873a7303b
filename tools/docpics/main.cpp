// tvx-docpics: the guide's dimensioned picture of Tarvenix.txt, drawn by the layout itself.
//   tvx-docpics CONFIG_FOLDER -o OUT.svg
// Lays out a main symbol and two other symbols on an A3 sheet with the configuration in
// CONFIG_FOLDER, text widths measured in the drawing font's own metrics, and draws every
// distance of the file as a dimension, numbered like the file's items.
// Exit codes: 0 done, 1 usage, output or font error, 2 the configuration is faulty.
#include "config/config.h"
#include "drawing/sim/font_metrics.h"
#include "drawing/sim/sim_host.h"
#include "drawing/sim/svg.h"
#include "drawing/sim/utf8.h"
#include "layout/positions.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

using namespace tvx;

// Widths as the drawing font's metrics give them: what GDI measures, without its rounding to
// whole pixels.
class FontFileMeasurer final : public MeasuringSurface {
public:
    explicit FontFileMeasurer(const sim::FontMetrics& font) : font_(font) {}
    void setFontName(const std::wstring&) override {}
    void setFontSize(float points) override { points_ = points; }
    float textWidthMm(const std::wstring& text) override {
        return static_cast<float>(font_.width(text) * points_ * 25.4 / 72.0);
    }

private:
    const sim::FontMetrics& font_;
    double points_ = 14.25;
};

std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

// Dimensions in the picture's own coordinates (mm, y downward).
class Dimensions {
public:
    explicit Dimensions(double sheetHeight) : sheetHeight_(sheetHeight) {}

    // A dimension between two x at height y (sheet mm), with extension lines down from fromY.
    void horizontal(double x1, double x2, double y, double fromY, const std::string& label) {
        line(x1, fromY, x1, y - 1.0, kExtension);
        line(x2, fromY, x2, y - 1.0, kExtension);
        arrowLine(x1, y, x2, y);
        text((x1 + x2) / 2.0, y + 0.8, label, "middle");
    }
    // A dimension between two y at x, with extension lines from fromX.
    void vertical(double y1, double y2, double x, double fromX, const std::string& label) {
        line(fromX, y1, x + 1.0, y1, kExtension);
        line(fromX, y2, x + 1.0, y2, kExtension);
        arrowLine(x, y1, x, y2);
        text(x + 1.2, (y1 + y2) / 2.0 - 0.8, label, "start");
    }
    void text(double x, double y, const std::string& label, const char* anchor) {
        out_ += "<text x=\"" + num(x) + "\" y=\"" + num(Y(y)) + "\" text-anchor=\"" + anchor +
                "\" font-family=\"DejaVu Sans\" font-size=\"2.4\" fill=\"" + kColour + "\">" +
                label + "</text>\n";
    }
    void cross(double x, double y) {
        line(x - 1.5, y, x + 1.5, y, kLine);
        line(x, y - 1.5, x, y + 1.5, kLine);
    }
    const std::string& svg() const { return out_; }

private:
    static constexpr const char* kColour = "#1f5fbf";
    static constexpr double kLine = 0.2;
    static constexpr double kExtension = 0.12;

    double Y(double y) const { return sheetHeight_ - y; }
    void line(double x1, double y1, double x2, double y2, double width) {
        out_ += "<line x1=\"" + num(x1) + "\" y1=\"" + num(Y(y1)) + "\" x2=\"" + num(x2) +
                "\" y2=\"" + num(Y(y2)) + "\" stroke=\"" + kColour + "\" stroke-width=\"" +
                num(width) + "\"/>\n";
    }
    void arrowLine(double x1, double y1, double x2, double y2) {
        line(x1, y1, x2, y2, kLine);
        arrow(x1, y1, x2 - x1, y2 - y1);
        arrow(x2, y2, x1 - x2, y1 - y2);
    }
    // A filled arrowhead at (x, y) pointing away from the direction (dx, dy).
    void arrow(double x, double y, double dx, double dy) {
        const double length = std::hypot(dx, dy);
        if (length <= 0.0) {
            return;
        }
        const double ux = dx / length * 1.4;
        const double uy = dy / length * 1.4;
        out_ += "<path d=\"M " + num(x) + " " + num(Y(y)) + " L " + num(x + ux - uy * 0.3) + " " +
                num(Y(y + uy + ux * 0.3)) + " L " + num(x + ux + uy * 0.3) + " " +
                num(Y(y + uy - ux * 0.3)) + " Z\" fill=\"" + kColour + "\"/>\n";
    }

    double sheetHeight_;
    std::string out_;
};

sim::SymbolData placed(const SymbolSlot& slot, const Config& cfg) {
    sim::SymbolData s;
    s.symbolType = slot.symbolType;
    if (!slot.method.empty()) {
        s.texts[2] = slot.method;
    }
    if (!slot.roughness.empty()) {
        s.texts[5] = slot.roughness;
    }
    s.format.typeFaceName = cfg.cfgSymbolFont;
    s.format.setCharHeight(cfg.cfgSymbolHeight / 4000.0);
    s.x = slot.posX;
    s.y = slot.posY;
    return s;
}

std::string picture(const Config& given, const sim::FontMetrics& font) {
    Config cfg = given;
    // Shown with a visible shift, so the picture has a distance to point at.
    const bool anchorShown = cfg.cfgAnchorOffset == 0.0;
    if (anchorShown) {
        cfg.cfgAnchorOffset = 0.002;
    }
    sim::SimHost host(sim::makeDrawingHost({sim::makeSheet(L"Blatt1", 8, 0.42, 0.297)}));
    const host::DocRef doc = host.connector().attach(host::kHostClassName)->ActiveDoc();
    SymbolRegister symbols;
    symbols.slots[0] = {kMainSlotId, L"1,6", L"", 0.0, 1, 0.0, 0.0};
    symbols.appendOther(1, L"0,8", L"geschliffen");
    symbols.appendOther(0, L"6,3", L"");
    FontFileMeasurer surface(font);
    LayoutResult layout;
    computeLayout(surface, cfg, doc, symbols, layout);

    sim::SheetData& sheet = host.data().activeDoc->sheets[0];
    for (std::int32_t i = 0; i <= symbols.slotCount; ++i) {
        sheet.views[0].symbols.push_back(placed(symbols.slot(i), cfg));
    }
    sim::NoteData note;
    note.text = layout.noteText;
    note.x = layout.notePoint.x;
    note.y = layout.notePoint.y;
    note.format.typeFaceName = cfg.cfgNoteFont;
    note.format.setCharHeightInPts(cfg.cfgNotePoints);
    sheet.views[0].notes.push_back(note);

    const double mm = 1000.0;
    const double cx = layout.cornerPoint.x * mm;
    const double cy = layout.cornerPoint.y * mm;
    const double pad = cfg.cfgBracketPad * mm;
    const double width = cfg.cfgSymbolWidth * mm;
    const double anchor = cfg.cfgAnchorOffset * mm;
    const double rise = cfg.cfgSymbolRise * mm;
    const double x1 = symbols.slot(1).posX * mm;
    const double x2 = symbols.slot(2).posX * mm;
    const double x0 = symbols.slot(0).posX * mm;
    const double tw1 = symbols.slot(1).textWidth * mm;
    const double tw2 = symbols.slot(2).textWidth * mm;
    const double spanLeft = x2 - pad - anchor;

    Dimensions d(sheet.height * mm);
    d.cross(cx, cy);
    d.text(cx + 1.5, cy - 3.5, "Eckpunkt", "start");
    d.vertical(cy, cy + rise, cx + 6.0, cx, "(7)");
    d.vertical(cy, layout.notePoint.y * mm, cx + 14.0, cx, "(12)");
    d.vertical(0.0, cy, cx + 22.0, cx, "(6)");
    d.horizontal(spanLeft, spanLeft + pad, cy - 4.0, cy + rise, "(8)");
    d.horizontal(x0 + width, x2, cy - 9.0, cy + rise, "(8)");
    d.horizontal(cx - pad, cx, cy - 4.0, cy + rise, "(8)");
    d.horizontal(cx - pad, cx - pad + anchor, cy - 9.0, cy + rise, "(10)");
    d.horizontal(x2 + width + tw2, x1, cy - 9.0, cy + rise, "(11)");
    d.horizontal(x1, x1 + width, cy - 14.0, cy + rise, "(9)");
    d.horizontal(x1 + width, x1 + width + tw1, cy - 14.0, cy + rise, "Textbreite");
    const double noteLine = cy + 32.0;
    d.text(x0 - 8.0, noteLine,
           "(1) bis (5): Eckpunkt x, vom linken Blattrand, je Blattgr\xC3\xB6\xC3\x9F" "e",
           "start");
    d.text(x0 - 8.0, noteLine - 4.0,
           "Zeilen \xE2\x80\x9E" "Eckpunkt N = X\xE2\x80\x9C nach (18): A4 quer, ANSI-Gr\xC3\xB6\xC3\x9F" "en",
           "start");
    if (anchorShown) {
        d.text(x0 - 8.0, noteLine - 8.0,
               "(10) hier 2 mm zur Verdeutlichung; in der Beispieldatei 0", "start");
    }

    sim::SvgOptions options;
    options.names = false;
    options.area = sim::SheetAreaMm{x0 - 10.0, 0.0, cx - x0 + 42.0, cy + 36.0};
    std::string svg = sim::renderSheetSvg(host.data(), 0, options);
    svg.insert(svg.rfind("</svg>"), "<g class=\"dimensions\">\n" + d.svg() + "</g>\n");
    return svg;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Draws the dimensioned picture of Tarvenix.txt."};
    std::string folder;
    std::string out;
    app.add_option("CONFIG_FOLDER", folder, "folder holding Tarvenix.txt")->required();
    app.add_option("-o,--output", out, "SVG file to write")->required();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    try {
        tvx::Config cfg;
        if (!tvx::readConfig(cfg, tvx::sim::fromUtf8(folder)).empty()) {
            std::cerr << folder << "/Tarvenix.txt: faulty or missing\n";
            return 2;
        }
        const tvx::sim::FontMetrics* font = tvx::sim::metricsForFace(L"ISOCP");
        if (font == nullptr) {
            std::cerr << "tvx-docpics: the drawing font (osifont) is not installed\n";
            return 1;
        }
        std::ofstream stream(out, std::ios::binary | std::ios::trunc);
        stream << picture(cfg, *font);
        stream.flush();
        if (!stream) {
            std::cerr << out << ": cannot be written\n";
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "tvx-docpics: " << e.what() << "\n";
        return 1;
    }
}
