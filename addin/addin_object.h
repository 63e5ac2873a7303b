// The COM objects of Tarvenix.dll: the add-in the host connects, the callbacks object the host
// calls the command through, and the class factory.
#pragma once

#include "drawing/com/com_owners.h"

#include <windows.h>

namespace tvx::addin {

// A new add-in object, the one interface asked for, or the COM error.
HRESULT createAddin(REFIID iid, void** object) noexcept;
// The factory DllGetClassObject hands out.
HRESULT createClassFactory(REFIID iid, void** object) noexcept;

} // namespace tvx::addin
