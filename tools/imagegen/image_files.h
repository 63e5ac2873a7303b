// BMP and ICO files written byte by byte, in the layouts Windows' own loaders read.
#pragma once

#include "raster.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace tvx::imagegen {

using Bytes = std::vector<std::uint8_t>;

// A 24-bit BMP file: file header, info header, bottom-up rows padded to four bytes.
Bytes encodeBmp24(const RgbImage& image);

// An ICO file with one image: 4 or 8 bits per pixel, full palette, the AND mask from
// `transparent` (no transparent pixels when it is empty).
Bytes encodeIcon(const IndexedImage& image, int bitsPerPixel);

// Writes the bytes; throws std::runtime_error naming the file on failure.
void writeFile(const std::filesystem::path& path, const Bytes& bytes);

} // namespace tvx::imagegen
