// Where the host's Add-in Manager finds an add-in's icon.
#pragma once

#include <string>

namespace tvx::hostserver {

struct AddinIcon {
    std::wstring path; // empty: none found
    const char* how = "";
};

// The add-in key's `Icon Path` value when it names a file; else the first file named after the
// DLL with a size, beside it (Tarvenix_20.png, Tarvenix_20.bmp, Tarvenix_32.png, ...).
AddinIcon findAddinIcon(const std::wstring& addinKey, const std::wstring& dllPath);

} // namespace tvx::hostserver
