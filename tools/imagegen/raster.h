// A small raster for drawing the program's pictures: shapes are drawn as coverage (0..1 per
// pixel, from 8 x 8 subsamples), which each picture maps to its own palette.
#pragma once

#include <cstdint>
#include <vector>

namespace tvx::imagegen {

struct Point {
    double x;
    double y;
};

class Coverage {
public:
    Coverage(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    double at(int x, int y) const;

    // A straight stroke with round ends; coordinates in pixels, (0, 0) the top-left corner.
    void stroke(Point from, Point to, double thickness);
    void disc(Point centre, double radius);
    void ring(Point centre, double radius, double thickness);

private:
    template <typename Inside>
    void fill(Inside inside);

    int width_;
    int height_;
    std::vector<double> cover_;
};

struct Rgb {
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;
    bool operator==(const Rgb&) const = default;
};

// A picture as palette indices, top row first, with an optional transparency mask.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> palette;
    std::vector<std::uint8_t> pixels;
    std::vector<bool> transparent;
};

// A true-colour picture, top row first.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;
};

} // namespace tvx::imagegen
