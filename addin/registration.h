// The registry keys that make the host list and load the add-in: the class with its in-process
// server, the host's add-in entry and its start-up switch. Exactly these, nothing else.
#pragma once

#include <windows.h>

#include <string>

namespace tvx::addin {

// Writes every key for the DLL at dllPath. On a failure takes back what it wrote.
HRESULT registerAddin(const std::wstring& dllPath) noexcept;
// Removes the keys registerAddin writes; keys already gone are no failure.
HRESULT unregisterAddin() noexcept;

} // namespace tvx::addin
