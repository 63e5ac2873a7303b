// What the DLL knows of itself: where it lies, and how many of its objects and locks are alive,
// for DllCanUnloadNow (counted in processState().live).
#pragma once

#include <windows.h>

#include <string>

namespace tvx::addin {

// The DLL's full path and its folder, which also holds Tarvenix.txt and the preview bitmaps.
std::wstring modulePath();
std::wstring moduleFolder();

// Counts itself as one live object (or lock) of the DLL for as long as it lives.
class ModuleRef {
public:
    ModuleRef() noexcept;
    ModuleRef(const ModuleRef&) noexcept;
    ModuleRef& operator=(const ModuleRef&) noexcept = default;
    ~ModuleRef();
};

// Keeps the DLL mapped until the process ends, whoever unloads it (see module.cpp).
void pinModule() noexcept;

} // namespace tvx::addin
