#include "addin/module.h"

#include "addin/process_state.h"

#include <stdexcept>
#include <vector>

namespace tvx::addin {

std::wstring modulePath() {
    const HINSTANCE module = processState().module;
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            throw std::runtime_error("the add-in's own path is unknown");
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring moduleFolder() {
    const std::wstring path = modulePath();
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

ModuleRef::ModuleRef() noexcept { ++processState().live; }
ModuleRef::ModuleRef(const ModuleRef&) noexcept { ++processState().live; }
ModuleRef::~ModuleRef() { --processState().live; }

// DllCanUnloadNow keeps the DLL while a run lingers, but not every unload asks it: CoUninitialize
// frees a thread's DLLs without asking, and a host may free its add-ins at its end. A run that
// lingers has our code on this thread's stack (a message of the run is up, its loop dispatches the
// host's end), so the DLL must outlive whatever the host does next. A pinned module stays mapped
// until the process ends; that costs nothing but its mapping.
void pinModule() noexcept {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&pinModule), &self);
}

} // namespace tvx::addin
