// The dialogs' two fonts, and fonts by name for measuring.
#pragma once

#include "app/win32/win_handles.h"

#include <string_view>

namespace tvx::win {

// Exactly the face asked for, at the point size for `dpi`. Throws std::runtime_error when GDI
// gives no font.
UniqueFont createFont(std::wstring_view face, double points, bool bold, int dpi);

// A font for the screen: the face asked for when GDI has it at that size, otherwise its TrueType
// twin, so that text grows with the display scale.
UniqueFont createScreenFont(std::wstring_view face, double points, bool bold, int dpi);

// What controls without a font of their own use: MS Sans Serif 8 pt.
UniqueFont createDialogFont(int dpi);
// stdSFSSymbol and stdSFSRough: MS Sans Serif 12 pt bold.
UniqueFont createLargeBoldFont(int dpi);

} // namespace tvx::win
