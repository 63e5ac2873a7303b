// A measuring surface with a fixed width per character, whatever the font and size, so that a
// layout can be worked out by hand. It keeps font name and size as a real surface does and can
// be told to refuse fonts it does not know.
#pragma once

#include "layout/measuring_surface.h"

#include <array>
#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace tvx {

class FontRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TableMeasurer final : public MeasuringSurface {
public:
    struct Measurement {
        std::wstring text;
        std::wstring fontName;
        float fontSize = 0.0f;
    };

    // Starts in the measuring picture box's design-time font.
    explicit TableMeasurer(float defaultWidthMm = 1.0f);

    void setWidth(wchar_t c, float widthMm);
    // From now on only these fonts are accepted; setFontName of any other throws FontRefused.
    void knowOnly(std::vector<std::wstring> fontNames);
    // Keeping every measured text costs memory on long searches.
    void setRecording(bool on) { recording_ = on; }

    void setFontName(const std::wstring& name) override;
    void setFontSize(float points) override;
    float textWidthMm(const std::wstring& text) override;

    const std::wstring& fontName() const { return fontName_; }
    float fontSize() const { return fontSize_; }
    const std::vector<Measurement>& measurements() const { return measurements_; }
    std::size_t measurementCount() const { return measurementCount_; }

private:
    float widthOf(wchar_t c) const;

    float defaultWidth_;
    std::array<float, 128> asciiWidths_{};
    std::map<wchar_t, float> otherWidths_;
    std::vector<std::wstring> knownFonts_;
    std::wstring fontName_ = L"ISOCP";
    float fontSize_ = 14.25f;
    bool recording_ = true;
    std::vector<Measurement> measurements_;
    std::size_t measurementCount_ = 0;
};

// The note font of the worked examples: brackets 1 mm, a blank 2 mm.
TableMeasurer bracketExampleMeasurer();

} // namespace tvx
