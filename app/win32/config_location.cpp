#include "app/win32/config_location.h"

#include "app/win32/module_worker.h"
#include "app/win32/win_handles.h"

#include <windows.h>

#include <memory>
#include <utility>
#include <vector>

namespace tvx::win {
namespace {

constexpr wchar_t kMachineKey[] = L"SOFTWARE\\Tarvenix";
constexpr wchar_t kConfigFileValue[] = L"ConfigFile";

// Empty when the value is missing, empty or not text.
std::wstring machineConfigFile() {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMachineKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened) !=
        ERROR_SUCCESS) {
        return {};
    }
    const UniqueRegistryKey key(opened);
    // REG_EXPAND_SZ too: without RRF_NOEXPAND it comes expanded, as REG_SZ.
    const DWORD kinds = RRF_RT_REG_SZ;
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD bytes = 0;
        if (RegGetValueW(key.get(), nullptr, kConfigFileValue, kinds, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
            return {};
        }
        std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1);
        bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        const LSTATUS status = RegGetValueW(key.get(), nullptr, kConfigFileValue, kinds, nullptr, text.data(), &bytes);
        if (status == ERROR_SUCCESS) {
            return std::wstring(text.data());
        }
        if (status != ERROR_MORE_DATA) {
            return {};
        }
        // Changed between the two calls: ask again.
    }
    return {};
}

constexpr wchar_t kConfigFileName[] = L"Tarvenix.txt";

std::wstring expandedEnvironment(const std::wstring& text) {
    if (text.find(L'%') == std::wstring::npos) {
        return text;
    }
    // The size may grow between the calls when the environment changes: ask again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
        if (needed == 0) {
            return text;
        }
        std::vector<wchar_t> out(needed);
        const DWORD written = ExpandEnvironmentStringsW(text.c_str(), out.data(), needed);
        if (written == 0) {
            return text;
        }
        if (written <= needed) {
            return std::wstring(out.data());
        }
    }
    return text;
}

bool endsInSeparator(const std::wstring& path) {
    return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

std::wstring fileInFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return path;
    }
    return path + L"\\" + kConfigFileName;
}

struct ConfigRead {
    std::wstring path;
    Config cfg;
    std::wstring error;
};

} // namespace

std::wstring configFileFrom(const std::wstring& machineValue) {
    const std::wstring path = expandedEnvironment(machineValue);
    return endsInSeparator(path) ? path + kConfigFileName : path;
}

std::wstring configFilePath(const std::wstring& programFolder) {
    const std::wstring path = configFileFrom(machineConfigFile());
    // The separator is added even when the folder ends with one.
    return path.empty() ? programFolder + L"\\" + kConfigFileName : path;
}

std::wstring readConfigWithin(Config& cfg, const std::wstring& path, std::chrono::milliseconds bound) {
    // Shared with the worker, which may outlive this call.
    auto read = std::make_shared<ConfigRead>(ConfigRead{path, cfg, {}});
    const UniqueKernelHandle worker = startModuleWorker([read] {
        try {
            read->error = readConfigFile(read->cfg, fileInFolder(read->path));
        } catch (...) {
            read->error = std::wstring(kConfigErrorText);
        }
    });
    if (!worker || WaitForSingleObject(worker.get(), static_cast<DWORD>(bound.count())) != WAIT_OBJECT_0) {
        return std::wstring(kConfigErrorText);
    }
    cfg = std::move(read->cfg);
    return read->error;
}

} // namespace tvx::win
