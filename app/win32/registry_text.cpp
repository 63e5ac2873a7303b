#include "app/win32/registry_text.h"

#include <vector>

namespace tvx::win {

std::wstring registryText(HKEY key, const wchar_t* subKey, const wchar_t* name) {
    // REG_EXPAND_SZ too: without RRF_NOEXPAND it comes expanded, as REG_SZ.
    const DWORD kinds = RRF_RT_REG_SZ;
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD bytes = 0;
        if (RegGetValueW(key, subKey, name, kinds, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
            return {};
        }
        std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1);
        bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        const LSTATUS status = RegGetValueW(key, subKey, name, kinds, nullptr, text.data(), &bytes);
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

} // namespace tvx::win
