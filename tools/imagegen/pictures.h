// The program's pictures, drawn from their descriptions.
#pragma once

#include "raster.h"

namespace tvx::imagegen {

// What the symbol's V carries: nothing, a bar closing it, or a circle inside it.
enum class SymbolKind { basic = 0, removalRequired = 1, noRemoval = 2 };

// 32 x 32, 256-colour palette, no transparent pixels: the machined-surface symbol in yellow
// shades on black.
IndexedImage programIcon();

// 24 x 24, true colour: the closed V with the extended right leg, greys on white.
RgbImage designPreview();

// 32 x 32, 16 colours with mask: red disc, dark red rim, white diagonal cross, grey shadow.
IndexedImage messageIcon();

// 24 x 24, true colour: the complete symbol of one kind, black on white.
RgbImage symbolPreview(SymbolKind kind);

// The colour a host shows as transparent in a command's icon; white would show as a square.
inline constexpr Rgb kCommandIconKey{192, 192, 192};

// size x size, true colour: the program icon's symbol, black on the key colour, for the host's
// toolbar.
RgbImage commandIcon(int size);

// The sizes a host asks of a command's icon, smallest first.
inline constexpr int kCommandIconSizes[] = {20, 32, 40, 64, 96, 128};

// size x size, true colour: the command icon's symbol on white, for the host's Add-in Manager,
// whose list knows no key colour. Same sizes as the command's.
RgbImage addinManagerIcon(int size);

} // namespace tvx::imagegen
