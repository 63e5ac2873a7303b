#include "drawing/com/dispatch_client.h"

#include "drawing/com/failure_text.h"

#include <array>
#include <climits>
#include <cstring>

namespace tvx::com {
namespace {

// What the log tells of an answer: its kind, and a Boolean's value, which often decides the run.
const char* answerKind(const VARIANT& v) {
    if ((v.vt & VT_ARRAY) != 0) {
        return "Feld";
    }
    switch (v.vt) {
    case VT_EMPTY: return "leer";
    case VT_NULL: return "Null";
    case VT_DISPATCH:
    case VT_UNKNOWN: return v.pdispVal != nullptr ? "Objekt" : "leere Referenz";
    case VT_BOOL: return v.boolVal != VARIANT_FALSE ? "True" : "False";
    case VT_BSTR: return "Text";
    default: return "Zahl";
    }
}

} // namespace

UniqueVariant arg(std::int16_t value) {
    UniqueVariant v;
    v.get().vt = VT_I2;
    v.get().iVal = value;
    return v;
}

UniqueVariant arg(std::int32_t value) {
    UniqueVariant v;
    v.get().vt = VT_I4;
    v.get().lVal = value;
    return v;
}

UniqueVariant arg(bool value) {
    UniqueVariant v;
    v.get().vt = VT_BOOL;
    v.get().boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

UniqueVariant arg(double value) {
    UniqueVariant v;
    v.get().vt = VT_R8;
    v.get().dblVal = value;
    return v;
}

UniqueVariant arg(const std::wstring& value) {
    UniqueBstr text(value);
    UniqueVariant v;
    v.get().vt = VT_BSTR;
    v.get().bstrVal = text.detach();
    return v;
}

UniqueVariant arg(host::EmptyRef) {
    return arg(static_cast<IDispatch*>(nullptr));
}

UniqueVariant arg(IDispatch* object) {
    UniqueVariant v;
    v.get().vt = VT_DISPATCH;
    v.get().pdispVal = ComPtr<IDispatch>::borrow(object).detach();
    return v;
}

bool MemberIds::find(const char* operation, DISPID& id) const {
    for (const auto& [name, known] : ids_) {
        if (std::strcmp(name, operation) == 0) {
            id = known;
            return true;
        }
    }
    return false;
}

DispatchObject::DispatchObject(ComPtr<IDispatch> object, std::shared_ptr<MemberIds> ids,
                               std::shared_ptr<HostLine> line)
    : object_(std::move(object)), ids_(ids ? std::move(ids) : std::make_shared<MemberIds>()),
      line_(line ? std::move(line) : std::make_shared<HostLine>()) {
    if (!object_) {
        throw host::HostError("IDispatch", "empty object reference");
    }
    line_->track(&object_);
}

DispatchObject::DispatchObject(DispatchObject&& other) noexcept
    : object_(std::move(other.object_)), ids_(std::move(other.ids_)), line_(std::move(other.line_)) {
    if (line_) {
        line_->retrack(&other.object_, &object_);
    }
}

DispatchObject& DispatchObject::operator=(DispatchObject&& other) noexcept {
    if (this != &other) {
        letGo();
        object_ = std::move(other.object_);
        ids_ = std::move(other.ids_);
        line_ = std::move(other.line_);
        if (line_) {
            line_->retrack(&other.object_, &object_);
        }
    }
    return *this;
}

DispatchObject::~DispatchObject() { letGo(); }

void DispatchObject::letGo() noexcept {
    // Releasing is a call into the host's process too; a host that does not answer must not keep
    // the run from ending.
    if (line_) {
        line_->untrack(&object_);
        line_->release(object_);
    }
}

UniqueVariant DispatchObject::call(const char* operation, std::span<UniqueVariant> args) {
    return invoke(operation, DISPATCH_METHOD, args);
}

UniqueVariant DispatchObject::get(const char* operation) {
    return invoke(operation, DISPATCH_PROPERTYGET, {});
}

UniqueVariant DispatchObject::get(const char* operation, std::span<UniqueVariant> args) {
    return invoke(operation, DISPATCH_PROPERTYGET, args);
}

void DispatchObject::put(const char* operation, UniqueVariant value) {
    invoke(operation, DISPATCH_PROPERTYPUT, std::span<UniqueVariant>(&value, 1));
}

DISPID DispatchObject::memberId(const char* operation) {
    DISPID known = DISPID_UNKNOWN;
    if (ids_->find(operation, known)) {
        return known;
    }
    const std::wstring wide(operation, operation + std::strlen(operation));
    LPOLESTR names[] = {const_cast<LPOLESTR>(wide.c_str())};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = line_->call(operation, [&] {
        return object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    }, false);
    if (FAILED(hr)) {
        line_->noteAnswer("Name unbekannt");
        throw host::HostError(operation, "the host does not know this name: " + describeHresult(hr),
                              failureKind(hr), static_cast<std::int32_t>(hr));
    }
    ids_->add(operation, id);
    return id;
}

UniqueVariant DispatchObject::invoke(const char* operation, WORD kind, std::span<UniqueVariant> args) {
    const DISPID id = memberId(operation);
    // rgvarg holds the arguments last to first; the VARIANTs stay owned by args. The host's
    // longest call has 14 arguments, so they fit on the stack.
    constexpr std::size_t kMaxArgs = 16;
    if (args.size() > kMaxArgs) {
        throw host::HostError(operation, "too many arguments");
    }
    std::array<VARIANT, kMaxArgs> reversed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        reversed[i] = args[args.size() - 1 - i].get();
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = args.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(args.size());
    if (kind == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }

    UniqueVariant result;
    UniqueExcepInfo error;
    UINT argErr = UINT_MAX;
    // A rejected attempt was not run by the host; each new attempt starts with clean out-parameters.
    const HRESULT hr = line_->call(operation, [&] {
        argErr = UINT_MAX;
        return object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params,
                               kind == DISPATCH_PROPERTYPUT ? nullptr : result.put(), error.put(), &argErr);
    });
    if (SUCCEEDED(hr)) {
        line_->noteAnswer(kind == DISPATCH_PROPERTYPUT ? "gesetzt" : answerKind(result.get()));
    }
    if (FAILED(hr)) {
        const EXCEPINFO& info = error.filled();
        if (hr == DISP_E_EXCEPTION && info.bstrDescription != nullptr && SysStringLen(info.bstrDescription) > 0) {
            line_->noteFailureText(
                std::wstring_view(info.bstrDescription, SysStringLen(info.bstrDescription)));
        }
        throw host::HostError(operation, describeInvokeFailure(hr, &info, argErr, params.cArgs),
                              failureKind(hr), static_cast<std::int32_t>(hr));
    }
    return result;
}

} // namespace tvx::com
