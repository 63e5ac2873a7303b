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

// The system DPI: what a dialog is first made for, until its window tells the DPI of its
// monitor (windowDpi), and what the system stretches everything to where that cannot be told.
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

// The work area of the monitor that shows most of `anchor`, or of the primary monitor when there
// is no anchor.
RECT workAreaFor(HWND anchor);

} // namespace tvx::win
