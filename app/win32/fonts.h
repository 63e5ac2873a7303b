// The dialogs' two fonts.
#pragma once

#include "app/win32/win_handles.h"

#include <string_view>

namespace tvx::win {

// Throws std::runtime_error when GDI gives no font.
UniqueFont createFont(std::wstring_view face, double points, bool bold, int dpi);

// What controls without a font of their own use: MS Sans Serif 8 pt.
UniqueFont createDialogFont(int dpi);
// stdSFSSymbol and stdSFSRough: MS Sans Serif 12 pt bold.
UniqueFont createLargeBoldFont(int dpi);

} // namespace tvx::win
