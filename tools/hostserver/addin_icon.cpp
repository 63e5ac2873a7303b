#include "tools/hostserver/addin_icon.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

namespace tvx::hostserver {

namespace {

bool isFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::wstring iconPathValue(const std::wstring& addinKey) {
    wchar_t text[MAX_PATH * 2] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, addinKey.c_str(), L"Icon Path", RRF_RT_REG_SZ,
                     nullptr, text, &size) != ERROR_SUCCESS) {
        return {};
    }
    return text;
}

} // namespace

AddinIcon findAddinIcon(const std::wstring& addinKey, const std::wstring& dllPath) {
    const std::wstring named = iconPathValue(addinKey);
    if (!named.empty() && isFile(named)) {
        return {named, "Icon Path"};
    }
    if (dllPath.empty()) {
        return {};
    }
    const std::filesystem::path dll(dllPath);
    for (const int size : {20, 32, 40, 64, 96, 128}) {
        for (const wchar_t* extension : {L".png", L".bmp"}) {
            const std::filesystem::path beside =
                dll.parent_path() / (dll.stem().wstring() + L"_" + std::to_wstring(size) + extension);
            if (isFile(beside)) {
                return {beside.wstring(), "named after the DLL"};
            }
        }
    }
    return {};
}

} // namespace tvx::hostserver
