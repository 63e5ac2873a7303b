// An event sink of ours for one of the host's event interfaces: IDispatch without type
// information, answering that interface's IID as well, as a connection point asks for it. What
// each notification does is the sink's own Invoke.
#pragma once

#include "drawing/com/com_object.h"

#include <oaidl.h>

namespace tvx::com {

class EventSink : public ComObject<IDispatch> {
public:
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

protected:
    explicit EventSink(const IID& events) : events_(events) {}

private:
    IID events_;
};

} // namespace tvx::com
