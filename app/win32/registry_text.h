// A text value of the registry, read whole however long it is.
#pragma once

#include <windows.h>

#include <string>

namespace tvx::win {

// The value name under key\subKey (subKey may be null) as text; REG_EXPAND_SZ comes expanded.
// Empty when the value is missing, empty or not text.
std::wstring registryText(HKEY key, const wchar_t* subKey, const wchar_t* name);

} // namespace tvx::win
