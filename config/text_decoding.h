// Turns the bytes of a text item into wide text, and wide text into UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tvx {

// Windows code page 1252. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) become the C1 controls of the same value, as Windows itself maps them.
std::wstring decodeCp1252(std::string_view bytes);

// Strict UTF-8: overlong forms, surrogates and truncated sequences give nullopt. Characters
// beyond the basic plane become surrogate pairs where wchar_t has 16 bits.
std::optional<std::wstring> decodeUtf8(std::string_view bytes);

// UTF-16 (UTF-32 where wchar_t is wider) to UTF-8. A surrogate without its partner, or a value
// beyond U+10FFFF, becomes U+FFFD; when badAt is given it stops the encoding instead: *badAt then
// holds its position, and the result is empty. *badAt is npos for a text without one.
std::string encodeUtf8(std::wstring_view text, std::size_t* badAt = nullptr);

}  // namespace tvx
