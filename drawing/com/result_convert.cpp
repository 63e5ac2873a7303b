#include "drawing/com/result_convert.h"

#include "drawing/com/failure_text.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace tvx::com {

namespace {

[[noreturn]] void unexpected(const char* operation, const VARIANT& value, const char* wanted) {
    throw host::HostError(operation, std::string("the host answered ") + vartypeName(value.vt) +
                                         " where " + wanted + " was expected");
}

// Integer types exactly; nothing else.
std::optional<std::int64_t> exactInteger(const VARIANT& value) {
    switch (value.vt) {
    case VT_I1: return value.cVal;
    case VT_I2: return value.iVal;
    case VT_I4: return value.lVal;
    case VT_I8: return value.llVal;
    case VT_INT: return value.intVal;
    case VT_UI1: return value.bVal;
    case VT_UI2: return value.uiVal;
    case VT_UI4: return value.ulVal;
    case VT_UINT: return value.uintVal;
    default: return std::nullopt;
    }
}

// Reals, and the decimal types reals can hold, as a double.
std::optional<double> realValue(const VARIANT& value) {
    switch (value.vt) {
    case VT_R4: return static_cast<double>(value.fltVal);
    case VT_R8: return value.dblVal;
    case VT_CY:
    case VT_DECIMAL: {
        UniqueVariant copy;
        if (FAILED(VariantChangeType(copy.addressOf(), const_cast<VARIANT*>(&value), 0, VT_R8))) {
            return std::nullopt;
        }
        return copy.get().dblVal;
    }
    default: return std::nullopt;
    }
}

bool isUi8(const VARIANT& value) {
    return value.vt == VT_UI8;
}

} // namespace

bool takeBool(const char* operation, const VARIANT& value) {
    if (value.vt == VT_BOOL) {
        return value.boolVal != VARIANT_FALSE;
    }
    if (value.vt == VT_EMPTY) {
        return false;
    }
    if (isUi8(value)) {
        return value.ullVal != 0;
    }
    if (const auto integer = exactInteger(value)) {
        return *integer != 0;
    }
    if (const auto real = realValue(value)) {
        if (std::isnan(*real)) {
            unexpected(operation, value, "a Boolean");
        }
        return *real != 0.0;
    }
    unexpected(operation, value, "a Boolean");
}

std::int32_t takeInt32(const char* operation, const VARIANT& value) {
    constexpr auto lo = std::numeric_limits<std::int32_t>::min();
    constexpr auto hi = std::numeric_limits<std::int32_t>::max();
    if (value.vt == VT_EMPTY) {
        return 0;
    }
    if (value.vt == VT_BOOL) {
        return value.boolVal != VARIANT_FALSE ? -1 : 0;
    }
    if (isUi8(value)) {
        if (value.ullVal > static_cast<std::uint64_t>(hi)) {
            throw host::HostError(operation, "the host's number does not fit a 32-bit integer");
        }
        return static_cast<std::int32_t>(value.ullVal);
    }
    if (const auto integer = exactInteger(value)) {
        if (*integer < lo || *integer > hi) {
            throw host::HostError(operation, "the host's number does not fit a 32-bit integer");
        }
        return static_cast<std::int32_t>(*integer);
    }
    if (const auto real = realValue(value)) {
        // nearbyint rounds halves to even in the default rounding mode, as Basic's CLng does.
        const double rounded = std::nearbyint(*real);
        if (!std::isfinite(rounded) || rounded < static_cast<double>(lo) || rounded > static_cast<double>(hi)) {
            throw host::HostError(operation, "the host's number does not fit a 32-bit integer");
        }
        return static_cast<std::int32_t>(rounded);
    }
    unexpected(operation, value, "a number");
}

std::wstring takeString(const char* operation, const VARIANT& value) {
    if (value.vt == VT_EMPTY) {
        return {};
    }
    if (value.vt != VT_BSTR) {
        unexpected(operation, value, "a string");
    }
    return value.bstrVal == nullptr ? std::wstring() : std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
}

ComPtr<IDispatch> takeObject(const char* operation, const VARIANT& value) {
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return {};
    case VT_DISPATCH:
        return ComPtr<IDispatch>::borrow(value.pdispVal);
    case VT_UNKNOWN: {
        if (value.punkVal == nullptr) {
            return {};
        }
        auto object = ComPtr<IUnknown>::borrow(value.punkVal).query<IDispatch>();
        if (!object) {
            throw host::HostError(operation, "the host's object cannot be called by name");
        }
        return object;
    }
    default:
        unexpected(operation, value, "an object");
    }
}

namespace {

host::HostScalar takeScalar(const char* operation, const VARIANT& value) {
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return std::monostate{};
    case VT_BOOL:
        return value.boolVal != VARIANT_FALSE;
    case VT_BSTR:
        return takeString(operation, value);
    case VT_UI8:
        if (value.ullVal > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            throw host::HostError(operation, "the host's number does not fit a 64-bit integer");
        }
        return static_cast<std::int64_t>(value.ullVal);
    default:
        break;
    }
    if (const auto integer = exactInteger(value)) {
        return *integer;
    }
    if (const auto real = realValue(value)) {
        return *real;
    }
    unexpected(operation, value, "a number or a string");
}

// One element of the array as a VARIANT of its own, whatever the array's element type.
UniqueVariant element(const char* operation, SAFEARRAY* array, VARTYPE type, LONG index) {
    UniqueVariant out;
    VARIANT& v = out.get();
    HRESULT hr = S_OK;
    switch (type) {
    case VT_VARIANT:
        hr = SafeArrayGetElement(array, &index, &v);
        break;
    case VT_DECIMAL:
        // A DECIMAL fills the whole VARIANT, its type field included.
        hr = SafeArrayGetElement(array, &index, &v.decVal);
        v.vt = VT_DECIMAL;
        break;
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
    case VT_R4: case VT_R8: case VT_CY: case VT_BOOL: case VT_BSTR:
        v.vt = VT_EMPTY;
        hr = SafeArrayGetElement(array, &index, &v.llVal);
        if (SUCCEEDED(hr)) {
            v.vt = type;
        }
        break;
    default:
        throw host::HostError(operation, "the host's array holds " + vartypeName(type) + " elements");
    }
    if (FAILED(hr)) {
        throw host::HostError(operation, "the host's array cannot be read: " + describeHresult(hr));
    }
    if ((v.vt & (VT_ARRAY | VT_BYREF)) != 0) {
        throw host::HostError(operation, "the host's array holds " + vartypeName(v.vt) + " elements");
    }
    return out;
}

} // namespace

host::HostValue takeHostValue(const char* operation, const VARIANT& value) {
    if ((value.vt & VT_BYREF) != 0) {
        unexpected(operation, value, "a value");
    }
    if ((value.vt & VT_ARRAY) == 0) {
        return takeScalar(operation, value);
    }
    SAFEARRAY* array = value.parray;
    if (array == nullptr) {
        return host::HostArray{};
    }
    if (SafeArrayGetDim(array) != 1) {
        throw host::HostError(operation, "the host's array has " + std::to_string(SafeArrayGetDim(array)) +
                                             " dimensions where one was expected");
    }
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper))) {
        throw host::HostError(operation, "the host's array has no bounds");
    }
    const auto type = static_cast<VARTYPE>(value.vt & VT_TYPEMASK);
    host::HostArray out;
    for (std::int64_t i = lower; i <= upper; ++i) {
        const UniqueVariant item = element(operation, array, type, static_cast<LONG>(i));
        out.push_back(takeScalar(operation, item.get()));
    }
    return out;
}

} // namespace tvx::com
