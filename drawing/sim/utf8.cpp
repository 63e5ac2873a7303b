#include "drawing/sim/utf8.h"

#include "config/text_decoding.h"

#include <cstddef>
#include <cstdint>

namespace tvx::sim {

namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool isSurrogate(std::uint32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void appendWide(std::wstring& out, std::uint32_t code) {
    if constexpr (kWideIsUtf16) {
        if (code >= 0x10000) {
            const std::uint32_t v = code - 0x10000;
            out += static_cast<wchar_t>(0xD800 + (v >> 10));
            out += static_cast<wchar_t>(0xDC00 + (v & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(code);
}

[[noreturn]] void invalidAt(std::size_t offset, const char* what) {
    throw Utf8Error("invalid UTF-8 at byte " + std::to_string(offset) + ": " + what);
}

} // namespace

std::wstring fromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t code = 0;
        std::uint32_t minimum = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1Fu;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0Fu;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07u;
            minimum = 0x10000;
        } else {
            invalidAt(i, "unexpected byte");
        }
        if (text.size() - i < length) {
            invalidAt(i, "truncated sequence");
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto cont = static_cast<unsigned char>(text[i + k]);
            if ((cont & 0xC0) != 0x80) {
                invalidAt(i + k, "expected a continuation byte");
            }
            code = (code << 6) | (cont & 0x3Fu);
        }
        if (code < minimum) {
            invalidAt(i, "overlong encoding");
        }
        if (isSurrogate(code)) {
            invalidAt(i, "encoded surrogate");
        }
        if (code > 0x10FFFF) {
            invalidAt(i, "beyond U+10FFFF");
        }
        appendWide(out, code);
        i += length;
    }
    return out;
}

std::string toUtf8(std::wstring_view text) {
    std::size_t bad = 0;
    std::string out = encodeUtf8(text, &bad);
    if (bad != std::string::npos) {
        throw Utf8Error("unpaired surrogate or a value beyond U+10FFFF at position " + std::to_string(bad));
    }
    return out;
}

} // namespace tvx::sim
