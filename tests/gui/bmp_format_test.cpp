// The preview loader's checks on BMP files: every offset and size must stay inside the file.
#include "app/win32/bmp_format.h"
#include "image_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using tvx::bmp::checkBmp;
using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}
void put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

Bytes rgbFile(int width, int height) {
    tvx::imagegen::RgbImage image{width, height, {}};
    image.pixels.assign(static_cast<std::size_t>(width * height), {10, 20, 30});
    return tvx::imagegen::encodeBmp24(image);
}

// An 8-bit file with a palette of `colours` entries.
Bytes paletteFile(int width, int height, std::uint32_t colours) {
    const std::size_t stride = (static_cast<std::size_t>(width) + 3) / 4 * 4;
    const std::size_t offset = 14 + 40 + colours * 4;
    Bytes b(offset + stride * static_cast<std::size_t>(height), 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<std::uint32_t>(b.size()));
    put32(b, 10, static_cast<std::uint32_t>(offset));
    put32(b, 14, 40);
    put32(b, 18, static_cast<std::uint32_t>(width));
    put32(b, 22, static_cast<std::uint32_t>(height));
    put16(b, 26, 1);
    put16(b, 28, 8);
    put32(b, 46, colours);
    return b;
}

TEST(BmpFormat, AcceptsWhatThePreviewsAndCommonEditorsWrite) {
    const auto plain = checkBmp(rgbFile(24, 24));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->width, 24);
    EXPECT_EQ(plain->height, 24);
    EXPECT_EQ(plain->bitsOffset, 54u);
    EXPECT_EQ(plain->bitsSize, 24u * 72u);
    EXPECT_EQ(plain->infoSize, 40u);

    // Odd widths pad each row to four bytes.
    const auto odd = checkBmp(rgbFile(5, 3));
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->bitsSize, 3u * 16u);

    const auto palette = checkBmp(paletteFile(7, 2, 16));
    ASSERT_TRUE(palette);
    EXPECT_EQ(palette->infoSize, 40u + 16u * 4u);

    Bytes topDown = rgbFile(4, 4);
    put32(topDown, 22, static_cast<std::uint32_t>(-4));
    const auto top = checkBmp(topDown);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->height, -4);
    EXPECT_EQ(top->bitsSize, 4u * 12u);

    // 32 bits with the three colour masks after a plain header.
    Bytes masked(14 + 40 + 12 + 2 * 2 * 4, 0);
    masked[0] = 'B';
    masked[1] = 'M';
    put32(masked, 10, 14 + 40 + 12);
    put32(masked, 14, 40);
    put32(masked, 18, 2);
    put32(masked, 22, 2);
    put16(masked, 26, 1);
    put16(masked, 28, 32);
    put32(masked, 30, 3);
    const auto bitfields = checkBmp(masked);
    ASSERT_TRUE(bitfields);
    EXPECT_EQ(bitfields->infoSize, 52u);
}

TEST(BmpFormat, RefusesFilesWhoseStatementsReachOutsideTheFile) {
    const Bytes good = rgbFile(6, 6);
    const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> broken{
        {"not a bitmap", [](Bytes& b) { b[0] = 'P'; }},
        {"too short for the headers", [](Bytes& b) { b.resize(50); }},
        {"core header", [](Bytes& b) { put32(b, 14, 12); }},
        {"header larger than the file", [](Bytes& b) { put32(b, 14, 124); b.resize(100); }},
        {"zero width", [](Bytes& b) { put32(b, 18, 0); }},
        {"negative width", [](Bytes& b) { put32(b, 18, static_cast<std::uint32_t>(-6)); }},
        {"zero height", [](Bytes& b) { put32(b, 22, 0); }},
        {"the smallest height", [](Bytes& b) { put32(b, 22, 0x80000000u); }},
        {"huge width", [](Bytes& b) { put32(b, 18, 0x40000000u); }},
        {"two planes", [](Bytes& b) { put16(b, 26, 2); }},
        {"3 bits per pixel", [](Bytes& b) { put16(b, 28, 3); }},
        {"run-length compressed", [](Bytes& b) { put32(b, 30, 1); }},
        {"jpeg inside", [](Bytes& b) { put32(b, 30, 4); }},
        {"pixels cut short", [](Bytes& b) { b.pop_back(); }},
        {"pixels start beyond the end", [](Bytes& b) { put32(b, 10, 0xFFFFFFF0u); }},
        {"pixels start inside the header", [](Bytes& b) { put32(b, 10, 20); }},
        {"more rows than bytes", [](Bytes& b) { put32(b, 22, 7); }},
        {"palette on a true-colour picture beyond 256", [](Bytes& b) { put32(b, 46, 257); }},
    };
    for (const auto& [what, damage] : broken) {
        Bytes file = good;
        damage(file);
        EXPECT_FALSE(checkBmp(file)) << what;
    }
    EXPECT_FALSE(checkBmp(paletteFile(4, 4, 257))) << "palette larger than 8 bits allow";
    Bytes paletteBeyond = paletteFile(4, 4, 256);
    paletteBeyond.resize(14 + 40 + 100);
    EXPECT_FALSE(checkBmp(paletteBeyond)) << "palette beyond the end";
    EXPECT_FALSE(checkBmp(Bytes{})) << "empty file";
}

TEST(BmpFormat, ReadsWholeSmallFilesOnly) {
    const auto folder = std::filesystem::temp_directory_path() / "tvx_bmp_format_test";
    std::filesystem::create_directories(folder);
    const auto path = folder / "picture.bmp";
    const Bytes bytes = rgbFile(3, 3);
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const auto read = tvx::bmp::readSmallFile(path, 1000);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, bytes);
    EXPECT_FALSE(tvx::bmp::readSmallFile(path, bytes.size() - 1)) << "larger than allowed";
    EXPECT_FALSE(tvx::bmp::readSmallFile(folder / "missing.bmp", 1000));
    EXPECT_FALSE(tvx::bmp::readSmallFile(folder, 1000)) << "a folder";
    std::filesystem::remove_all(folder);
}

} // namespace
