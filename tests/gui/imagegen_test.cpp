// The program's pictures: what their descriptions promise, and that the generator still draws
// exactly the files kept in resources/.
#include "image_files.h"
#include "pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>
#include <string>

namespace {

using namespace tvx::imagegen;

Bytes committed(const std::string& name) {
    std::ifstream in(std::string(TVX_RESOURCES_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t u32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}

const Rgb& pixel(const RgbImage& image, int x, int y) {
    return image.pixels[static_cast<std::size_t>(y * image.width + x)];
}

bool dark(const Rgb& p) { return p.r < 128; }

TEST(Pictures, GeneratorReproducesTheCommittedFiles) {
    EXPECT_EQ(encodeIcon(programIcon(), 8), committed("tarvenix.ico"));
    EXPECT_EQ(encodeIcon(messageIcon(), 4), committed("message.ico"));
    EXPECT_EQ(encodeBmp24(designPreview()), committed("design_preview.bmp"));
    EXPECT_EQ(encodeBmp24(symbolPreview(SymbolKind::basic)), committed("symbol_00.bmp"));
    EXPECT_EQ(encodeBmp24(symbolPreview(SymbolKind::removalRequired)), committed("symbol_01.bmp"));
    EXPECT_EQ(encodeBmp24(symbolPreview(SymbolKind::noRemoval)), committed("symbol_02.bmp"));
    for (const int size : kCommandIconSizes) {
        EXPECT_EQ(encodeBmp24(commandIcon(size)), committed("command_" + std::to_string(size) + ".bmp")) << size;
        EXPECT_EQ(encodeBmp24(addinManagerIcon(size)), committed("addin_manager_" + std::to_string(size) + ".bmp"))
            << size;
    }
}

TEST(Pictures, ProgramIconIsYellowShadesOnBlackWithA256ColourPalette) {
    const IndexedImage icon = programIcon();
    ASSERT_EQ(icon.palette.size(), 256u);
    EXPECT_EQ(icon.palette[0], (Rgb{0, 0, 0}));
    EXPECT_EQ(icon.palette[1], (Rgb{63, 63, 0}));
    EXPECT_EQ(icon.palette[2], (Rgb{127, 127, 0}));
    EXPECT_EQ(icon.palette[3], (Rgb{191, 191, 0}));
    EXPECT_EQ(icon.palette[4], (Rgb{255, 255, 0}));
    const std::set<std::uint8_t> used(icon.pixels.begin(), icon.pixels.end());
    EXPECT_EQ(used, (std::set<std::uint8_t>{0, 1, 2, 3, 4})) << "every shade and nothing else";
    EXPECT_TRUE(icon.transparent.empty());

    const Bytes file = encodeIcon(icon, 8);
    EXPECT_EQ(file.size(), 22u + 40u + 1024u + 32u * 32u + 32u * 4u);
    EXPECT_EQ(file[2], 1);  // an icon
    EXPECT_EQ(file[6], 32); // width
    EXPECT_EQ(file[7], 32); // height
    EXPECT_EQ(file[8], 0);  // 256 colours
    EXPECT_EQ(file[12], 8); // bits per pixel
    EXPECT_EQ(u32(file, 22 + 8), 64u) << "colour rows and mask rows";
    EXPECT_TRUE(std::all_of(file.end() - 128, file.end(), [](std::uint8_t b) { return b == 0; }))
        << "no transparent pixel";
}

TEST(Pictures, DesignPreviewIsA1782ByteGreyBitmap) {
    const RgbImage preview = designPreview();
    EXPECT_EQ(encodeBmp24(preview).size(), 1782u);
    EXPECT_TRUE(std::all_of(preview.pixels.begin(), preview.pixels.end(),
                            [](const Rgb& p) { return p.r == p.g && p.g == p.b; }));
    EXPECT_EQ(pixel(preview, 0, 0), (Rgb{255, 255, 255}));
    EXPECT_GT(std::count_if(preview.pixels.begin(), preview.pixels.end(),
                            [](const Rgb& p) { return p.r == 0; }),
              20);
}

TEST(Pictures, MessageIconIsARedDiscWithCrossRimShadowAndMask) {
    const IndexedImage icon = messageIcon();
    ASSERT_EQ(icon.palette.size(), 16u);
    const auto at = [&](int x, int y) { return icon.palette[icon.pixels[static_cast<std::size_t>(y * 32 + x)]]; };
    const auto clear = [&](int x, int y) { return icon.transparent[static_cast<std::size_t>(y * 32 + x)]; };
    EXPECT_TRUE(clear(0, 0) && clear(31, 0) && clear(0, 31)) << "corners show through";
    EXPECT_EQ(at(15, 15), (Rgb{255, 255, 255})) << "the cross crosses in the middle";
    EXPECT_EQ(at(15, 6), (Rgb{255, 0, 0})) << "red between the arms";
    EXPECT_EQ(at(15, 2), (Rgb{128, 0, 0})) << "dark red rim";
    EXPECT_EQ(at(26, 26), (Rgb{128, 128, 128})) << "shadow at the lower right";
    EXPECT_FALSE(clear(26, 26));
    EXPECT_TRUE(clear(2, 29)) << "no shadow at the lower left";
    EXPECT_EQ(encodeIcon(icon, 4).size(), 22u + 40u + 64u + 32u * 16u + 32u * 4u);
}

// The host shows the key colour as transparent: the symbol on it and nothing lighter, so no square
// and no light seam stands around the symbol on the toolbar.
TEST(Pictures, CommandIconsStandOnTheHostsTransparentKeyColour) {
    for (const int size : kCommandIconSizes) {
        SCOPED_TRACE(size);
        const RgbImage icon = commandIcon(size);
        const int last = size - 1;
        for (const auto& [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}, {last / 2, 0}}) {
            EXPECT_EQ(pixel(icon, x, y), kCommandIconKey) << x << "," << y;
        }
        const auto keyed = std::count(icon.pixels.begin(), icon.pixels.end(), kCommandIconKey);
        EXPECT_GT(keyed, size * size / 2) << "the background";
        EXPECT_TRUE(std::all_of(icon.pixels.begin(), icon.pixels.end(),
                                [](const Rgb& p) { return p.r == p.g && p.g == p.b && p.r <= kCommandIconKey.r; }));
        EXPECT_GE(std::count(icon.pixels.begin(), icon.pixels.end(), Rgb{0, 0, 0}), size) << "the symbol";
        // The file as kept: its first pixel (bottom-left, blue-green-red) is the key colour too.
        const Bytes file = committed("command_" + std::to_string(size) + ".bmp");
        ASSERT_GT(file.size(), 57u);
        EXPECT_EQ((Rgb{file[u32(file, 10) + 2], file[u32(file, 10) + 1], file[u32(file, 10)]}), kCommandIconKey);
    }
}

// The Add-in Manager's list has no key colour: the command's symbol, pixel for pixel, on white.
TEST(Pictures, AddinManagerIconsAreTheCommandSymbolOnWhite) {
    for (const int size : kCommandIconSizes) {
        SCOPED_TRACE(size);
        const RgbImage command = commandIcon(size);
        const RgbImage manager = addinManagerIcon(size);
        ASSERT_EQ(manager.pixels.size(), command.pixels.size());
        for (std::size_t i = 0; i < command.pixels.size(); ++i) {
            const bool background = command.pixels[i] == kCommandIconKey;
            ASSERT_EQ(manager.pixels[i] == (Rgb{255, 255, 255}), background) << i;
            ASSERT_EQ(manager.pixels[i] == (Rgb{0, 0, 0}), command.pixels[i] == (Rgb{0, 0, 0})) << i;
        }
    }
}

TEST(Pictures, PreviewsShowTheThreeKindsApart) {
    const RgbImage basic = symbolPreview(SymbolKind::basic);
    const RgbImage removal = symbolPreview(SymbolKind::removalRequired);
    const RgbImage none = symbolPreview(SymbolKind::noRemoval);
    EXPECT_NE(basic.pixels, removal.pixels);
    EXPECT_NE(basic.pixels, none.pixels);
    EXPECT_NE(removal.pixels, none.pixels);
    // The bar closes the V: one row dark from leg to leg.
    int longestRun = 0;
    for (int y = 0; y < 24; ++y) {
        int run = 0;
        for (int x = 0; x < 16; ++x) {
            run = dark(pixel(removal, x, y)) ? run + 1 : 0;
            longestRun = std::max(longestRun, run);
        }
    }
    EXPECT_GE(longestRun, 8);
    // The circle leaves its middle white and is dark on its rim; the basic V has no rim there.
    EXPECT_FALSE(dark(pixel(none, 8, 15)));
    EXPECT_TRUE(dark(pixel(none, 8, 12)) || dark(pixel(none, 8, 17)));
    EXPECT_FALSE(dark(pixel(basic, 8, 12)));
    // Every preview carries the top line, unlike the design-time picture.
    EXPECT_TRUE(dark(pixel(basic, 21, 3)));
    EXPECT_FALSE(dark(pixel(designPreview(), 22, 2)));
}

} // namespace
