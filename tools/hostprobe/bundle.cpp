#include "tools/hostprobe/bundle.h"

#include "app/win32/run_log_file.h"
#include "drawing/com/failure_text.h"

#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace tvx::hostprobe {

namespace {

using com::toUtf8;

void section(std::string& out, const std::string& title) { out += "\n===== " + title + " =====\n"; }

std::string fileText(const std::wstring& path, bool& found) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(_wfopen(path.c_str(), L"rb"), &std::fclose);
    found = static_cast<bool>(file);
    std::string text;
    char buffer[4096];
    for (std::size_t n; file && (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) {
        text.append(buffer, n);
    }
    return text;
}

// RtlGetVersion tells the truth whatever the program's manifest says; under Wine, its own
// version as well.
std::string windowsVersion() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    std::string text = "unbekannt";
    using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    if (const auto get = reinterpret_cast<RtlGetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))) {
        OSVERSIONINFOEXW v{};
        v.dwOSVersionInfoSize = sizeof v;
        if (get(&v) == 0) {
            text = "Windows ";
            text.append(std::to_string(v.dwMajorVersion)).append(".").append(std::to_string(v.dwMinorVersion));
            text.append(" Build ").append(std::to_string(v.dwBuildNumber));
            if (v.szCSDVersion[0] != 0) {
                text.append(" ").append(toUtf8(v.szCSDVersion));
            }
        }
    }
    using WineVersion = const char*(__cdecl*)();
    if (const auto wine = reinterpret_cast<WineVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")))) {
        text += std::string(" (Wine ") + wine() + ")";
    }
    return text;
}

// Each monitor's scale as the system gives it to a per-monitor aware program; before Windows 8.1
// only the system's one.
std::string monitorScales() {
    using GetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    struct Found {
        std::string text;
        int count = 0;
        GetDpiForMonitor perMonitor = nullptr;
    } found;
    const HMODULE shcore = LoadLibraryW(L"shcore.dll");
    if (shcore != nullptr) {
        found.perMonitor =
            reinterpret_cast<GetDpiForMonitor>(reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    }
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM param) -> BOOL {
            auto& f = *reinterpret_cast<Found*>(param);
            MONITORINFOEXW info{};
            info.cbSize = sizeof info;
            GetMonitorInfoW(monitor, &info);
            UINT dpiX = 0;
            UINT dpiY = 0;
            std::string dpi = "unbekannt";
            if (f.perMonitor != nullptr && SUCCEEDED(f.perMonitor(monitor, 0, &dpiX, &dpiY)) && dpiX != 0) {
                dpi = std::to_string(dpiX) + " dpi, " + std::to_string(dpiX * 100 / 96) + " %";
            }
            const RECT& r = info.rcMonitor;
            f.text += "Monitor " + std::to_string(++f.count) + " " + toUtf8(info.szDevice) + ": " +
                      std::to_string(r.right - r.left) + " x " + std::to_string(r.bottom - r.top) + ", " + dpi +
                      ((info.dwFlags & MONITORINFOF_PRIMARY) != 0 ? ", Hauptmonitor" : "") + "\n";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    const HDC screen = GetDC(nullptr);
    const int systemDpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    found.text += "System: " + std::to_string(systemDpi) + " dpi, " + std::to_string(systemDpi * 100 / 96) + " %\n";
    if (shcore != nullptr) {
        FreeLibrary(shcore);
    }
    return found.text;
}

std::string fileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) {
        return "keine Versionsangabe";
    }
    std::vector<unsigned char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || info == nullptr) {
        return "keine Versionsangabe";
    }
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

// Whether Windows takes the file's Authenticode signature, and its answer as it gave it.
std::string signature(const std::wstring& path) {
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG answer = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    std::string text = answer == 0 ? "Signatur gültig" : answer == TRUST_E_NOSIGNATURE ? "nicht signiert" : "Signatur nicht bestätigt";
    return text + " (WinVerifyTrust " + com::describeHresult(static_cast<HRESULT>(answer)) + ")";
}

// The programs and libraries beside the probe, which is installed with them.
std::string installedFiles() {
    std::wstring self(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    self.resize(length < self.size() ? length : 0);
    const std::wstring folder = self.substr(0, self.find_last_of(L"\\/") + 1);
    std::string text = "Ordner: " + toUtf8(folder) + "\n";
    for (const wchar_t* pattern : {L"*.exe", L"*.dll"}) {
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW((folder + pattern).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            continue;
        }
        do {
            const std::wstring path = folder + found.cFileName;
            const ULONGLONG size = (ULONGLONG{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
            text += toUtf8(found.cFileName) + ": " + std::to_string(size) + " Bytes, Version " + fileVersion(path) + ", " +
                    signature(path) + "\n";
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return text;
}

std::vector<std::wstring> logFiles() {
    const std::wstring log = win::runLogPath();
    if (log.empty()) {
        return {};
    }
    return {log.substr(0, log.size() - 4) + L".1.log", log};
}

std::string logs() {
    const std::vector<std::wstring> files = logFiles();
    if (files.empty()) {
        return "LOCALAPPDATA ist nicht gesetzt: kein Protokoll\n";
    }
    std::string text;
    for (const std::wstring& path : files) {
        bool found = false;
        const std::string content = fileText(path, found);
        text += "--- " + toUtf8(path) + (found ? " (" + std::to_string(content.size()) + " Bytes)" : ": nicht vorhanden") + "\n";
        text += content;
        if (!content.empty() && content.back() != '\n') {
            text += "\n";
        }
    }
    return text;
}

// As the support log's records give it, then the zone's name as Windows gives it.
std::string now() {
    std::string text = win::localTimeWithOffset();
    TIME_ZONE_INFORMATION zone{};
    const DWORD which = GetTimeZoneInformation(&zone);
    const wchar_t* name = which == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightName : zone.StandardName;
    if (which != TIME_ZONE_ID_INVALID && name[0] != L'\0') {
        text += " (" + toUtf8(name) + ")";
    }
    return text;
}

} // namespace

std::string lastLogged(const std::string& label) {
    const std::string start = label + ": ";
    std::string last;
    for (const std::wstring& path : logFiles()) {
        bool found = false;
        const std::string content = fileText(path, found);
        for (std::size_t at = content.find(start); at != std::string::npos; at = content.find(start, at + 1)) {
            if (at == 0 || content[at - 1] == '\n') {
                const std::size_t end = content.find_first_of("\r\n", at);
                last = content.substr(at + start.size(), end == std::string::npos ? std::string::npos : end - at - start.size());
            }
        }
    }
    return last;
}

std::string bundleText(const BundleParts& parts) {
    std::string out = "Tarvenix: Supportdatei von tvx-hostprobe, " + now() + "\n";
    section(out, "Arbeitsplatz");
    out += "Windows: " + windowsVersion() + "\n";
    out += "SolidWorks-Revision: " + (parts.hostRevision.empty() ? std::string("unbekannt") : parts.hostRevision) + "\n";
    out += monitorScales();
    section(out, "Installierte Dateien von Tarvenix");
    out += installedFiles();
    section(out, "Bericht von tvx-hostprobe");
    out += parts.report;
    section(out, "hostprofile.json");
    out += parts.profileJson.empty() ? "kein Profil: " + parts.whyNoProfile + "\n" : parts.profileJson;
    section(out, "Protokolle von Tarvenix");
    out += logs();
    return out;
}

} // namespace tvx::hostprobe
