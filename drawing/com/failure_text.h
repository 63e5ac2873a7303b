// Words for what went wrong at the COM boundary, in UTF-8 for host::HostError.
#pragma once

#include "drawing/host.h"

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace tvx::com {

std::string toUtf8(const wchar_t* text, std::size_t length);
std::string toUtf8(const std::wstring& text);
// Invalid sequences become U+FFFD; never throws for bad input.
std::wstring fromUtf8(const std::string& text);

// "DISP_E_TYPEMISMATCH (0x80020005)"; the code's name where it is one the host client meets.
std::string describeHresult(HRESULT hr);

// What a failed Invoke says: the host's own message where it gave one, the argument it
// refused (1-based, in the order the host's table lists them) and the code.
std::string describeInvokeFailure(HRESULT hr, const EXCEPINFO* info, UINT argErr, UINT argCount);

// "VT_BSTR", "VT_ARRAY|VT_R8", "VT_BYREF|VT_I4"; unknown types as a number.
std::string vartypeName(VARTYPE vt);

// Whether the failure means the host process is gone or cut off.
bool isHostGone(HRESULT hr);
// Gone, or refused: what a failed call that came back says about the host.
host::HostFailure failureKind(HRESULT hr);

} // namespace tvx::com
