// UTF-8 <-> std::wstring for 16-bit (UTF-16, Windows) and 32-bit (UTF-32) wchar_t.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tvx::sim {

class Utf8Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws Utf8Error on invalid UTF-8 (overlong forms, surrogates, beyond U+10FFFF, truncation).
std::wstring fromUtf8(std::string_view text);
// Throws Utf8Error on an unpaired surrogate.
std::string toUtf8(std::wstring_view text);

} // namespace tvx::sim
