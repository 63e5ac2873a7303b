#include "tests/com/fake_dispatch.h"

#include "drawing/com/dispatch_client.h"
#include "drawing/com/failure_text.h"

#include <charconv>
#include <memory>

namespace tvx::com::testing {

std::string describe(const VARIANT& v) {
    switch (v.vt) {
    case VT_EMPTY: return "EMPTY";
    case VT_NULL: return "NULL";
    case VT_I2: return "I2 " + std::to_string(v.iVal);
    case VT_I4: return "I4 " + std::to_string(v.lVal);
    case VT_BOOL: return std::string("BOOL ") + (v.boolVal == VARIANT_TRUE ? "true" : v.boolVal == 0 ? "false" : "odd");
    case VT_R8: {
        char buf[64];
        const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v.dblVal);
        return "R8 " + (ec == std::errc() ? std::string(buf, end) : std::string("?"));
    }
    case VT_BSTR:
        return "BSTR \"" + (v.bstrVal == nullptr ? std::string() : toUtf8(v.bstrVal, SysStringLen(v.bstrVal))) + "\"";
    case VT_DISPATCH: return v.pdispVal == nullptr ? "DISPATCH null" : "DISPATCH object";
    default: return vartypeName(v.vt);
    }
}

std::string FakeDispatch::Call::text() const {
    std::string out = (flags == DISPATCH_METHOD)         ? "METHOD "
                      : (flags == DISPATCH_PROPERTYGET)  ? "GET "
                      : (flags == DISPATCH_PROPERTYPUT)  ? "PUT "
                                                         : "FLAGS" + std::to_string(flags) + " ";
    out += toUtf8(name) + "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
        out += (i == 0 ? "" : ", ") + args[i];
    }
    out += ")";
    for (const DISPID id : named) {
        out += id == DISPID_PROPERTYPUT ? " named:PROPERTYPUT" : " named:" + std::to_string(id);
    }
    return out;
}

void FakeDispatch::on(const std::wstring& name, Responder responder) {
    names_.push_back(name);
    responders_.push_back(std::move(responder));
}

void FakeDispatch::returns(const std::wstring& name, const VARIANT& value) {
    auto held = std::make_shared<UniqueVariant>();
    VariantCopy(held->addressOf(), const_cast<VARIANT*>(&value));
    on(name, [held](const DISPPARAMS&, VARIANT* result, EXCEPINFO*, UINT*) {
        if (result != nullptr) {
            VariantInit(result);
            VariantCopy(result, held->addressOf());
        }
        return S_OK;
    });
}

void FakeDispatch::returnsSelf(const std::wstring& name) {
    on(name, [this](const DISPPARAMS&, VARIANT* result, EXCEPINFO*, UINT*) {
        if (result != nullptr) {
            result->vt = VT_DISPATCH;
            result->pdispVal = this;
            AddRef();
        }
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE FakeDispatch::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    if (IUnknown* other = otherInterface ? otherInterface(iid) : nullptr) {
        other->AddRef();
        *object = other;
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FakeDispatch::AddRef() {
    return static_cast<ULONG>(++refs);
}

ULONG STDMETHODCALLTYPE FakeDispatch::Release() {
    if (whileReleasing) {
        whileReleasing();
    }
    return static_cast<ULONG>(--refs);
}

HRESULT STDMETHODCALLTYPE FakeDispatch::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    ++idLookups;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        // Exact match on purpose: the client must ask for the host's names as the table spells them.
        if (count == 1 && names_[i] == names[0]) {
            ids[0] = static_cast<DISPID>(i + 1);
            return S_OK;
        }
    }
    unexpected.emplace_back(names[0]);
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE FakeDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                               VARIANT* result, EXCEPINFO* error, UINT* argErr) {
    if (id < 1 || static_cast<std::size_t>(id) > names_.size()) {
        // An event arrives this way: by its DISPID alone, its arguments in the event's order.
        std::string arguments;
        for (UINT i = params->cArgs; i > 0; --i) {
            arguments += (arguments.empty() ? " (" : ", ") + describe(params->rgvarg[i - 1]);
        }
        unexpected.push_back(L"dispid " + std::to_wstring(id) + fromUtf8(arguments.empty() ? "" : arguments + ")"));
        return DISP_E_MEMBERNOTFOUND;
    }
    const std::size_t index = static_cast<std::size_t>(id) - 1;
    Call call{names_[index], flags, {}, {}};
    for (UINT i = params->cArgs; i > 0; --i) {
        call.args.push_back(describe(params->rgvarg[i - 1]));
    }
    for (UINT i = 0; i < params->cNamedArgs; ++i) {
        call.named.push_back(params->rgdispidNamedArgs[i]);
    }
    calls.push_back(call);
    return responders_[index](*params, result, error, argErr);
}

// The client's own argument builders make the scripted answers, so both sides agree on types.
UniqueVariant variantBool(bool value) { return arg(value); }
UniqueVariant variantI4(std::int32_t value) { return arg(value); }
UniqueVariant variantR8(double value) { return arg(value); }
UniqueVariant variantBstr(const std::wstring& value) { return arg(value); }

UniqueVariant variantDispatch(IDispatch* object) {
    UniqueVariant v;
    v.get().vt = VT_DISPATCH;
    v.get().pdispVal = ComPtr<IDispatch>::borrow(object).detach();
    return v;
}

UniqueVariant variantOfType(VARTYPE vt) {
    UniqueVariant v;
    v.get().vt = vt;
    return v;
}

} // namespace tvx::com::testing
