#include "image_files.h"

#include <cstddef>
#include <fstream>
#include <stdexcept>

namespace tvx::imagegen {
namespace {

class Writer {
public:
    explicit Writer(Bytes& out) : out_(out) {}
    void u8(unsigned value) { out_.push_back(static_cast<std::uint8_t>(value & 0xFFu)); }
    void u16(unsigned value) {
        u8(value);
        u8(value >> 8);
    }
    void u32(std::uint32_t value) {
        u16(value & 0xFFFFu);
        u16(value >> 16);
    }
    void zeros(std::size_t count) { out_.insert(out_.end(), count, 0); }

private:
    Bytes& out_;
};

constexpr std::uint32_t kInfoHeaderSize = 40;

std::uint32_t rowBytes(int width, int bitsPerPixel) {
    const auto bits = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(bitsPerPixel);
    return (bits + 31u) / 32u * 4u;
}

void infoHeader(Writer& w, int width, int height, int bitsPerPixel, std::uint32_t imageBytes,
                std::uint32_t paletteSize) {
    w.u32(kInfoHeaderSize);
    w.u32(static_cast<std::uint32_t>(width));
    w.u32(static_cast<std::uint32_t>(height));
    w.u16(1);
    w.u16(static_cast<unsigned>(bitsPerPixel));
    w.u32(0); // BI_RGB
    w.u32(imageBytes);
    w.u32(0);
    w.u32(0);
    w.u32(paletteSize);
    w.u32(0);
}

} // namespace

Bytes encodeBmp24(const RgbImage& image) {
    const std::uint32_t stride = rowBytes(image.width, 24);
    const std::uint32_t imageBytes = stride * static_cast<std::uint32_t>(image.height);
    const std::uint32_t offset = 14 + kInfoHeaderSize;
    Bytes out;
    Writer w(out);
    w.u8('B');
    w.u8('M');
    w.u32(offset + imageBytes);
    w.u32(0);
    w.u32(offset);
    infoHeader(w, image.width, image.height, 24, imageBytes, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const Rgb& p = image.pixels[static_cast<std::size_t>(y * image.width + x)];
            w.u8(p.b);
            w.u8(p.g);
            w.u8(p.r);
        }
        w.zeros(stride - static_cast<std::uint32_t>(image.width) * 3u);
    }
    return out;
}

Bytes encodeIcon(const IndexedImage& image, int bitsPerPixel) {
    if (bitsPerPixel != 4 && bitsPerPixel != 8) {
        throw std::invalid_argument("icons are written with 4 or 8 bits per pixel");
    }
    const std::uint32_t colours = 1u << bitsPerPixel;
    if (image.palette.size() != colours) {
        throw std::invalid_argument("the palette must have exactly 2^bits entries");
    }
    const std::uint32_t colourStride = rowBytes(image.width, bitsPerPixel);
    const std::uint32_t maskStride = rowBytes(image.width, 1);
    const auto height = static_cast<std::uint32_t>(image.height);
    const std::uint32_t imageBytes = (colourStride + maskStride) * height;
    const std::uint32_t resourceBytes = kInfoHeaderSize + colours * 4u + imageBytes;

    Bytes out;
    Writer w(out);
    // ICONDIR and its one ICONDIRENTRY.
    w.u16(0);
    w.u16(1);
    w.u16(1);
    w.u8(static_cast<unsigned>(image.width));
    w.u8(static_cast<unsigned>(image.height));
    w.u8(colours >= 256 ? 0u : colours);
    w.u8(0);
    w.u16(1);
    w.u16(static_cast<unsigned>(bitsPerPixel));
    w.u32(resourceBytes);
    w.u32(6 + 16);

    // An icon's header counts the colour rows and the mask rows together.
    infoHeader(w, image.width, image.height * 2, bitsPerPixel, imageBytes, 0);
    for (const Rgb& c : image.palette) {
        w.u8(c.b);
        w.u8(c.g);
        w.u8(c.r);
        w.u8(0);
    }
    for (int y = image.height - 1; y >= 0; --y) {
        Bytes row(colourStride, 0);
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t index = image.pixels[static_cast<std::size_t>(y * image.width + x)];
            if (bitsPerPixel == 8) {
                row[static_cast<std::size_t>(x)] = index;
            } else {
                const auto shift = (x % 2 == 0) ? 4 : 0;
                row[static_cast<std::size_t>(x / 2)] |= static_cast<std::uint8_t>((index & 0x0F) << shift);
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = image.height - 1; y >= 0; --y) {
        Bytes row(maskStride, 0);
        for (int x = 0; x < image.width && !image.transparent.empty(); ++x) {
            if (image.transparent[static_cast<std::size_t>(y * image.width + x)]) {
                row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace tvx::imagegen
