#pragma once

namespace tvx {

// A point on the sheet in metres, x to the right, y upward.
struct SheetPoint {
    double x = 0.0;
    double y = 0.0;
};

} // namespace tvx
