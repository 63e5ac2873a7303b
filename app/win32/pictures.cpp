#include "app/win32/pictures.h"

#include "app/win32/bmp_format.h"

#include <cstring>
#include <cwchar>
#include <vector>

namespace tvx::win {

UniqueBitmap loadBitmapFile(const std::wstring& path) {
    const auto file = bmp::readSmallFile(std::filesystem::path(path), bmp::kLargestFile);
    if (!file) {
        return {};
    }
    const auto dib = bmp::checkBmp(*file);
    if (!dib) {
        return {};
    }
    // Copied out of the file so the header is aligned as GDI reads it.
    std::vector<std::uint32_t> info((dib->infoSize + 3) / 4, 0);
    std::memcpy(info.data(), file->data() + dib->infoOffset, dib->infoSize);
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(info.data()),
                                         DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) {
        return {};
    }
    std::memcpy(bits, file->data() + dib->bitsOffset, dib->bitsSize);
    GdiFlush();
    return bitmap;
}

UniqueBitmap loadBitmapResource(HINSTANCE instance, int id) {
    return UniqueBitmap(static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

UniqueIcon loadIconResource(HINSTANCE instance, int id, int size) {
    return UniqueIcon(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

std::wstring programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return L".";
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return L".";
    }
    // "C:\" stays whole; elsewhere the separator goes.
    return path.substr(0, slash == 2 && path[1] == L':' ? slash + 1 : slash);
}

std::wstring previewPath(const std::wstring& folder, int index) {
    wchar_t name[32] = {};
    std::swprintf(name, 32, L"symbol_%02d.bmp", index);
    const bool hasSeparator = !folder.empty() && (folder.back() == L'\\' || folder.back() == L'/');
    return folder + (hasSeparator ? L"" : L"\\") + name;
}

} // namespace tvx::win
