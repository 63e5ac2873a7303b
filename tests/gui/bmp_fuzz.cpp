// Whatever the bytes, a layout the check accepts lies wholly inside them.
#include "app/win32/bmp_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto dib = tvx::bmp::checkBmp(std::span<const std::uint8_t>(data, size));
    if (dib) {
        const bool inside = dib->infoOffset + dib->infoSize <= dib->bitsOffset && dib->bitsOffset <= size &&
                            dib->bitsSize <= size - dib->bitsOffset && dib->width > 0 && dib->height != 0;
        if (!inside) {
            std::abort();
        }
    }
    return 0;
}
