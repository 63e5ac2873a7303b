// IUnknown for a COM object of our own that offers one interface (and the interfaces it derives
// from, named in Bases): counted, and gone with its last Release.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <memory>

namespace tvx::com {

// COM objects are destroyed through Release, never through an interface pointer, so the
// interfaces' non-virtual destructors are as COM means them.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
template <class I, class... Bases>
class ComObject : public I {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == __uuidof(I) || ((iid == __uuidof(Bases)) || ...)) {
            *object = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const long left = --refs_;
        if (left == 0) {
            std::unique_ptr<ComObject> owner(this);
        }
        return static_cast<ULONG>(left);
    }

protected:
    ComObject() = default;

private:
    std::atomic<long> refs_{1};
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

} // namespace tvx::com
