// The interfaces between Tarvenix.dll and its host, and the identities both sides use.
#pragma once

#include "drawing/com/addin_interface.h"

#include <windows.h>
#include <oaidl.h>

// Global namespace: the uuid declarations specialise a template there.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
// Must match tarvenix_addin.idl: the type library describes this very vtable.
struct ITvxCallbacks : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE TvxSurfaceFinish() = 0;
    virtual HRESULT STDMETHODCALLTYPE TvxSurfaceFinishEnable(long* state) = 0;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

__CRT_UUID_DECL(ITvxCallbacks, 0xf6790dea, 0x19e8, 0x4030, 0xb1, 0x27, 0xc6, 0xf6, 0xf5, 0x98, 0xa6, 0x59)

namespace tvx::addin {

// {1AD2230B-474E-46A1-9E25-9DF73EBF3393}
inline constexpr CLSID kAddinClsid = {0x1ad2230b, 0x474e, 0x46a1, {0x9e, 0x25, 0x9d, 0xf7, 0x3e, 0xbf, 0x33, 0x93}};
inline constexpr wchar_t kAddinClsidText[] = L"{1AD2230B-474E-46A1-9E25-9DF73EBF3393}";
// {56816198-A357-408A-8EFA-BFB95F9D76B4}
inline constexpr GUID kTypeLibId = {0x56816198, 0xa357, 0x408a, {0x8e, 0xfa, 0xbf, 0xb9, 0x5f, 0x9d, 0x76, 0xb4}};

inline constexpr wchar_t kCallbackName[] = L"TvxSurfaceFinish";
inline constexpr wchar_t kEnableName[] = L"TvxSurfaceFinishEnable";
// Change it whenever the group's buttons change: the host keeps a group's layout by this id.
inline constexpr long kCommandGroupId = 1687;

} // namespace tvx::addin
