// What the DLL knows of itself: its module handle, and how many of its objects and locks are alive,
// for DllCanUnloadNow.
#pragma once

#include <windows.h>

#include <string>

namespace tvx::addin {

HINSTANCE moduleHandle() noexcept;
void setModuleHandle(HINSTANCE module) noexcept;
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

void lockModule() noexcept;
void unlockModule() noexcept;
bool moduleInUse() noexcept;

} // namespace tvx::addin
