// The host's events as its type library has them (docs/addin-calls.md says where they come from),
// and the base of a sink of our own: the host calls its Invoke with a notification's DISPID.
#pragma once

#include "drawing/com/com_object.h"

#include <windows.h>
#include <oaidl.h>

namespace tvx::com {

// The drawing document's event interface (dispinterface DDrawingDocEvents) and its notifications.
inline constexpr IID kDrawingDocEventsIid = {0x83A33D34, 0x37C5, 0x11CE, {0xBF, 0xD4, 0x00, 0x40, 0x05, 0x13, 0xBB, 0x57}};
enum DrawingNotify : DISPID {
    kDestroyNotify = 2,
    kFileSaveNotify = 6,            // (BSTR FileName), before the file is written
    kFileSaveAsNotify2 = 23,        // (BSTR FileName), before
    kFileSavePostNotify = 26,       // (I4 saveType, BSTR FileName), after
    kFileSavePostCancelNotify = 34, // (), when FileSavePostNotify is not fired
};

// Answers IDispatch and the event interface it was made for, and no type information; what a
// notification does is the subclass's Invoke.
class EventSink : public ComObject<IDispatch> {
public:
    explicit EventSink(const IID& events) : events_(events) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object != nullptr && iid == events_) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject::QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) {
            *info = nullptr;
        }
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }

private:
    IID events_;
};

} // namespace tvx::com
