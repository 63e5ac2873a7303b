#include "raster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tvx::imagegen {
namespace {

constexpr int kSubsamples = 8;

double distanceToSegment(Point p, Point a, Point b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double t = 0.0;
    if (lengthSquared > 0.0) {
        t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared, 0.0, 1.0);
    }
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

} // namespace

Coverage::Coverage(int width, int height)
    : width_(width), height_(height),
      cover_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0.0) {}

double Coverage::at(int x, int y) const {
    return cover_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                  static_cast<std::size_t>(x)];
}

template <typename Inside>
void Coverage::fill(Inside inside) {
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            int hits = 0;
            for (int sy = 0; sy < kSubsamples; ++sy) {
                for (int sx = 0; sx < kSubsamples; ++sx) {
                    const Point p{x + (sx + 0.5) / kSubsamples, y + (sy + 0.5) / kSubsamples};
                    if (inside(p)) {
                        ++hits;
                    }
                }
            }
            double& c = cover_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                               static_cast<std::size_t>(x)];
            c = std::max(c, static_cast<double>(hits) / (kSubsamples * kSubsamples));
        }
    }
}

void Coverage::stroke(Point from, Point to, double thickness) {
    fill([&](Point p) { return distanceToSegment(p, from, to) <= thickness / 2.0; });
}

void Coverage::disc(Point centre, double radius) {
    fill([&](Point p) { return std::hypot(p.x - centre.x, p.y - centre.y) <= radius; });
}

void Coverage::ring(Point centre, double radius, double thickness) {
    fill([&](Point p) {
        return std::abs(std::hypot(p.x - centre.x, p.y - centre.y) - radius) <= thickness / 2.0;
    });
}

} // namespace tvx::imagegen
