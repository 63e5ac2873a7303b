// A scripted IDispatch for client tests: it knows only the names it was taught, records every
// call with its arguments as they arrived, and fails loudly on anything else.
#pragma once

#include "drawing/com/com_owners.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tvx::com::testing {

// "I2 0", "BSTR \"x\"", "DISPATCH null", "R8 0.0035": a VARIANT as a test compares it.
std::string describe(const VARIANT& v);

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
// Lives on the test's stack; the reference count only proves that clients release what they take.
class FakeDispatch final : public IDispatch {
public:
    struct Call {
        std::wstring name;
        WORD flags = 0;
        std::vector<std::string> args; // in the order the host's table lists them
        std::vector<DISPID> named;

        // "METHOD SelectByID(BSTR \"Blatt1\", R8 0.1)", "PUT angle(I2 0)".
        std::string text() const;
    };
    using Responder = std::function<HRESULT(const DISPPARAMS&, VARIANT* result, EXCEPINFO* error, UINT* argErr)>;

    // The member answers by running the responder.
    void on(const std::wstring& name, Responder responder);
    // The member answers S_OK with a copy of value.
    void returns(const std::wstring& name, const VARIANT& value);
    // The member answers S_OK with this object itself.
    void returnsSelf(const std::wstring& name);

    std::vector<Call> calls;
    std::vector<std::wstring> unexpected;
    int idLookups = 0;
    LONG refs = 1;
    // Runs inside every Release, before the count drops: a proxy's last release waits for the
    // host's process.
    std::function<void()> whileReleasing;
    // Asked for any interface but IUnknown and IDispatch: another object's (a tear-off), or null.
    std::function<IUnknown*(REFIID)> otherInterface;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* error, UINT* argErr) override;

private:
    std::vector<std::wstring> names_;
    std::vector<Responder> responders_;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// VARIANT builders for scripted answers.
UniqueVariant variantBool(bool value);
UniqueVariant variantI4(std::int32_t value);
UniqueVariant variantR8(double value);
UniqueVariant variantBstr(const std::wstring& value);
UniqueVariant variantDispatch(IDispatch* object);
UniqueVariant variantOfType(VARTYPE vt);

} // namespace tvx::com::testing
