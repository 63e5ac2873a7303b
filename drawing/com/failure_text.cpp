#include "drawing/com/failure_text.h"

#include <climits>
#include <cstdio>

namespace tvx::com {

std::string toUtf8(const wchar_t* text, std::size_t length) {
    if (text == nullptr || length == 0 || length > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    const int wideLength = static_cast<int>(length);
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, wideLength, out.data(), size, nullptr, nullptr);
    return out;
}

std::string toUtf8(const std::wstring& text) {
    return toUtf8(text.data(), text.size());
}

std::wstring fromUtf8(const std::string& text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), size);
    return out;
}

namespace {

const char* hresultName(HRESULT hr) {
    switch (hr) {
    case DISP_E_UNKNOWNINTERFACE: return "DISP_E_UNKNOWNINTERFACE";
    case DISP_E_MEMBERNOTFOUND: return "DISP_E_MEMBERNOTFOUND";
    case DISP_E_PARAMNOTFOUND: return "DISP_E_PARAMNOTFOUND";
    case DISP_E_TYPEMISMATCH: return "DISP_E_TYPEMISMATCH";
    case DISP_E_UNKNOWNNAME: return "DISP_E_UNKNOWNNAME";
    case DISP_E_NONAMEDARGS: return "DISP_E_NONAMEDARGS";
    case DISP_E_BADVARTYPE: return "DISP_E_BADVARTYPE";
    case DISP_E_EXCEPTION: return "DISP_E_EXCEPTION";
    case DISP_E_OVERFLOW: return "DISP_E_OVERFLOW";
    case DISP_E_BADINDEX: return "DISP_E_BADINDEX";
    case DISP_E_BADPARAMCOUNT: return "DISP_E_BADPARAMCOUNT";
    case DISP_E_PARAMNOTOPTIONAL: return "DISP_E_PARAMNOTOPTIONAL";
    case E_FAIL: return "E_FAIL";
    case E_INVALIDARG: return "E_INVALIDARG";
    case E_NOINTERFACE: return "E_NOINTERFACE";
    case E_NOTIMPL: return "E_NOTIMPL";
    case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
    case E_UNEXPECTED: return "E_UNEXPECTED";
    case MK_E_UNAVAILABLE: return "MK_E_UNAVAILABLE";
    case CO_E_CLASSSTRING: return "CO_E_CLASSSTRING";
    case REGDB_E_CLASSNOTREG: return "REGDB_E_CLASSNOTREG";
    case CO_E_NOTINITIALIZED: return "CO_E_NOTINITIALIZED";
    case CO_E_OBJNOTCONNECTED: return "CO_E_OBJNOTCONNECTED";
    case RPC_E_DISCONNECTED: return "RPC_E_DISCONNECTED";
    case RPC_E_SERVERFAULT: return "RPC_E_SERVERFAULT";
    case RPC_E_CALL_REJECTED: return "RPC_E_CALL_REJECTED";
    case RPC_E_SERVERCALL_RETRYLATER: return "RPC_E_SERVERCALL_RETRYLATER";
    case RPC_E_CALL_CANCELED: return "RPC_E_CALL_CANCELED";
    case RPC_E_WRONG_THREAD: return "RPC_E_WRONG_THREAD";
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE): return "RPC_S_SERVER_UNAVAILABLE";
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED): return "RPC_S_CALL_FAILED";
    default: return nullptr;
    }
}

} // namespace

std::string describeHresult(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    const char* name = hresultName(hr);
    return name == nullptr ? std::string(code) : std::string(name) + " (" + code + ")";
}

std::string vartypeName(VARTYPE vt) {
    std::string prefix;
    if ((vt & VT_ARRAY) != 0) {
        prefix += "VT_ARRAY|";
    }
    if ((vt & VT_BYREF) != 0) {
        prefix += "VT_BYREF|";
    }
    switch (vt & VT_TYPEMASK) {
    case VT_EMPTY: return prefix + "VT_EMPTY";
    case VT_NULL: return prefix + "VT_NULL";
    case VT_I1: return prefix + "VT_I1";
    case VT_I2: return prefix + "VT_I2";
    case VT_I4: return prefix + "VT_I4";
    case VT_I8: return prefix + "VT_I8";
    case VT_UI1: return prefix + "VT_UI1";
    case VT_UI2: return prefix + "VT_UI2";
    case VT_UI4: return prefix + "VT_UI4";
    case VT_UI8: return prefix + "VT_UI8";
    case VT_INT: return prefix + "VT_INT";
    case VT_UINT: return prefix + "VT_UINT";
    case VT_R4: return prefix + "VT_R4";
    case VT_R8: return prefix + "VT_R8";
    case VT_CY: return prefix + "VT_CY";
    case VT_DATE: return prefix + "VT_DATE";
    case VT_BSTR: return prefix + "VT_BSTR";
    case VT_DISPATCH: return prefix + "VT_DISPATCH";
    case VT_ERROR: return prefix + "VT_ERROR";
    case VT_BOOL: return prefix + "VT_BOOL";
    case VT_VARIANT: return prefix + "VT_VARIANT";
    case VT_UNKNOWN: return prefix + "VT_UNKNOWN";
    case VT_DECIMAL: return prefix + "VT_DECIMAL";
    default: return prefix + "VARTYPE " + std::to_string(vt & VT_TYPEMASK);
    }
}

bool isHostGone(HRESULT hr) {
    return hr == RPC_E_DISCONNECTED || hr == CO_E_OBJNOTCONNECTED || hr == RPC_E_SERVERFAULT ||
           hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) ||
           hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED);
}

host::HostFailure failureKind(HRESULT hr) {
    return isHostGone(hr) ? host::HostFailure::Gone : host::HostFailure::Refused;
}

std::string describeInvokeFailure(HRESULT hr, const EXCEPINFO* info, UINT argErr, UINT argCount) {
    if (hr == DISP_E_EXCEPTION && info != nullptr) {
        std::string text;
        if (info->bstrDescription != nullptr) {
            text = toUtf8(info->bstrDescription, SysStringLen(info->bstrDescription));
        }
        std::string code;
        if (info->scode != 0) {
            code = describeHresult(info->scode);
        } else if (info->wCode != 0) {
            code = "host error code " + std::to_string(info->wCode);
        } else {
            code = describeHresult(hr);
        }
        return text.empty() ? code : text + " [" + code + "]";
    }
    if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && argErr < argCount) {
        // The server counts rgvarg, which holds the arguments last to first.
        return "argument " + std::to_string(argCount - argErr) + " refused: " + describeHresult(hr);
    }
    if (isHostGone(hr)) {
        return "the host is no longer reachable: " + describeHresult(hr);
    }
    return describeHresult(hr);
}

} // namespace tvx::com
