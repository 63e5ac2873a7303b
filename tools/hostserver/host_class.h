// The class the stand-in host registers its application object under. The CLSID is our own;
// scripts/wine-prefix.d/hostclass.sh maps the host's class name to it in the Wine prefix.
#pragma once

#include <windows.h>

namespace tvx::hostserver {

// {1A2718F0-B58B-4E44-B7D5-9FE3E2AD48C9}
inline constexpr CLSID kStandInHostClsid = {
    0x1a2718f0, 0xb58b, 0x4e44, {0xb7, 0xd5, 0x9f, 0xe3, 0xe2, 0xad, 0x48, 0xc9}};

} // namespace tvx::hostserver
