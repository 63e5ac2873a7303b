// Turns the bytes of a text item into wide text.
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

}  // namespace tvx
