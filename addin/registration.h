// The registry keys that make the host list and load the add-in: the class with its in-process
// server, the host's add-in entry and its start-up switch. Exactly these, nothing else.
#pragma once

#include <windows.h>

#include <string>

namespace tvx::addin {

// What registering answers while another existing copy (the package's, say) is registered:
// regsvr32 shows it as "already registered".
inline constexpr HRESULT kAnotherCopyRegistered = HRESULT_FROM_WIN32(ERROR_ALREADY_REGISTERED);

// Writes every key for the DLL at dllPath. Changes nothing while the class names another copy
// whose file exists. On a failure takes back what it wrote.
HRESULT registerAddin(const std::wstring& dllPath) noexcept;
// Removes the keys registerAddin writes, unless the class names another copy: those keys are
// that copy's. Keys already gone are no failure.
HRESULT unregisterAddin(const std::wstring& dllPath) noexcept;

} // namespace tvx::addin
