#include "addin/registration.h"

#include "addin/addin_interfaces.h"
#include "app/win32/registry_text.h"

#include <string_view>
#include <utility>
#include <vector>

namespace tvx::addin {
namespace {

const std::wstring kClassKey = std::wstring(L"CLSID\\") + kAddinClsidText;
const std::wstring kAddinsKey = std::wstring(L"SOFTWARE\\SOLIDWORKS\\AddIns\\") + kAddinClsidText;
const std::wstring kStartupKey = std::wstring(L"Software\\SolidWorks\\AddInsStartup\\") + kAddinClsidText;

class Key {
public:
    Key(HKEY root, const std::wstring& path) {
        result_ = HRESULT_FROM_WIN32(static_cast<DWORD>(
            RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr)));
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    Key& text(const wchar_t* name, std::wstring_view value) {
        const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        return keep(RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(std::wstring(value).c_str()), bytes));
    }
    Key& number(const wchar_t* name, DWORD value) {
        return keep(RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value));
    }
    HRESULT result() const { return result_; }

private:
    Key& keep(LSTATUS status) {
        if (SUCCEEDED(result_) && status != ERROR_SUCCESS) {
            result_ = HRESULT_FROM_WIN32(static_cast<DWORD>(status));
        }
        return *this;
    }

    HKEY key_ = nullptr;
    HRESULT result_ = S_OK;
};

HRESULT removeTree(HKEY root, const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(root, path.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

// The in-process server the class names now, environment variables expanded; empty when none.
std::wstring registeredServer() {
    return win::registryText(HKEY_CLASSES_ROOT, (kClassKey + L"\\InprocServer32").c_str(), nullptr);
}

std::wstring fullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return path;
    }
    std::vector<wchar_t> full(size, L'\0');
    return GetFullPathNameW(path.c_str(), size, full.data(), nullptr) == 0 ? path : std::wstring(full.data());
}

bool samePath(const std::wstring& a, const std::wstring& b) {
    const std::wstring fullA = fullPath(a);
    const std::wstring fullB = fullPath(b);
    return CompareStringOrdinal(fullA.c_str(), static_cast<int>(fullA.size()), fullB.c_str(),
                                static_cast<int>(fullB.size()), TRUE) == CSTR_EQUAL;
}

// The package's registration, or a second copy's, still in use: a file that exists elsewhere.
// A registration whose file has gone is stale and may be taken over.
bool anotherCopyRegistered(const std::wstring& dllPath) {
    const std::wstring registered = registeredServer();
    return !registered.empty() && !samePath(registered, dllPath) &&
           GetFileAttributesW(registered.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The Add-in Manager's icon lies beside the DLL, named after the shipped DLL.
std::wstring iconPath(const std::wstring& dllPath) {
    const std::size_t folderEnd = dllPath.find_last_of(L"\\/");
    return (folderEnd == std::wstring::npos ? std::wstring() : dllPath.substr(0, folderEnd + 1)) + L"Tarvenix_20.bmp";
}

HRESULT writeAll(const std::wstring& dllPath) {
    Key classKey(HKEY_CLASSES_ROOT, kClassKey);
    HRESULT hr = classKey.text(nullptr, L"Tarvenix").result();
    if (FAILED(hr)) {
        return hr;
    }
    Key server(HKEY_CLASSES_ROOT, kClassKey + L"\\InprocServer32");
    hr = server.text(nullptr, dllPath).text(L"ThreadingModel", L"Apartment").result();
    if (FAILED(hr)) {
        return hr;
    }
    Key addins(HKEY_LOCAL_MACHINE, kAddinsKey);
    hr = addins.number(nullptr, 1)
             .text(L"Title", L"Tarvenix")
             .text(L"Description", L"Allgemeine Oberflächenangabe für Zeichnungen")
             .text(L"Icon Path", iconPath(dllPath))
             .result();
    if (FAILED(hr)) {
        return hr;
    }
    Key startup(HKEY_CURRENT_USER, kStartupKey);
    return startup.number(nullptr, 1).result();
}

} // namespace

HRESULT registerAddin(const std::wstring& dllPath) noexcept {
    try {
        if (anotherCopyRegistered(dllPath)) {
            return kAnotherCopyRegistered;
        }
        const HRESULT hr = writeAll(dllPath);
        if (FAILED(hr)) {
            unregisterAddin(dllPath);
        }
        return hr;
    } catch (...) {
        unregisterAddin(dllPath);
        return E_FAIL;
    }
}

HRESULT unregisterAddin(const std::wstring& dllPath) noexcept {
    try {
        // The keys belong to whichever copy the class names: the package's must outlive a zip's
        // copy being unregistered.
        const std::wstring registered = registeredServer();
        if (!registered.empty() && !samePath(registered, dllPath)) {
            return S_OK;
        }
        HRESULT first = S_OK;
        for (const auto& [root, path] : {std::pair{HKEY_CURRENT_USER, kStartupKey}, std::pair{HKEY_LOCAL_MACHINE, kAddinsKey},
                                         std::pair{HKEY_CLASSES_ROOT, kClassKey}}) {
            const HRESULT hr = removeTree(root, path);
            if (SUCCEEDED(first)) {
                first = hr;
            }
        }
        return first;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace tvx::addin
