#include "pictures.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace tvx::imagegen {
namespace {

const double kSqrt3 = std::sqrt(3.0);

// The symbol's legs stand at 60 degrees to the surface; the right one runs on to twice the
// height of the left and may end in the horizontal line that carries the roughness.
struct SymbolGeometry {
    Point tip;
    double legHeight;
    double topLineEnd; // x where the top line ends; 0 for none
    double thickness;
};

void drawSymbol(Coverage& c, const SymbolGeometry& g, SymbolKind kind) {
    const double dx = g.legHeight / kSqrt3;
    const Point leftTop{g.tip.x - dx, g.tip.y - g.legHeight};
    const Point rightAtBar{g.tip.x + dx, g.tip.y - g.legHeight};
    const Point rightTop{g.tip.x + 2.0 * dx, g.tip.y - 2.0 * g.legHeight};
    c.stroke(g.tip, leftTop, g.thickness);
    c.stroke(g.tip, rightTop, g.thickness);
    if (kind == SymbolKind::removalRequired) {
        c.stroke(leftTop, rightAtBar, g.thickness);
    } else if (kind == SymbolKind::noRemoval) {
        // Inscribed in the triangle the bar would close: a third of its height below the bar.
        const double r = g.legHeight / 3.0;
        c.ring({g.tip.x, g.tip.y - g.legHeight + r}, r, g.thickness * 0.8);
    }
    if (g.topLineEnd > 0.0) {
        c.stroke(rightTop, {g.topLineEnd, rightTop.y}, g.thickness);
    }
}

// Five steps of coverage: none, a quarter, a half, three quarters, full.
int coverageStep(double cover) {
    return static_cast<int>(std::lround(cover * 4.0));
}

// Black where covered, the background's grey where not, and steps between them at the edges.
RgbImage greysOn(const Coverage& c, std::uint8_t background) {
    RgbImage image{c.width(), c.height(), {}};
    for (int y = 0; y < c.height(); ++y) {
        for (int x = 0; x < c.width(); ++x) {
            const auto level = static_cast<std::uint8_t>(background - coverageStep(c.at(x, y)) * background / 4);
            image.pixels.push_back({level, level, level});
        }
    }
    return image;
}

RgbImage greysOnWhite(const Coverage& c) { return greysOn(c, 255); }

} // namespace

IndexedImage programIcon() {
    Coverage c(32, 32);
    drawSymbol(c, {{11.0, 28.0}, 12.0, 31.5, 2.2}, SymbolKind::removalRequired);

    IndexedImage icon;
    icon.width = 32;
    icon.height = 32;
    icon.palette.assign(256, Rgb{0, 0, 0});
    const std::array<Rgb, 5> shades{{{0, 0, 0}, {63, 63, 0}, {127, 127, 0}, {191, 191, 0}, {255, 255, 0}}};
    for (std::size_t i = 0; i < shades.size(); ++i) {
        icon.palette[i] = shades[i];
    }
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            icon.pixels.push_back(static_cast<std::uint8_t>(coverageStep(c.at(x, y))));
        }
    }
    return icon;
}

namespace {

// The program icon's geometry, scaled: every size shows the same symbol.
Coverage commandSymbol(int size) {
    const double scale = size / 32.0;
    Coverage c(size, size);
    drawSymbol(c, {{11.0 * scale, 28.0 * scale}, 12.0 * scale, 31.5 * scale, 2.2 * scale},
               SymbolKind::removalRequired);
    return c;
}

} // namespace

RgbImage commandIcon(int size) {
    // The edges shade into the key colour, not into white: no light seam around the symbol.
    return greysOn(commandSymbol(size), kCommandIconKey.r);
}

RgbImage addinManagerIcon(int size) {
    return greysOnWhite(commandSymbol(size));
}

RgbImage designPreview() {
    Coverage c(24, 24);
    drawSymbol(c, {{9.0, 20.5}, 9.0, 0.0, 1.6}, SymbolKind::removalRequired);
    return greysOnWhite(c);
}

IndexedImage messageIcon() {
    enum : std::uint8_t { black = 0, darkRed = 1, grey = 8, red = 9, white = 15 };
    IndexedImage icon;
    icon.width = 32;
    icon.height = 32;
    icon.palette = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                    {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                    {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

    const Point centre{15.0, 15.0};
    const double radius = 13.0;
    Coverage shadow(32, 32);
    shadow.disc({centre.x + 2.5, centre.y + 2.5}, radius);
    Coverage disc(32, 32);
    disc.disc(centre, radius);
    Coverage inner(32, 32);
    inner.disc(centre, radius - 1.6);
    Coverage cross(32, 32);
    cross.stroke({10.0, 10.0}, {20.0, 20.0}, 3.2);
    cross.stroke({20.0, 10.0}, {10.0, 20.0}, 3.2);

    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            std::uint8_t index = black;
            bool transparent = true;
            if (disc.at(x, y) >= 0.5) {
                transparent = false;
                index = cross.at(x, y) >= 0.5 ? white : inner.at(x, y) >= 0.5 ? red : darkRed;
            } else if (shadow.at(x, y) >= 0.5) {
                transparent = false;
                index = grey;
            }
            icon.pixels.push_back(index);
            icon.transparent.push_back(transparent);
        }
    }
    return icon;
}

RgbImage symbolPreview(SymbolKind kind) {
    Coverage c(24, 24);
    drawSymbol(c, {{8.0, 20.5}, 8.5, 23.0, 1.5}, kind);
    return greysOnWhite(c);
}

} // namespace tvx::imagegen
