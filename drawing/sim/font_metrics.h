// Widths and heights of text in the fonts the sheet pictures know, so that a picture shows a
// text as wide as the program measured it. Read from the TrueType file itself.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tvx::sim {

// A glyph's ink, in em units, from its origin on the baseline.
struct GlyphBox {
    double left = 0.0;
    double bottom = 0.0;
    double right = 0.0;
    double top = 0.0;
};

class FontMetrics {
public:
    // Throws std::runtime_error when the file cannot be read or is no TrueType font.
    static FontMetrics fromFile(const std::filesystem::path& file);

    // In em units. Characters the font lacks take the width of its missing-glyph box.
    double advance(char32_t c) const;
    double width(std::wstring_view text) const;
    GlyphBox glyphBox(char32_t c) const;
    // What Windows takes for the text cell: ascent above the baseline, descent below it.
    double ascent() const { return ascent_; }
    double descent() const { return descent_; }
    double capHeight() const { return capHeight_; }

private:
    struct Glyph {
        double advance = 0.0;
        GlyphBox box;
    };
    const Glyph& glyph(char32_t c) const;

    std::unordered_map<char32_t, Glyph> glyphs_;
    Glyph missing_;
    double ascent_ = 0.0;
    double descent_ = 0.0;
    double capHeight_ = 0.0;
};

// The drawing font as the Wine prefix serves it: "ISOCP" is osifont there. The file's path,
// or empty when it is not installed.
std::filesystem::path drawingFontFile();

// Metrics by face name: the drawing font ("ISOCP", "osifont") when its file is installed,
// otherwise none (nullptr); loaded once.
const FontMetrics* metricsForFace(const std::wstring& face);

// The family a picture draws the face in: the drawing font under the name the system knows,
// DejaVu Sans for every other face.
std::wstring pictureFamily(const std::wstring& face);

} // namespace tvx::sim
