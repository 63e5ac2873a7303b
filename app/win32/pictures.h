// Loading the dialogs' pictures: preview bitmaps from disk, the built-in ones from resources.
#pragma once

#include "app/win32/win_handles.h"

#include <string>

namespace tvx::win {

// A BMP file as a DIB section; empty when the file is missing or is no picture this program
// reads (see bmp_format.h). Never throws for the file's content.
UniqueBitmap loadBitmapFile(const std::wstring& path);

// Built-in pictures; empty when the resource is missing.
UniqueBitmap loadBitmapResource(HINSTANCE instance, int id);
UniqueIcon loadIconResource(HINSTANCE instance, int id, int size);

// The folder that holds the program file, without a trailing backslash (unless a drive root).
std::wstring programFolder();

// The preview of list entry `index`: FOLDER\symbol_NN.bmp, NN at least two digits.
std::wstring previewPath(const std::wstring& folder, int index);

} // namespace tvx::win
