#include "drawing/sim/annotation_shapes.h"

#include "drawing/sim/font_metrics.h"

#include <algorithm>
#include <cmath>

namespace tvx::sim {
namespace {

// Surface-finish symbol of ISO 1302 at text height h: line width h/10, short leg rising 1.4 h,
// long leg 3 h, both at 60 degrees to the surface.
constexpr double kLineWidth = 0.1;
constexpr double kShortLeg = 1.4;
constexpr double kLongLeg = 3.0;
constexpr double kTextGap = 0.2; // between a text and the line it stands on or beside
constexpr double kTan30 = 0.57735026918962576;

// Stand-ins for a font the pictures have no metrics of.
constexpr double kGuessAdvance = 0.55;
constexpr double kGuessAscent = 0.9;
constexpr double kGuessDescent = 0.21;
constexpr double kGuessCapHeight = 0.72;

struct TextMeasure {
    const FontMetrics* font;
    double width(const std::wstring& text) const {
        return font ? font->width(text) : kGuessAdvance * static_cast<double>(text.size());
    }
    double ascent() const { return font ? font->ascent() : kGuessAscent; }
    double descent() const { return font ? font->descent() : kGuessDescent; }
    double capHeight() const { return font ? font->capHeight() : kGuessCapHeight; }
};

TextRun textRun(const std::wstring& text, PointMm baselineStart, const TextFormatData& format) {
    const TextMeasure m{metricsForFace(format.typeFaceName)};
    TextRun run;
    run.text = text;
    run.baselineStart = baselineStart;
    run.size = textSizeMm(format);
    run.family = pictureFamily(format.typeFaceName);
    run.bold = format.bold;
    run.box = {baselineStart.x, baselineStart.y - m.descent() * run.size,
               baselineStart.x + m.width(text) * run.size,
               baselineStart.y + m.capHeight() * run.size};
    return run;
}

void grow(BoxMm& box, const BoxMm& other) {
    box.left = std::min(box.left, other.left);
    box.bottom = std::min(box.bottom, other.bottom);
    box.right = std::max(box.right, other.right);
    box.top = std::max(box.top, other.top);
}

std::wstring symbolText(const SymbolData& s, std::int32_t index) {
    const auto found = s.texts.find(index);
    return found == s.texts.end() ? std::wstring() : found->second;
}

} // namespace

double textSizeMm(const TextFormatData& format) {
    const double size = format.charHeight * 1000.0;
    return std::isfinite(size) && size > 0.5 && size < 100.0 ? size : 3.5;
}

SymbolShape symbolShape(const SymbolData& symbol) {
    SymbolShape shape;
    const double h = textSizeMm(symbol.format);
    const double gap = kTextGap * h;
    shape.insertion = {symbol.x * 1000.0, symbol.y * 1000.0};
    const double shortRise = kShortLeg * h;
    const double longRise = kLongLeg * h;
    shape.tip = {shape.insertion.x + shortRise * kTan30, shape.insertion.y};
    shape.lineWidth = kLineWidth * h;
    const PointMm shortTop{shape.insertion.x, shape.tip.y + shortRise};
    const PointMm longTop{shape.tip.x + longRise * kTan30, shape.tip.y + longRise};
    shape.outline = {shortTop, shape.tip, longTop};
    shape.box = {shortTop.x, shape.tip.y, longTop.x, longTop.y};

    if (symbol.symbolType == 1) {
        shape.bar = {{shortTop, {shape.tip.x + shortRise * kTan30, shortTop.y}}};
    } else if (symbol.symbolType == 2) {
        const double r = shortRise / 3.0; // the circle inscribed in the V up to the short leg
        shape.circle = {{{shape.tip.x, shape.tip.y + 2.0 * r}, r}};
    }

    // The production method stands on a line drawn on from the long leg.
    const std::wstring method = symbolText(symbol, 2);
    if (!method.empty()) {
        TextRun run = textRun(method, {longTop.x + gap, longTop.y + 1.5 * gap}, symbol.format);
        shape.outline.push_back({run.box.right + gap, longTop.y});
        grow(shape.box, run.box);
        shape.box.right = std::max(shape.box.right, shape.outline.back().x);
        shape.texts.push_back(std::move(run));
    }
    // The roughness value stands above the short leg, against the long one.
    const std::wstring roughness = symbolText(symbol, 5);
    if (!roughness.empty()) {
        const double baseline = shortTop.y + 1.5 * gap;
        TextRun run = textRun(roughness, {0.0, baseline}, symbol.format);
        const double width = run.box.right - run.box.left;
        const double right = shape.tip.x + (baseline - shape.tip.y) * kTan30 - gap;
        run = textRun(roughness, {right - width, baseline}, symbol.format);
        grow(shape.box, run.box);
        shape.texts.push_back(std::move(run));
    }
    return shape;
}

NoteShape noteShape(const NoteData& note) {
    NoteShape shape;
    shape.insertion = {note.x * 1000.0, note.y * 1000.0};
    const FontMetrics* font = metricsForFace(note.format.typeFaceName);
    const TextMeasure m{font};
    const double size = textSizeMm(note.format);
    const PointMm baseline{shape.insertion.x, shape.insertion.y - m.ascent() * size};
    shape.text = textRun(note.text, baseline, note.format);

    const std::wstring& t = note.text;
    if (t.size() >= 2 && t.front() == L'(' && t.back() == L')' &&
        std::all_of(t.begin() + 1, t.end() - 1, [](wchar_t c) { return c == L' '; })) {
        const auto ink = [&](wchar_t c, double originX) {
            if (!font) { // the advance cell from baseline to cap height
                return BoxMm{originX, baseline.y, originX + kGuessAdvance * size,
                             baseline.y + kGuessCapHeight * size};
            }
            const GlyphBox g = font->glyphBox(static_cast<char32_t>(c));
            return BoxMm{originX + g.left * size, baseline.y + g.bottom * size,
                         originX + g.right * size, baseline.y + g.top * size};
        };
        shape.opening = ink(L'(', baseline.x);
        shape.closing = ink(L')', shape.text.box.right - m.width(L")") * size);
    }
    return shape;
}

} // namespace tvx::sim
