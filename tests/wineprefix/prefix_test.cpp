// The prefix made by scripts/wine-prefix.sh: the fonts and settings the program's measurements
// and dialogs depend on. A prefix Wine made on its own fails here, not in a layout test.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

class MemoryDc {
public:
    MemoryDc() : dc_(CreateCompatibleDC(nullptr)) {}
    ~MemoryDc() {
        if (dc_ != nullptr) {
            DeleteDC(dc_);
        }
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A font selected into a device context for the lifetime of this object.
class SelectedFont {
public:
    SelectedFont(HDC dc, const wchar_t* face, LONG height) : dc_(dc) {
        LOGFONTW lf{};
        lf.lfHeight = height;
        lf.lfCharSet = DEFAULT_CHARSET;
        std::wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
        font_ = CreateFontIndirectW(&lf);
        if (font_ != nullptr) {
            previous_ = SelectObject(dc_, font_);
        }
    }
    ~SelectedFont() {
        if (font_ != nullptr) {
            SelectObject(dc_, previous_);
            DeleteObject(font_);
        }
    }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;
    bool ok() const { return font_ != nullptr; }

private:
    HDC dc_;
    HFONT font_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

struct Measured {
    std::wstring face;
    LONG width = -1;
};

Measured measure(const wchar_t* face, LONG height, const std::wstring& text) {
    MemoryDc dc;
    SelectedFont font(dc.get(), face, height);
    Measured result;
    if (dc.get() == nullptr || !font.ok()) {
        return result;
    }
    wchar_t name[LF_FACESIZE] = {};
    const int length = GetTextFaceW(dc.get(), LF_FACESIZE, name);
    result.face.assign(name, length > 0 ? static_cast<std::size_t>(length - 1) : 0U);
    SIZE size{};
    if (GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size)) {
        result.width = size.cx;
    }
    return result;
}

int CALLBACK noteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool familyInstalled(const wchar_t* face) {
    MemoryDc dc;
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    std::wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(dc.get(), &lf, noteFamily, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

std::wstring userSetting(const wchar_t* key, const wchar_t* value) {
    wchar_t data[64] = {};
    DWORD bytes = sizeof(data);
    if (RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_REG_SZ, nullptr, data, &bytes) != ERROR_SUCCESS) {
        return L"<missing>";
    }
    return data;
}

TEST(WinePrefixFonts, DrawingFontMeasuresAsOsifontUnderItsOwnName) {
    const std::wstring text = L"geschliffen (1,6) Ra 3,2";
    const Measured drawing = measure(L"ISOCP", -19, text);
    const Measured osifont = measure(L"osifont", -19, text);
    const Measured unknown = measure(L"Tvx No Such Face", -19, text);

    EXPECT_EQ(drawing.face, L"ISOCP");
    ASSERT_GT(osifont.width, 0);
    EXPECT_EQ(drawing.width, osifont.width);
    // Without this, a prefix lacking osifont would pass the comparison above on the fallback font.
    EXPECT_NE(unknown.width, osifont.width);
}

TEST(WinePrefixFonts, WinesOwnDialogFontsAreInstalled) {
    EXPECT_TRUE(familyInstalled(L"MS Sans Serif"));
    EXPECT_TRUE(familyInstalled(L"Tahoma"));
    EXPECT_FALSE(familyInstalled(L"Tvx No Such Face"));
}

TEST(WinePrefixFonts, TrueTypeTwinOfTheDialogFontMeasuresAsDejaVuSans) {
    const std::wstring text = L"Grundlegend Spanend";
    const Measured twin = measure(L"Microsoft Sans Serif", -24, text);
    const Measured standIn = measure(L"DejaVu Sans", -24, text);
    EXPECT_EQ(twin.face, L"Microsoft Sans Serif");
    ASSERT_GT(standIn.width, 0);
    EXPECT_EQ(twin.width, standIn.width);
}

TEST(WinePrefixSettings, WindowsAreNotManagedSoTheyCloseWithoutStalling) {
    EXPECT_EQ(userSetting(L"Software\\Wine\\X11 Driver", L"Managed"), L"N");
}

}  // namespace
