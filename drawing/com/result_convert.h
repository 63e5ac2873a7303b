// The host's answers taken as the program takes them. A type that cannot be taken so is a
// host error naming the operation; nothing is guessed from strings or objects.
#pragma once

#include "drawing/com/com_owners.h"
#include "drawing/host.h"

#include <cstdint>
#include <string>

namespace tvx::com {

// VT_BOOL, or any number (non-zero is True); nothing at all (VT_EMPTY) is False.
bool takeBool(const char* operation, const VARIANT& value);

// Any integer type within range, a Boolean (True is -1), or a real rounded as Basic rounds
// (halves to even); VT_EMPTY is 0.
std::int32_t takeInt32(const char* operation, const VARIANT& value);

// VT_BSTR (a null BSTR is ""), VT_EMPTY is "".
std::wstring takeString(const char* operation, const VARIANT& value);

// An object reference. VT_EMPTY, VT_NULL and a null VT_DISPATCH are all the empty reference.
ComPtr<IDispatch> takeObject(const char* operation, const VARIANT& value);

// A value of the host's choosing: one scalar, or a one-dimensional array of scalars
// (elements of any numeric type, or VARIANTs holding them), in index order.
host::HostValue takeHostValue(const char* operation, const VARIANT& value);

} // namespace tvx::com
