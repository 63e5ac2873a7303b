// The measuring port: a surface that lays out one line of text in a named font and reports its
// advance width in millimetres. Adapters: GDI on a memory device context (the dialog's hidden
// txtCalc), and a table-driven measurer for tests.
#pragma once

#include <string>

namespace tvx {

class MeasuringSurface {
public:
    virtual ~MeasuringSurface() = default;
    // Both throw when the surface refuses the font or size; the current font then stays.
    virtual void setFontName(const std::wstring& name) = 0;
    virtual void setFontSize(float points) = 0;
    // Width of a one-line text in the current font, in millimetres, as the surface reports it.
    virtual float textWidthMm(const std::wstring& text) = 0;
};

} // namespace tvx
