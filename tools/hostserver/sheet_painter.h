// The sheet's picture painted by GDI, scaled to fit an area and centred in it: the same
// description the SVG writer draws (drawing/sim/sheet_picture.h).
#pragma once

#include "drawing/sim/sheet_picture.h"

#include <windows.h>

namespace tvx::hostserver {

// Where the sheet lies in an area: its upper-left corner and pixels per millimetre.
struct SheetPlacement {
    double left = 0.0;
    double top = 0.0;
    double scale = 0.0;
};

// The largest scale at which the whole sheet fits the area, centred.
SheetPlacement placeSheet(const RECT& area, double widthMm, double heightMm);

// Paints the picture into `dc` over `area`, whose background it fills first. Names whose em would
// be smaller than smallestName pixels are left out: too small to read, they are only smudges.
void paintSheet(HDC dc, const RECT& area, const sim::SheetPicture& picture, int smallestName);

} // namespace tvx::hostserver
