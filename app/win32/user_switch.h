// The user's switches under HKCU\Software\Tarvenix.
#pragma once

namespace tvx::win {

// The value is 0 (a number, or the text "0"): that switch is off. Anything else, or none, leaves
// it on, as the package leaves every switch unset.
bool userSwitchedOff(const wchar_t* value) noexcept;

} // namespace tvx::win
