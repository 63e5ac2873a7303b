#include "app/win32/config_location.h"

#include "app/win32/module_worker.h"
#include "app/win32/registry_text.h"
#include "app/win32/win_handles.h"

#include <windows.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
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
    return registryText(key.get(), nullptr, kConfigFileValue);
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

// Shared by a worker and whoever started it; the worker may outlive its starter.
struct ConfigRead {
    std::wstring path;
    ConfigReading reading;
};

ConfigReading readNow(const std::wstring& path) {
    ConfigReading reading;
    reading.path = path;
    try {
        // A path naming a folder means the file in it: asked here, on the worker.
        reading.path = fileInFolder(path);
        reading.error = readConfigFile(reading.cfg, reading.path, &reading.cause);
    } catch (...) {
        reading.error = std::wstring(kConfigErrorText);
        reading.cause = "unerwarteter Fehler beim Lesen";
    }
    return reading;
}

ConfigReading unanswered(std::wstring path) {
    return ConfigReading{std::move(path), {}, std::wstring(kConfigErrorText), true, {}};
}

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

std::wstring takeReading(const ConfigReading& reading, Config& cfg, RunLog& log) {
    if (reading.unanswered) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(kConfigReadBound).count();
        log.note("Konfiguration gelesen", "keine Antwort binnen " + std::to_string(seconds) + " s");
        log.note("Konfigurationsdatei", reading.path);
        return reading.error;
    }
    cfg = reading.cfg;
    if (!reading.error.empty()) {
        // The message names >Tarvenix.txt< whatever the file is called: the log says which and why.
        log.note("Konfiguration fehlerhaft", reading.cause.empty() ? std::string("ohne Angabe") : reading.cause);
        log.note("Konfigurationsdatei", reading.path);
    }
    return reading.error;
}

ConfigReading readConfigWithin(const std::wstring& path, std::chrono::milliseconds bound) {
    auto read = std::make_shared<ConfigRead>(ConfigRead{path, {}});
    const UniqueKernelHandle worker = startModuleWorker([read] { read->reading = readNow(read->path); });
    if (!worker || WaitForSingleObject(worker.get(), static_cast<DWORD>(bound.count())) != WAIT_OBJECT_0) {
        return worker ? unanswered(path) : ConfigReading{path, {}, std::wstring(kConfigErrorText), false, "kein Leser gestartet"};
    }
    return std::move(read->reading);
}

struct ConfigReadOnWorker::Shared {
    mutable std::mutex lock;
    std::wstring path;
    std::optional<ConfigReading> ended;
    HWND window = nullptr;
    UINT message = 0;
    LPARAM serial = 0;
};

bool ConfigReadOnWorker::start(const std::wstring& programFolder, HWND window, UINT message, LPARAM serial) {
    auto shared = std::make_shared<Shared>();
    shared->window = window;
    shared->message = message;
    shared->serial = serial;
    const UniqueKernelHandle worker = startModuleWorker([shared, programFolder] {
        // The registry too may be slow: asked here, not on the caller's thread.
        std::wstring path;
        try {
            path = configFilePath(programFolder);
            const std::lock_guard held(shared->lock);
            shared->path = path;
        } catch (...) {
        }
        ConfigReading reading = readNow(path);
        const std::lock_guard held(shared->lock);
        shared->ended = std::move(reading);
        if (shared->window != nullptr) {
            PostMessageW(shared->window, shared->message, 0, shared->serial);
        }
    });
    if (!worker) {
        shared_.reset();
        return false;
    }
    shared_ = std::move(shared);
    return true;
}

bool ConfigReadOnWorker::outstanding() const {
    if (!shared_) {
        return false;
    }
    const std::lock_guard held(shared_->lock);
    return !shared_->ended;
}

ConfigReading ConfigReadOnWorker::outcome() const {
    if (!shared_) {
        return ConfigReading{{}, {}, std::wstring(kConfigErrorText), false, "kein Leser gestartet"};
    }
    const std::lock_guard held(shared_->lock);
    return shared_->ended ? *shared_->ended : unanswered(shared_->path);
}

void ConfigReadOnWorker::letGo() noexcept {
    if (shared_) {
        const std::lock_guard held(shared_->lock);
        shared_->window = nullptr;
    }
}

} // namespace tvx::win
