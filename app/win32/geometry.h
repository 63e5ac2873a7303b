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

// The DPI the dialogs are laid out for. The program is system-DPI-aware (its manifest): the
// system DPI is fixed for a process's lifetime, and a scale the user changes while it runs, or a
// monitor of another scale, gets the windows stretched by the system rather than a
// WM_DPICHANGED. So each dialog reads it once, when it is created.
int screenDpi();

// One pixel is 15 twips at 96 DPI; halves round away from zero.
int twipsToPixels(int twips, int dpi);

// A control's rectangle in client pixels.
RECT pixelRect(const TwipsRect& twips, int dpi);

// LOGFONT height (negative: character height) for a point size. Fractional sizes are kept,
// since 14.25 pt and 14 pt are different sizes; never 0, which would mean "any size".
LONG fontHeightForPoints(double points, int dpi);

// Where a picture of the given size goes in a box's client area: scaled by the whole part of
// DPI / 96 only, so its pixels stay crisp (doubled from 192 DPI on), centred when it fits,
// otherwise at the top-left corner and clipped, as at 96 DPI.
RECT placePicture(SIZE picture, SIZE box, int dpi);

// Outer window size for a wanted client size, centred on the primary monitor's work area.
RECT centredFrame(SIZE client, DWORD style, DWORD exStyle);

} // namespace tvx::win
