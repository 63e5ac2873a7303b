// Checks a BMP file's bytes before any of them reach GDI: every size and offset it states must
// lie inside the file. Accepted: uncompressed 1, 4, 8, 24 and 32 bits per pixel, and 16 or 32
// bits with colour masks; bottom-up or top-down. Portable, so it is tested natively as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace tvx::bmp {

inline constexpr std::size_t kFileHeaderSize = 14;
// A preview is a small picture; anything larger is no preview.
inline constexpr std::size_t kLargestFile = 16u * 1024u * 1024u;
inline constexpr std::int32_t kLargestSide = 8192;

// Where a checked file keeps its parts, as byte offsets into the file.
struct DibLayout {
    std::size_t infoOffset = kFileHeaderSize; // the info header, masks and colour table follow
    std::size_t infoSize = 0;
    std::size_t bitsOffset = 0;
    std::size_t bitsSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0; // negative: top row first
    std::uint16_t bitCount = 0;
};

std::optional<DibLayout> checkBmp(std::span<const std::uint8_t> file);

// The whole file, or nothing when it is missing, unreadable or larger than maxBytes.
std::optional<std::vector<std::uint8_t>> readSmallFile(const std::filesystem::path& path,
                                                       std::size_t maxBytes);

} // namespace tvx::bmp
