// Both dialogs and txtCalc's measuring at the display scale of the Wine prefix. display_scale_e2e.sh
// runs this once per DPI, with TVX_EXPECT_DPI naming the DPI the prefix was given.
#include "app/sequences.h"
#include "app/win32/control_ids.h"
#include "app/win32/dialog_controls.h"
#include "app/win32/dialog_layouts.h"
#include "app/win32/gdi_measurer.h"
#include "app/win32/main_form.h"
#include "app/win32/message_dialog.h"
#include "config/config.h"
#include "drawing/messages.h"
#include "drawing/symbol_register.h"
#include "win32_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace {

using namespace tvx;

int dpi() { return win::screenDpi(); }

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class DisplayScale : public ::testing::Test {
protected:
    void SetUp() override {
        const char* expected = std::getenv("TVX_EXPECT_DPI");
        ASSERT_NE(expected, nullptr) << "run by display_scale_e2e.sh, which sets the prefix's DPI";
        ASSERT_EQ(dpi(), std::atoi(expected)) << "the prefix's LogPixels did not reach the program";
    }
};

// What GDI makes of a control's font.
struct RealisedFont {
    LOGFONTW asked{};
    std::wstring face;
    TEXTMETRICW metrics{};
};

RealisedFont fontOf(HWND control) {
    RealisedFont font;
    const auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    GetObjectW(handle, sizeof font.asked, &font.asked);
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, handle);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    font.face = face;
    GetTextMetricsW(dc, &font.metrics);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return font;
}

// The rectangle DrawText needs for the text in the control's font; `width` bounds wrapped text.
SIZE textExtent(HWND control, const std::wstring& text, UINT flags, int width = 0) {
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT r{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags | DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// The font at its point size for this DPI, in MS Sans Serif where Wine has that bitmap size
// (8 pt up to 144 DPI, 12 pt at 96 DPI), elsewhere in its TrueType twin; never a face GDI picked
// in their place, nor a bitmap enlarged.
void expectFontAtPoints(HWND control, double points, bool bold) {
    const RealisedFont font = fontOf(control);
    const LONG pixels = std::lround(points * dpi() / 72.0);
    EXPECT_EQ(font.asked.lfHeight, -pixels);
    // TrueType line metrics are rounded on their own: one pixel either way.
    EXPECT_NEAR(font.metrics.tmHeight - font.metrics.tmInternalLeading, pixels, 1) << narrow(font.face);
    EXPECT_EQ(font.asked.lfWeight, bold ? FW_BOLD : FW_NORMAL);
    EXPECT_EQ(font.face, font.asked.lfFaceName);
    const bool bitmapHasIt = points < 10.0 ? dpi() < 192 : dpi() == 96;
    EXPECT_EQ(font.face, bitmapHasIt ? L"MS Sans Serif" : L"Microsoft Sans Serif") << points << " pt";
}

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

std::vector<std::wstring> itemsOf(HWND combo) {
    std::vector<std::wstring> items;
    const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring item(static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0)) + 1,
                          L'\0');
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
        item.resize(item.size() - 1);
        items.push_back(item);
    }
    return items;
}

// A label's or button's text on one line inside the control, `frame` pixels off each edge.
void expectTextFits(HWND control, int frame) {
    const SIZE text = textExtent(control, test::windowText(control), DT_SINGLELINE);
    const SIZE client = test::clientSize(control);
    EXPECT_LE(text.cx + 2 * frame, client.cx) << narrow(test::windowText(control));
    EXPECT_LE(text.cy + 2 * frame, client.cy) << narrow(test::windowText(control));
}

// Every entry fits the box's text field, the field and the list's lines are as high as the font.
void expectComboFitsItsFont(HWND combo) {
    const HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    const RealisedFont font = fontOf(combo);
    const SIZE field = test::clientSize(edit);
    EXPECT_GE(field.cy, font.metrics.tmHeight);
    EXPECT_GE(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0), font.metrics.tmHeight);
    std::vector<std::wstring> texts = itemsOf(combo);
    ASSERT_FALSE(texts.empty());
    texts.push_back(test::windowText(combo));
    for (const std::wstring& text : texts) {
        EXPECT_LE(textExtent(combo, text, DT_SINGLELINE).cx, field.cx) << narrow(text);
    }
}

// Every control where its twips put it at this DPI, in its font at its point size, its text
// inside it.
void expectMainDialogAtThisDpi(const win::Win32MainForm& form) {
    const SIZE client = test::clientSize(form.hwnd());
    EXPECT_EQ(client.cx, MulDiv(4155, dpi(), 1440));
    EXPECT_EQ(client.cy, MulDiv(2565, dpi(), 1440));
    for (const win::ControlLayout& layout : win::kMainFormControls) {
        SCOPED_TRACE("control " + std::to_string(layout.id));
        const HWND control = form.control(layout.id);
        const RECT rect = test::rectInParent(control);
        const win::TwipsRect& t = layout.twips;
        const RECT expected = test::pixelsOf(t.left, t.top, t.width, t.height);
        EXPECT_TRUE(sameRect(rect, expected)) << describe(rect) << " instead of " << describe(expected);
        switch (layout.kind) {
        case win::ControlKind::comboBox:
            expectComboFitsItsFont(control);
            break;
        case win::ControlKind::label:
            expectTextFits(control, 0);
            break;
        case win::ControlKind::button:
            // The button's edge and its focus rectangle.
            expectTextFits(control, 4);
            break;
        case win::ControlKind::pictureBox:
            break;
        }
        if (layout.kind != win::ControlKind::pictureBox) {
            const bool large = layout.font == win::FontRole::largeBold;
            expectFontAtPoints(control, large ? 12.0 : 8.0, large);
        }
    }
}

const std::vector<std::wstring>& allMessages() {
    static const std::vector<std::wstring> messages{
        std::wstring(kConfigErrorText), msg::kNoHostInstance, msg::kNoDocument, msg::kNoDrawing,
        msg::kCalcError, msg::kInsertError, msg::kUnexpectedError, msg::kHostUnreachable,
        msg::kTooManyForeignSymbols, msg::kTooManyOwnSymbols,
        std::wstring(msg::kOwnNameWithoutNumber) + L"ZyrSymbol_x", std::wstring(msg::kUnknownMainKind) + L"7",
    };
    return messages;
}

// The message dialog's controls where their twips put them at this DPI, and every message of
// the program inside Info.
void expectMessageDialogAtThisDpi(const win::Win32MessageDialog& gef) {
    const SIZE client = test::clientSize(gef.hwnd());
    EXPECT_EQ(client.cx, MulDiv(3615, dpi(), 1440));
    EXPECT_EQ(client.cy, MulDiv(1305, dpi(), 1440));
    for (const win::ControlLayout& layout : win::kMessageDialogControls) {
        const RECT rect = test::rectInParent(gef.control(layout.id));
        const win::TwipsRect& t = layout.twips;
        EXPECT_TRUE(sameRect(rect, test::pixelsOf(t.left, t.top, t.width, t.height)))
            << layout.id << ": " << describe(rect);
    }
    const HWND info = gef.control(ids::Info);
    expectFontAtPoints(info, 8.0, false);
    expectFontAtPoints(gef.control(ids::Ok), 8.0, false);
    expectTextFits(gef.control(ids::Ok), 4);
    const SIZE area = test::clientSize(info);
    for (const std::wstring& message : allMessages()) {
        const SIZE text = textExtent(info, message, DT_WORDBREAK, area.cx);
        EXPECT_LE(text.cx, area.cx) << narrow(message);
        EXPECT_LE(text.cy, area.cy) << "cut off: " << narrow(message);
    }
}

// What Windows sends a per-monitor aware window dragged onto a monitor of DPI `to`, with the
// rectangle the dialog would open in there as the suggested one.
void arriveAtDpi(HWND window, SIZE clientTwips, int to) {
    RECT suggested = win::dialogFrame(clientTwips, to, nullptr);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
}

// The DPI the dialogs come from in the story of a move: 96 where the prefix has another, else 144.
int otherDpi() { return dpi() == 96 ? 144 : 96; }

// At the other DPI each control stands where its twips put it there, in the font for there.
void expectLaidOutFor(HWND dialog, std::span<const win::ControlLayout> layouts, int at) {
    for (const win::ControlLayout& layout : layouts) {
        SCOPED_TRACE("at " + std::to_string(at) + " DPI, control " + std::to_string(layout.id));
        const HWND control = GetDlgItem(dialog, layout.id);
        const RECT expected = win::pixelRect(layout.twips, at);
        EXPECT_TRUE(sameRect(test::rectInParent(control), expected)) << describe(test::rectInParent(control));
        if (layout.kind != win::ControlKind::pictureBox) {
            const double points = layout.font == win::FontRole::largeBold ? 12.0 : 8.0;
            EXPECT_EQ(fontOf(control).asked.lfHeight, -std::lround(points * at / 72.0));
        }
    }
}

TEST_F(DisplayScale, MainDialogScalesEveryControlAndFont) {
    win::Win32MainForm form(GetModuleHandleW(nullptr), L".");
    form.showModeless();
    SymbolRegister symbols;
    fillChoiceLists(form, symbols);
    test::pumpPending();
    expectMainDialogAtThisDpi(form);
}

// The widths of a window's big and small title icons, as "BIG SMALL".
std::string titleIconWidths(HWND window) {
    std::string widths;
    for (const WPARAM which : {WPARAM{ICON_BIG}, WPARAM{ICON_SMALL}}) {
        const auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, which, 0));
        ICONINFO info{};
        BITMAP bitmap{};
        if (icon != nullptr && GetIconInfo(icon, &info)) {
            GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
        }
        widths += std::to_string(bitmap.bmWidth) + (which == ICON_BIG ? " " : "");
    }
    return widths;
}

std::string titleIconWidthsAt(int dpi) { return std::to_string(32 * dpi / 96) + " " + std::to_string(16 * dpi / 96); }

// Dragged here from a monitor of another scale, the dialog is the one made here: the same client
// area, control rectangles, fonts and title icons, nothing clipped.
TEST_F(DisplayScale, MainDialogMovedHereFromAnotherScaleIsTheOneMadeHere) {
    win::Win32MainForm made(GetModuleHandleW(nullptr), L".");
    win::Win32MainForm moved(GetModuleHandleW(nullptr), L".");
    EXPECT_EQ(titleIconWidths(made.hwnd()), titleIconWidthsAt(dpi()));
    arriveAtDpi(moved.hwnd(), win::kMainFormClient, otherDpi());
    expectLaidOutFor(moved.hwnd(), win::kMainFormControls, otherDpi());
    EXPECT_EQ(titleIconWidths(moved.hwnd()), titleIconWidthsAt(otherDpi()));
    arriveAtDpi(moved.hwnd(), win::kMainFormClient, dpi());
    EXPECT_EQ(titleIconWidths(moved.hwnd()), titleIconWidthsAt(dpi()));
    SymbolRegister symbols;
    for (win::Win32MainForm* form : {&made, &moved}) {
        form->showModeless();
        fillChoiceLists(*form, symbols);
    }
    test::pumpPending();

    expectMainDialogAtThisDpi(moved);
    const SIZE madeClient = test::clientSize(made.hwnd());
    const SIZE movedClient = test::clientSize(moved.hwnd());
    EXPECT_EQ(movedClient.cx, madeClient.cx);
    EXPECT_EQ(movedClient.cy, madeClient.cy);
    for (const win::ControlLayout& layout : win::kMainFormControls) {
        SCOPED_TRACE("control " + std::to_string(layout.id));
        const RECT want = test::rectInParent(made.control(layout.id));
        const RECT got = test::rectInParent(moved.control(layout.id));
        EXPECT_TRUE(sameRect(got, want)) << describe(got) << " instead of " << describe(want);
        const RealisedFont madeFont = fontOf(made.control(layout.id));
        const RealisedFont movedFont = fontOf(moved.control(layout.id));
        EXPECT_EQ(movedFont.face, madeFont.face);
        EXPECT_EQ(movedFont.asked.lfHeight, madeFont.asked.lfHeight);
        EXPECT_EQ(movedFont.metrics.tmHeight, madeFont.metrics.tmHeight);
    }
}

// Made here, and again after a drag to another scale and back.
TEST_F(DisplayScale, MessageDialogScalesAndEveryMessageFitsItsLabel) {
    win::Win32MainForm form(GetModuleHandleW(nullptr), L".");
    win::Win32MessageDialog gef(GetModuleHandleW(nullptr));
    bool checked = false;
    test::runFromLoop({[&] {
        checked = true;
        expectMessageDialogAtThisDpi(gef);
        arriveAtDpi(gef.hwnd(), win::kMessageDialogClient, otherDpi());
        expectLaidOutFor(gef.hwnd(), win::kMessageDialogControls, otherDpi());
        arriveAtDpi(gef.hwnd(), win::kMessageDialogClient, dpi());
        SCOPED_TRACE("moved back from " + std::to_string(otherDpi()) + " DPI");
        expectMessageDialogAtThisDpi(gef);
        SendMessageW(gef.control(ids::Ok), BM_CLICK, 0, 0);
    }});
    gef.Raise(allMessages().front(), form.caption(), form.icon());
    EXPECT_TRUE(checked);
}

// The widths the layout on the sheet is computed from stay those of 96 DPI, to within one pixel
// of this DPI (here: exactly), whatever the display's scale.
TEST_F(DisplayScale, MeasuredWidthsAreThoseOf96Dpi) {
    // Worked at 96 DPI with osifont for ISOCP at 19 pixels (14 and 14.25 pt alike).
    const struct {
        const wchar_t* text;
        int pixelsAt96;
    } samples[] = {
        {L"geschliffen", 110}, {L"poliert", 65}, {L"gefräst", 72},
        {L"(                )", 138}, {L"Ra 3,2", 58}, {L"0,4", 26},
    };
    win::GdiMeasurer surface;
    const float onePixelMm = 25.4f / static_cast<float>(dpi());
    float largest = 0.0f;
    for (const float points : {14.25f, 14.0f}) {
        surface.setFontSize(points);
        for (const auto& sample : samples) {
            const float at96 = static_cast<float>(sample.pixelsAt96) * 25.4f / 96.0f;
            const float difference = std::fabs(surface.textWidthMm(sample.text) - at96);
            EXPECT_LE(difference, onePixelMm) << narrow(sample.text) << " at " << points << " pt";
            largest = std::max(largest, difference);
        }
    }
    std::printf("largest measuring difference from 96 DPI at %d DPI: %.4f mm (one pixel: %.4f mm)\n", dpi(),
                static_cast<double>(largest), static_cast<double>(onePixelMm));
}

} // namespace
