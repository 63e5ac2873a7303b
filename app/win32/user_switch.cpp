#include "app/win32/user_switch.h"

#include <windows.h>

#include <string_view>

namespace tvx::win {

bool userSwitchedOff(const wchar_t* value) noexcept {
    union {
        DWORD number;
        wchar_t text[8];
    } read{};
    DWORD type = 0;
    DWORD bytes = sizeof read;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tarvenix", value, RRF_RT_REG_DWORD | RRF_RT_REG_SZ, &type, &read,
                     &bytes) != ERROR_SUCCESS) {
        return false;
    }
    return type == REG_DWORD ? read.number == 0 : std::wstring_view(read.text) == L"0";
}

} // namespace tvx::win
