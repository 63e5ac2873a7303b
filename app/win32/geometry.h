// Twips, points and pixels: the dialogs are laid out in twips and scale with the display's DPI.
#pragma once

#include <windows.h>

namespace tvx::win {

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

// The DPI the screen's DCs report.
int screenDpi();

// One pixel is 15 twips at 96 DPI; halves round away from zero.
int twipsToPixels(int twips, int dpi);

// A control's rectangle in client pixels.
RECT pixelRect(const TwipsRect& twips, int dpi);

// LOGFONT height (negative: character height) for a point size. Fractional sizes are kept,
// since 14.25 pt and 14 pt are different sizes; never 0, which would mean "any size".
LONG fontHeightForPoints(double points, int dpi);

// Outer window size for a wanted client size, centred on the primary monitor's work area.
RECT centredFrame(SIZE client, DWORD style, DWORD exStyle);

} // namespace tvx::win
