// Drawing files: the stand-in host's drawings as JSON (UTF-8), read strictly and written
// atomically. The format is described in docs/drawing-format.md.
#pragma once

#include "drawing/sim/model.h"

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tvx::sim {

// A drawing file that cannot be read or is not a valid drawing. The message names the file and
// the position: line and column, or the path of the faulty field.
class DrawingFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Limits that keep a hostile file from exhausting memory.
inline constexpr std::size_t kMaxDrawingFileBytes = 64u * 1024u * 1024u;
inline constexpr std::size_t kMaxSheets = 100;
inline constexpr std::size_t kMaxViews = 1000;       // in the whole document
inline constexpr std::size_t kMaxAnnotations = 100000; // symbols, and notes, in the whole document
inline constexpr std::size_t kMaxTextBytes = 64u * 1024u;
inline constexpr std::size_t kMaxUndoNames = 1000;
// Values of any kind in the file; each costs far more in memory than in the file.
inline constexpr std::size_t kMaxJsonValues = 1'000'000;

HostData loadDrawingFile(const std::filesystem::path& file);
HostData parseDrawing(std::string_view json, const std::string& sourceName);
// Stable: keys sorted, two-space indentation, a final newline; parse and write again gives the
// same bytes.
std::string drawingToJson(const HostData& data);
// Writes a new file beside the target and renames it over the target only once it is complete,
// so the old file is never left half-written. Throws DrawingFileError.
void saveDrawingFile(const HostData& data, const std::filesystem::path& file);

} // namespace tvx::sim
