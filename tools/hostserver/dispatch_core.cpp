#include "tools/hostserver/dispatch_core.h"

#include "drawing/com/failure_text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <type_traits>
#include <variant>

namespace tvx::hostserver {

namespace {

std::string narrow(const wchar_t* name) {
    std::string out;
    for (; *name != L'\0'; ++name) {
        out += static_cast<char>(*name & 0x7f);
    }
    return out;
}

std::string number(double value) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string("?");
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string shortType(VARTYPE vt) {
    std::string name = com::vartypeName(vt);
    for (std::size_t at = name.find("VT_"); at != std::string::npos; at = name.find("VT_")) {
        name.erase(at, 3);
    }
    return name;
}

const char* paramTypeName(Param p) {
    switch (p) {
    case Param::I2: return "VT_I2";
    case Param::I4: return "VT_I4";
    case Param::Bool: return "VT_BOOL";
    case Param::R8: return "VT_R8";
    case Param::Bstr: return "VT_BSTR";
    case Param::TextFormat: return "VT_DISPATCH (a text format of this host)";
    case Param::EmptyRef: return "VT_DISPATCH holding null";
    case Param::I8: return "VT_I8";
    case Param::Object: return "VT_DISPATCH (not null)";
    case Param::HostObject: return "VT_DISPATCH (an object of this host)";
    case Param::Coordinate: return "a coordinate in a form this host takes";
    case Param::ImageList: return "VT_EMPTY or VT_ARRAY|VT_BSTR";
    case Param::BstrArray: return "VT_ARRAY|VT_BSTR";
    case Param::I4Array: return "VT_ARRAY|VT_I4";
    case Param::I4Out: return "VT_BYREF|VT_I4";
    case Param::VariantOut: return "VT_BYREF|VT_VARIANT";
    case Param::BstrOut: return "VT_BYREF|VT_BSTR";
    case Param::BoolOut: return "VT_BYREF|VT_BOOL";
    }
    return "?";
}

bool accepts(Param p, const VARIANT& v, const DispatchContext& context) {
    switch (p) {
    case Param::I2: return v.vt == VT_I2;
    case Param::I4: return v.vt == VT_I4;
    case Param::Bool: return v.vt == VT_BOOL;
    case Param::R8: return v.vt == VT_R8;
    case Param::Bstr: return v.vt == VT_BSTR;
    case Param::EmptyRef: return v.vt == VT_DISPATCH && v.pdispVal == nullptr;
    case Param::TextFormat:
        return v.vt == VT_DISPATCH && (v.pdispVal == nullptr || context.findTextFormat(v.pdispVal) != nullptr);
    case Param::I8: return v.vt == VT_I8;
    case Param::Object: return v.vt == VT_DISPATCH && v.pdispVal != nullptr;
    case Param::HostObject: return v.vt == VT_DISPATCH && context.findObject(v.pdispVal) != nullptr;
    case Param::Coordinate: return context.takesCoordinate(v.vt);
    case Param::ImageList: return v.vt == VT_EMPTY || (v.vt == (VT_ARRAY | VT_BSTR) && v.parray != nullptr);
    case Param::BstrArray: return v.vt == (VT_ARRAY | VT_BSTR) && v.parray != nullptr;
    case Param::I4Array: return v.vt == (VT_ARRAY | VT_I4) && v.parray != nullptr;
    case Param::I4Out: return v.vt == (VT_BYREF | VT_I4) && v.plVal != nullptr;
    case Param::VariantOut: return v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal != nullptr;
    case Param::BstrOut: return v.vt == (VT_BYREF | VT_BSTR) && v.pbstrVal != nullptr;
    case Param::BoolOut: return v.vt == (VT_BYREF | VT_BOOL) && v.pboolVal != nullptr;
    }
    return false;
}

bool accessAllowed(Access access, WORD flags) {
    switch (access) {
    case Access::Method: return (flags & DISPATCH_METHOD) != 0;
    case Access::Get: return (flags & DISPATCH_PROPERTYGET) != 0;
    case Access::Put: return (flags & DISPATCH_PROPERTYPUT) != 0;
    }
    return false;
}

com::UniqueBstr bstrOf(const std::string& ascii) {
    return com::UniqueBstr(std::wstring(ascii.begin(), ascii.end()));
}

} // namespace

// ---- context --------------------------------------------------------------------------------

bool DispatchContext::faultFor(std::uint64_t call, const std::string& operation) const {
    return (failAt_ != 0 && call == failAt_) ||
           std::find(failOps_.begin(), failOps_.end(), operation) != failOps_.end();
}

void DispatchContext::dieIfDue(std::uint64_t call) const {
    if (dieAt_ != 0 && call == dieAt_ && death_) {
        death_();
    }
}

void DispatchContext::beforeCall(std::uint64_t call) const {
    if (beforeCall_) {
        beforeCall_(call);
    }
}

void DispatchContext::trace(const std::string& line) const {
    if (trace_) {
        trace_(line);
    }
}

void DispatchContext::markIfModal(const std::string& operation) {
    if (inModalState()) {
        ++modalCalls_;
        trace(std::string(kModalCallMarker) + ": " + operation);
    }
    if (operationDepth_ > 0) {
        ++operationCalls_;
        trace(std::string(kOperationCallMarker) + ": " + operation);
    }
}

void DispatchContext::markIfDuringCommand(const std::string& kind, const std::string& member) {
    if (!commandOpen_) {
        return;
    }
    const auto startsWith = [&member](const char* prefix) { return member.rfind(prefix, 0) == 0; };
    if (startsWith("Select") || startsWith("ClearSelection") || startsWith("DeleteSelection") ||
        startsWith("Insert")) {
        ++commandCalls_;
        trace(std::string(kCommandCallMarker) + ": " + kind + "." + member);
    }
}

void DispatchContext::registerTextFormat(const IUnknown* identity, host::TextFormatRef format) {
    textFormats_[identity] = std::move(format);
}

void DispatchContext::forgetTextFormat(const IUnknown* identity) {
    textFormats_.erase(identity);
}

DispatchCore* DispatchContext::findObject(IDispatch* object) const {
    if (object == nullptr) {
        return nullptr;
    }
    const auto identity = ComPtr<IDispatch>::borrow(object).query<IUnknown>();
    for (const DispatchCore* mine : live_) {
        if (static_cast<const IUnknown*>(mine) == identity.get()) {
            return const_cast<DispatchCore*>(mine);
        }
    }
    return nullptr;
}

const host::TextFormatRef* DispatchContext::findTextFormat(IDispatch* object) const {
    if (object == nullptr) {
        return nullptr;
    }
    // COM identity: the IUnknown a QueryInterface answers, the same for every interface of it.
    const auto identity = ComPtr<IDispatch>::borrow(object).query<IUnknown>();
    const auto it = textFormats_.find(identity.get());
    return it == textFormats_.end() ? nullptr : &it->second;
}

// ---- arguments and answers ------------------------------------------------------------------

bool DispatchContext::takesCoordinate(VARTYPE vt) const {
    const auto& forms = findings_.coordinateForms;
    return std::find(forms.begin(), forms.end(), vt) != forms.end();
}

std::int16_t CallArgs::coordinate(std::size_t index) const {
    const VARIANT& v = at(index);
    const double value = v.vt == VT_R8 ? v.dblVal : v.vt == VT_I4 ? v.lVal : v.iVal;
    // The model keeps 16-bit coordinates; a value beyond them, or not a number, is held at the edge.
    if (!(value > -32768.0)) {
        return -32768;
    }
    return value < 32767.0 ? static_cast<std::int16_t>(value) : std::int16_t{32767};
}

std::wstring CallArgs::bstr(std::size_t index) const {
    const BSTR text = at(index).bstrVal;
    return text == nullptr ? std::wstring() : std::wstring(text, SysStringLen(text));
}

namespace {

// The elements of a one-dimensional array of T.
template <class T>
std::vector<T> arrayItems(SAFEARRAY* array) {
    std::vector<T> out;
    LONG lower = 0;
    LONG upper = -1;
    if (array == nullptr || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper))) {
        throw std::invalid_argument("not a one-dimensional array");
    }
    for (LONG i = lower; i <= upper; ++i) {
        T item{};
        if (FAILED(SafeArrayGetElement(array, &i, &item))) {
            throw std::invalid_argument("an array element cannot be read");
        }
        out.push_back(std::move(item));
    }
    return out;
}

} // namespace

std::vector<std::wstring> CallArgs::bstrs(std::size_t index) const {
    const VARIANT& v = at(index);
    std::vector<std::wstring> out;
    if (v.vt == VT_EMPTY) {
        return out;
    }
    for (BSTR item : arrayItems<BSTR>(v.parray)) {
        // SafeArrayGetElement hands out a copy.
        const com::UniqueBstr owned = com::UniqueBstr::attach(item);
        out.push_back(owned.str());
    }
    return out;
}

std::vector<std::int32_t> CallArgs::i4s(std::size_t index) const {
    std::vector<std::int32_t> out;
    for (const LONG item : arrayItems<LONG>(at(index).parray)) {
        out.push_back(item);
    }
    return out;
}

host::TextFormatRef CallArgs::textFormat(std::size_t index) const {
    const host::TextFormatRef* format = context_.findTextFormat(at(index).pdispVal);
    return format == nullptr ? nullptr : *format;
}

sim::TracedArg traceArgument(const VARIANT& v, const DispatchContext& context) {
    switch (v.vt) {
    case VT_I2: return {"I2", std::to_string(v.iVal)};
    case VT_I4: return {"I4", std::to_string(v.lVal)};
    case VT_BOOL:
        return {"BOOL", v.boolVal == VARIANT_TRUE    ? std::string("true")
                        : v.boolVal == VARIANT_FALSE ? std::string("false")
                                                     : std::to_string(v.boolVal)};
    case VT_R8: return {"R8", number(v.dblVal)};
    case VT_R4: return {"R4", number(static_cast<double>(v.fltVal))};
    case VT_BSTR:
        return {"BSTR", v.bstrVal == nullptr ? std::string() : com::toUtf8(v.bstrVal, SysStringLen(v.bstrVal))};
    case VT_DISPATCH: {
        if (v.pdispVal == nullptr) {
            return {"DISPATCH", "null"};
        }
        if (context.findTextFormat(v.pdispVal) != nullptr) {
            return {"DISPATCH", "TextFormat"};
        }
        const DispatchCore* mine = context.findObject(v.pdispVal);
        return {"DISPATCH", mine != nullptr ? mine->kind() : "foreign"};
    }
    case VT_BYREF | VT_I4: return {"I4|BYREF", v.plVal == nullptr ? "null" : std::to_string(*v.plVal)};
    case VT_BYREF | VT_BSTR:
        return {"BSTR|BYREF",
                v.pbstrVal == nullptr ? std::string("null")
                                      : std::string(1, '"')
                                            .append(*v.pbstrVal == nullptr
                                                        ? std::string()
                                                        : com::toUtf8(*v.pbstrVal, SysStringLen(*v.pbstrVal)))
                                            .append(1, '"')};
    case VT_BYREF | VT_BOOL:
        return {"BOOL|BYREF", v.pboolVal == nullptr ? "null" : *v.pboolVal != VARIANT_FALSE ? "true" : "false"};
    case VT_ARRAY | VT_BSTR:
    case VT_ARRAY | VT_I4: {
        LONG lower = 0;
        LONG upper = -1;
        if (v.parray != nullptr && SafeArrayGetDim(v.parray) == 1) {
            SafeArrayGetLBound(v.parray, 1, &lower);
            SafeArrayGetUBound(v.parray, 1, &upper);
        }
        return {shortType(v.vt), std::to_string(upper - lower + 1) + " items"};
    }
    case VT_I1: return {"I1", std::to_string(v.cVal)};
    case VT_UI1: return {"UI1", std::to_string(v.bVal)};
    case VT_UI2: return {"UI2", std::to_string(v.uiVal)};
    case VT_UI4: return {"UI4", std::to_string(v.ulVal)};
    case VT_I8: return {"I8", std::to_string(v.llVal)};
    case VT_INT: return {"INT", std::to_string(v.intVal)};
    default: return {shortType(v.vt), "-"};
    }
}

Answer Answer::none() {
    return {};
}

Answer Answer::boolean(bool value) {
    Answer a;
    a.value.get().vt = VT_BOOL;
    a.value.get().boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    a.trace = value ? "BOOL true" : "BOOL false";
    return a;
}

Answer Answer::int32(std::int32_t value) {
    Answer a;
    a.value.get().vt = VT_I4;
    a.value.get().lVal = value;
    a.trace = "I4 " + std::to_string(value);
    return a;
}

Answer Answer::text(const std::wstring& value) {
    Answer a;
    a.value.get().vt = VT_BSTR;
    a.value.get().bstrVal = com::UniqueBstr(value).detach();
    a.trace = "BSTR " + quoted(com::toUtf8(value));
    return a;
}

Answer Answer::object(ComPtr<IDispatch> object, const char* kind, EmptyForm emptyForm) {
    Answer a;
    VARIANT& v = a.value.get();
    if (object) {
        v.vt = VT_DISPATCH;
        v.pdispVal = object.detach();
        a.trace = std::string("DISPATCH ") + kind;
        return a;
    }
    switch (emptyForm) {
    case EmptyForm::NullDispatch:
        v.vt = VT_DISPATCH;
        v.pdispVal = nullptr;
        a.trace = "DISPATCH null";
        break;
    case EmptyForm::Empty:
        a.trace = "EMPTY";
        break;
    case EmptyForm::Null:
        v.vt = VT_NULL;
        a.trace = "NULL";
        break;
    }
    return a;
}

namespace {

// One scalar into a VARIANT, the way the host sends such a value.
void putScalar(const host::HostScalar& s, VARIANT& v, std::string& trace) {
    std::visit(
        [&](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                v.vt = VT_EMPTY;
                trace += "EMPTY";
            } else if constexpr (std::is_same_v<T, bool>) {
                v.vt = VT_BOOL;
                v.boolVal = x ? VARIANT_TRUE : VARIANT_FALSE;
                trace += x ? "BOOL true" : "BOOL false";
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                if (x >= std::numeric_limits<std::int32_t>::min() && x <= std::numeric_limits<std::int32_t>::max()) {
                    v.vt = VT_I4;
                    v.lVal = static_cast<std::int32_t>(x);
                    trace += "I4 " + std::to_string(x);
                } else {
                    v.vt = VT_I8;
                    v.llVal = x;
                    trace += "I8 " + std::to_string(x);
                }
            } else if constexpr (std::is_same_v<T, double>) {
                v.vt = VT_R8;
                v.dblVal = x;
                trace += "R8 " + number(x);
            } else {
                v.vt = VT_BSTR;
                v.bstrVal = com::UniqueBstr(x).detach();
                trace += "BSTR " + quoted(com::toUtf8(x));
            }
        },
        s);
}

} // namespace

Answer Answer::hostValue(const host::HostValue& value) {
    Answer a;
    if (const auto* scalar = std::get_if<host::HostScalar>(&value)) {
        putScalar(*scalar, a.value.get(), a.trace);
        return a;
    }
    const auto& items = std::get<host::HostArray>(value);
    if (items.size() > static_cast<std::size_t>(std::numeric_limits<LONG>::max())) {
        throw std::length_error("array too long for the host");
    }
    // All doubles go as the host sends them, a SAFEARRAY of VT_R8; anything else as VARIANTs.
    const bool allReal = std::all_of(items.begin(), items.end(),
                                     [](const host::HostScalar& s) { return std::holds_alternative<double>(s); });
    const VARTYPE elementType = allReal ? VT_R8 : VT_VARIANT;
    com::UniqueSafeArray array = com::UniqueSafeArray::attach(
        SafeArrayCreateVector(elementType, 0, static_cast<ULONG>(items.size())));
    if (!array.get()) {
        throw std::bad_alloc();
    }
    a.trace = "ARRAY[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        LONG index = static_cast<LONG>(i);
        UniqueVariant item;
        a.trace += i == 0 ? "" : ", ";
        putScalar(items[i], item.get(), a.trace);
        void* slot = allReal ? static_cast<void*>(&item.get().dblVal) : static_cast<void*>(item.addressOf());
        const HRESULT hr = SafeArrayPutElement(array.get(), &index, slot);
        if (FAILED(hr)) {
            throw std::runtime_error("array element not stored: " + com::describeHresult(hr));
        }
    }
    a.trace += "]";
    a.value.get().vt = static_cast<VARTYPE>(VT_ARRAY | elementType);
    a.value.get().parray = array.detach();
    return a;
}

// ---- IDispatch ------------------------------------------------------------------------------

DispatchCore::DispatchCore(std::shared_ptr<DispatchContext> context, const char* kind)
    : context_(std::move(context)), kind_(kind) {
    context_->registerObject(this);
}

DispatchCore::~DispatchCore() {
    context_->forgetObject(this);
}

HRESULT STDMETHODCALLTYPE DispatchCore::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DispatchCore::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE DispatchCore::Release() {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) {
        std::unique_ptr<DispatchCore> owner(this);
    }
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE DispatchCore::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_INVALIDARG;
    }
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchCore::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) {
        *info = nullptr;
    }
    return DISP_E_BADINDEX;
}

bool DispatchContext::knows(const char* kind, const wchar_t* name) const {
    if (!revision_ || knownAt(*revision_, kind, name)) {
        return true;
    }
    trace("-- " + std::string(kind) + "." + narrow(name) + " is unknown to host revision " + com::toUtf8(revisionText_));
    return false;
}

HRESULT STDMETHODCALLTYPE DispatchCore::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                                      DISPID* ids) {
    if (iid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (names == nullptr || ids == nullptr || count == 0) {
        return E_INVALIDARG;
    }
    context_->countLookup();
    std::fill(ids, ids + count, DISPID_UNKNOWN);
    if (names[0] == nullptr) {
        return DISP_E_UNKNOWNNAME;
    }
    const auto table = members();
    for (std::size_t i = 0; i < table.size(); ++i) {
        // Automation names are case-insensitive: "gettextformat" is GetTextFormat.
        if (CompareStringOrdinal(names[0], -1, table[i].name, -1, TRUE) == CSTR_EQUAL) {
            if (!context_->knows(kind_, table[i].name)) {
                return DISP_E_UNKNOWNNAME;
            }
            ids[0] = static_cast<DISPID>(i + 1);
            // Our members take no named arguments.
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT DispatchCore::refuse(std::size_t member, const DISPPARAMS& params, HRESULT hr, const std::string& why) const {
    sim::TraceEntry entry{narrow(members()[member].name), kind_, {}, com::describeHresult(hr) + ": " + why, true};
    for (UINT i = params.cArgs; i > 0 && params.rgvarg != nullptr; --i) {
        entry.args.push_back(traceArgument(params.rgvarg[i - 1], *context_));
    }
    context_->trace(sim::formatTraceEntry(entry));
    return hr;
}

HRESULT STDMETHODCALLTYPE DispatchCore::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                               VARIANT* result, EXCEPINFO* error, UINT* argErr) {
    if (iid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    // However the call ends, the drawing may have changed.
    struct AfterCall {
        DispatchContext& context;
        ~AfterCall() {
            try {
                context.afterCall();
            } catch (...) {
            }
        }
    } after{*context_};
    // No exception may cross into COM, not even from writing the trace.
    try {
        return invokeChecked(id, flags, params, result, error, argErr);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT DispatchCore::invokeChecked(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* error,
                                    UINT* argErr) {
    const auto table = members();
    if (id < 1 || static_cast<std::size_t>(id) > table.size()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr) ||
        (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr)) {
        return E_INVALIDARG;
    }
    const std::size_t index = static_cast<std::size_t>(id) - 1;
    const MemberInfo& member = table[index];
    context_->markIfModal(std::string(kind_) + "." + narrow(member.name));
    context_->markIfDuringCommand(kind_, narrow(member.name));
    if (const HRESULT held = context_->gate(context_->callCount() + 1, std::string(kind_) + "." + narrow(member.name));
        held != S_OK) {
        return held;
    }
    const std::uint64_t call = context_->countCall();
    context_->beforeCall(call);
    context_->dieIfDue(call);

    if (!accessAllowed(member.access, flags)) {
        return refuse(index, *params, DISP_E_MEMBERNOTFOUND, "not callable with these flags");
    }
    if (member.access == Access::Put) {
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return refuse(index, *params, DISP_E_PARAMNOTFOUND, "a property put names its value DISPID_PROPERTYPUT");
        }
    } else if (params->cNamedArgs != 0) {
        return refuse(index, *params, DISP_E_NONAMEDARGS, "no named arguments");
    }
    if (params->cArgs != member.params.size()) {
        return refuse(index, *params, DISP_E_BADPARAMCOUNT,
                      std::to_string(member.params.size()) + " arguments expected, " +
                          std::to_string(params->cArgs) + " given");
    }
    for (std::size_t k = 0; k < member.params.size(); ++k) {
        const UINT slot = params->cArgs - 1 - static_cast<UINT>(k);
        if (!accepts(member.params[k], params->rgvarg[slot], *context_)) {
            if (argErr != nullptr) {
                *argErr = slot;
            }
            return refuse(index, *params, DISP_E_TYPEMISMATCH,
                          "argument " + std::to_string(k + 1) + " must be " + paramTypeName(member.params[k]));
        }
    }

    const std::string operation = narrow(member.name);
    sim::TraceEntry entry{operation, kind_, {}, {}, false};
    for (std::size_t k = 0; k < member.params.size(); ++k) {
        entry.args.push_back(traceArgument(params->rgvarg[params->cArgs - 1 - k], *context_));
    }
    std::string message;
    HRESULT failure = DISP_E_EXCEPTION;
    try {
        if (context_->faultFor(call, operation)) {
            throw host::HostError(operation, "injected fault");
        }
        Answer answer = run(index, CallArgs(*params, *context_));
        context_->shapeAnswer(operation, answer);
        entry.result = answer.trace;
        context_->trace(sim::formatTraceEntry(entry));
        if (result != nullptr) {
            answer.value.detachTo(*result);
        }
        return S_OK;
    } catch (const host::HostError& e) {
        if (e.unknownName()) {
            // What a host without the member answers; the name is in our table only for hosts
            // that have it.
            failure = DISP_E_UNKNOWNNAME;
        }
        // The host's words without our own "operation: " prefix; the source names the operation.
        message = e.what();
        const std::string prefix = e.operation() + ": ";
        if (message.compare(0, prefix.size(), prefix) == 0) {
            message.erase(0, prefix.size());
        }
    } catch (const std::bad_alloc&) {
        failure = E_OUTOFMEMORY;
        message = "out of memory";
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        failure = E_UNEXPECTED;
        message = "unexpected failure";
    }
    entry.failed = true;
    entry.result = message;
    context_->trace(sim::formatTraceEntry(entry));
    if (failure != DISP_E_EXCEPTION) {
        return failure;
    }
    if (error != nullptr) {
        *error = EXCEPINFO{};
        error->bstrSource = bstrOf(operation).detach();
        error->bstrDescription = com::UniqueBstr(com::fromUtf8(message)).detach();
        error->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
}

} // namespace tvx::hostserver
