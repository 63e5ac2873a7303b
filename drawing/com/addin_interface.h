// The host's add-in interface, as the host's type library declares it: IUnknown-based, two
// methods, its layout fixed by the host. Declared here, not taken from that library, which is
// not ours to ship; the add-in, the stand-in host and the test add-in all use this one.
#pragma once

#include <windows.h>

#include <oaidl.h>

// Global namespace: the uuid declaration specialises a template there.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
struct ISwAddin : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ConnectToSW(IDispatch* thisSW, long cookie, VARIANT_BOOL* isConnected) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisconnectFromSW(VARIANT_BOOL* isDisconnected) = 0;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// {DA306A0D-EAC5-4406-8610-B1DA805D9270}
__CRT_UUID_DECL(ISwAddin, 0xda306a0d, 0xeac5, 0x4406, 0x86, 0x10, 0xb1, 0xda, 0x80, 0x5d, 0x92, 0x70)
