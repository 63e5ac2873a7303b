#include "app/win32/bmp_format.h"

#include <fstream>
#include <system_error>

namespace tvx::bmp {
namespace {

std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::int32_t i32(std::span<const std::uint8_t> b, std::size_t at) {
    const std::uint32_t value = u32(b, at);
    return value <= 0x7FFFFFFFu ? static_cast<std::int32_t>(value)
                                : -static_cast<std::int32_t>(~value) - 1;
}

bool knownHeaderSize(std::uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitfields = 3;

} // namespace

std::optional<DibLayout> checkBmp(std::span<const std::uint8_t> file) {
    const std::size_t size = file.size();
    if (size < kFileHeaderSize + 40 || size > kLargestFile || file[0] != 'B' || file[1] != 'M') {
        return std::nullopt;
    }
    const std::uint32_t headerSize = u32(file, 14);
    if (!knownHeaderSize(headerSize) || kFileHeaderSize + headerSize > size) {
        return std::nullopt;
    }
    DibLayout dib;
    dib.width = i32(file, 18);
    dib.height = i32(file, 22);
    const std::uint16_t planes = u16(file, 26);
    dib.bitCount = u16(file, 28);
    const std::uint32_t compression = u32(file, 30);
    const std::uint32_t coloursUsed = u32(file, 46);

    if (dib.width < 1 || dib.width > kLargestSide || dib.height == 0 || dib.height < -kLargestSide ||
        dib.height > kLargestSide || planes != 1) {
        return std::nullopt;
    }
    std::size_t masks = 0;
    switch (dib.bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
        if (compression != kRgb) {
            return std::nullopt;
        }
        break;
    case 16:
    case 32:
        if (compression == kBitfields && headerSize == 40) {
            masks = 12; // the three masks follow the plain header
        } else if (compression != kRgb && compression != kBitfields) {
            return std::nullopt;
        }
        break;
    default:
        return std::nullopt;
    }
    std::size_t colours = coloursUsed;
    if (dib.bitCount <= 8) {
        const std::size_t most = std::size_t{1} << dib.bitCount;
        if (colours == 0) {
            colours = most;
        }
        if (colours > most) {
            return std::nullopt;
        }
    } else if (colours > 256) {
        return std::nullopt;
    }
    dib.infoSize = headerSize + masks + colours * 4;
    if (kFileHeaderSize + dib.infoSize > size) {
        return std::nullopt;
    }

    const std::size_t stride = (static_cast<std::size_t>(dib.width) * dib.bitCount + 31) / 32 * 4;
    const std::size_t rows = static_cast<std::size_t>(dib.height < 0 ? -static_cast<std::int64_t>(dib.height)
                                                                     : dib.height);
    dib.bitsSize = stride * rows;
    dib.bitsOffset = u32(file, 10);
    if (dib.bitsOffset < kFileHeaderSize + dib.infoSize || dib.bitsOffset > size ||
        dib.bitsSize > size - dib.bitsOffset) {
        return std::nullopt;
    }
    return dib;
}

std::optional<std::vector<std::uint8_t>> readSmallFile(const std::filesystem::path& path,
                                                       std::size_t maxBytes) {
    std::error_code error;
    const std::uintmax_t length = std::filesystem::file_size(path, error);
    if (error || length > maxBytes) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    // A file that shrank while it was read is no readable picture either.
    if (in.gcount() != static_cast<std::streamsize>(bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace tvx::bmp
