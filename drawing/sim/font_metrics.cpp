#include "drawing/sim/font_metrics.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>

namespace tvx::sim {
namespace {

constexpr std::size_t kLargestFontFile = 32u << 20;

// Big-endian reads that refuse to leave the file.
class Bytes {
public:
    explicit Bytes(std::vector<unsigned char> data) : data_(std::move(data)) {}
    std::uint32_t u32(std::size_t at) const { return (u16(at) << 16) | u16(at + 2); }
    std::uint32_t u16(std::size_t at) const {
        need(at, 2);
        return (static_cast<std::uint32_t>(data_[at]) << 8) | data_[at + 1];
    }
    std::int32_t s16(std::size_t at) const {
        const std::uint32_t v = u16(at);
        return v >= 0x8000 ? static_cast<std::int32_t>(v) - 0x10000 : static_cast<std::int32_t>(v);
    }
    void need(std::size_t at, std::size_t count) const {
        if (at > data_.size() || count > data_.size() - at) {
            throw std::runtime_error("the font file ends inside a table");
        }
    }

private:
    std::vector<unsigned char> data_;
};

std::vector<unsigned char> readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error(file.string() + ": cannot be read");
    }
    std::vector<unsigned char> data;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        data.insert(data.end(), buffer, buffer + in.gcount());
        if (data.size() > kLargestFontFile) {
            throw std::runtime_error(file.string() + ": too large for a font");
        }
    }
    return data;
}

std::map<std::string, std::size_t> tables(const Bytes& b) {
    std::map<std::string, std::size_t> found;
    const std::uint32_t count = b.u16(4);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = 12 + 16 * static_cast<std::size_t>(i);
        b.need(entry, 16);
        const std::uint32_t tag = b.u32(entry);
        const std::string name{static_cast<char>(tag >> 24), static_cast<char>((tag >> 16) & 0xFF),
                               static_cast<char>((tag >> 8) & 0xFF), static_cast<char>(tag & 0xFF)};
        found[name] = b.u32(entry + 8);
    }
    for (const char* required : {"head", "hhea", "hmtx", "cmap", "loca", "glyf", "OS/2"}) {
        if (!found.contains(required)) {
            throw std::runtime_error(std::string("the font has no ") + required + " table");
        }
    }
    return found;
}

// Character to glyph index from the Windows Unicode map (platform 3, encoding 1, format 4).
std::map<char32_t, std::uint32_t> characterMap(const Bytes& b, std::size_t cmap) {
    std::optional<std::size_t> sub;
    const std::uint32_t count = b.u16(cmap + 2);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t rec = cmap + 4 + 8 * static_cast<std::size_t>(i);
        if (b.u16(rec) == 3 && b.u16(rec + 2) == 1 && b.u16(cmap + b.u32(rec + 4)) == 4) {
            sub = cmap + b.u32(rec + 4);
        }
    }
    if (!sub) {
        throw std::runtime_error("the font has no Windows Unicode character map");
    }
    const std::size_t segments = b.u16(*sub + 6) / 2;
    const std::size_t ends = *sub + 14;
    const std::size_t starts = ends + 2 * segments + 2;
    const std::size_t deltas = starts + 2 * segments;
    const std::size_t offsets = deltas + 2 * segments;
    std::map<char32_t, std::uint32_t> map;
    for (std::size_t s = 0; s < segments; ++s) {
        const std::uint32_t first = b.u16(starts + 2 * s);
        const std::uint32_t last = b.u16(ends + 2 * s);
        const std::uint32_t delta = b.u16(deltas + 2 * s);
        const std::uint32_t offset = b.u16(offsets + 2 * s);
        for (std::uint32_t c = first; c <= last && c != 0xFFFF; ++c) {
            std::uint32_t g = c;
            if (offset != 0) {
                g = b.u16(offsets + 2 * s + offset + 2 * (c - first));
                if (g == 0) {
                    continue;
                }
            }
            map[c] = (g + delta) & 0xFFFF;
        }
    }
    return map;
}

} // namespace

FontMetrics FontMetrics::fromFile(const std::filesystem::path& file) {
    const Bytes b(readAll(file));
    const auto t = tables(b);
    const double unitsPerEm = b.u16(t.at("head") + 18);
    if (unitsPerEm < 16) {
        throw std::runtime_error("the font's em has fewer than 16 units");
    }
    const bool longOffsets = b.s16(t.at("head") + 50) != 0;
    const std::uint32_t metricsCount = b.u16(t.at("hhea") + 34);
    if (metricsCount == 0) {
        throw std::runtime_error("the font has no horizontal metrics");
    }
    const std::size_t os2 = t.at("OS/2");

    const auto makeGlyph = [&](std::uint32_t index) {
        Glyph glyph;
        const std::uint32_t m = std::min(index, metricsCount - 1);
        glyph.advance = b.u16(t.at("hmtx") + 4 * static_cast<std::size_t>(m)) / unitsPerEm;
        const std::size_t loca = t.at("loca");
        const std::size_t start = longOffsets ? b.u32(loca + 4 * index) : 2 * b.u16(loca + 2 * index);
        const std::size_t end =
            longOffsets ? b.u32(loca + 4 * (index + 1)) : 2 * b.u16(loca + 2 * (index + 1));
        if (end > start) { // an empty outline (a blank) has no ink
            const std::size_t g = t.at("glyf") + start;
            glyph.box = {b.s16(g + 2) / unitsPerEm, b.s16(g + 4) / unitsPerEm,
                         b.s16(g + 6) / unitsPerEm, b.s16(g + 8) / unitsPerEm};
        }
        return glyph;
    };

    FontMetrics metrics;
    metrics.missing_ = makeGlyph(0);
    for (const auto& [c, index] : characterMap(b, t.at("cmap"))) {
        metrics.glyphs_[c] = makeGlyph(index);
    }
    metrics.ascent_ = b.u16(os2 + 74) / unitsPerEm;  // usWinAscent
    metrics.descent_ = b.u16(os2 + 76) / unitsPerEm; // usWinDescent
    metrics.capHeight_ = b.u16(os2) >= 2 ? b.s16(os2 + 88) / unitsPerEm : 0.7;
    return metrics;
}

const FontMetrics::Glyph& FontMetrics::glyph(char32_t c) const {
    const auto found = glyphs_.find(c);
    return found == glyphs_.end() ? missing_ : found->second;
}

double FontMetrics::advance(char32_t c) const { return glyph(c).advance; }

double FontMetrics::width(std::wstring_view text) const {
    double sum = 0.0;
    for (const wchar_t c : text) {
        sum += advance(static_cast<char32_t>(c));
    }
    return sum;
}

GlyphBox FontMetrics::glyphBox(char32_t c) const { return glyph(c).box; }

std::filesystem::path drawingFontFile() {
    const std::filesystem::path debian = "/usr/share/fonts/truetype/osifont/osifont.ttf";
    std::error_code error;
    return std::filesystem::is_regular_file(debian, error) ? debian : std::filesystem::path();
}

namespace {

bool isDrawingFont(const std::wstring& face) {
    std::wstring lower;
    for (const wchar_t c : face) {
        lower += c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    }
    return lower == L"isocp" || lower == L"osifont";
}

} // namespace

const FontMetrics* metricsForFace(const std::wstring& face) {
    if (!isDrawingFont(face)) {
        return nullptr;
    }
    static const std::optional<FontMetrics> drawingFont = []() -> std::optional<FontMetrics> {
        const std::filesystem::path file = drawingFontFile();
        if (file.empty()) {
            return std::nullopt;
        }
        return FontMetrics::fromFile(file);
    }();
    return drawingFont ? &*drawingFont : nullptr;
}

std::wstring pictureFamily(const std::wstring& face) {
    // One named font for all others, so a picture looks the same whatever fonts the machine
    // offers in place of a face it lacks.
    return isDrawingFont(face) ? L"osifont" : L"DejaVu Sans";
}

} // namespace tvx::sim
