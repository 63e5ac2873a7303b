// The entry points of Tarvenix.dll. Nothing here lets an exception out: the process is the host's.
#include "addin/addin_interfaces.h"
#include "addin/addin_object.h"
#include "addin/module.h"
#include "addin/process_state.h"
#include "addin/registration.h"

#include <windows.h>
#include <olectl.h>

extern "C" {

// Only what must happen at load: anything more could run under the loader's lock. Thread
// notifications stay on: the statically linked runtime needs them for its thread data.
BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        tvx::addin::processState().module = module;
    }
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (clsid != tvx::addin::kAddinClsid) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return tvx::addin::createClassFactory(iid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return tvx::addin::processState().live.load() != 0 ? S_FALSE : S_OK; }

HRESULT STDAPICALLTYPE DllRegisterServer() {
    try {
        return tvx::addin::registerAddin(tvx::addin::modulePath());
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    try {
        return tvx::addin::unregisterAddin(tvx::addin::modulePath());
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

} // extern "C"
