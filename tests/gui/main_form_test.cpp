// tvx_MainForm under Wine: its fixed layout, keyboard order, lists, kind box and preview.
#include "app/sequences.h"
#include "app/win32/control_ids.h"
#include "app/win32/main_form.h"
#include "app/win32/pictures.h"
#include "drawing/symbol_register.h"
#include "image_files.h"
#include "win32_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using namespace tvx;
using tvx::test::px;

std::vector<std::uint8_t> bitmapOfSize(int width, int height) {
    imagegen::RgbImage image{width, height, {}};
    image.pixels.assign(static_cast<std::size_t>(width * height), {200, 10, 10});
    return imagegen::encodeBmp24(image);
}

SIZE bitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    return SIZE{info.bmWidth, info.bmHeight};
}

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class MainFormTest : public ::testing::Test {
protected:
    MainFormTest() : form(GetModuleHandleW(nullptr), previews.path().wstring()) {
        form.setHandlers({[this] { ++okClicks; }, [this] { ++cancelClicks; }, [this] { ++closes; }});
    }
    ~MainFormTest() override { test::pumpPending(); }

    void fillKinds() {
        for (const wchar_t* kind : {L"Grundlegend", L"Spanend", L"Roh"}) {
            form.stdSFSSymbol().addItem(kind);
        }
    }
    HWND control(int id) const { return form.control(id); }
    HWND editOf(int id) const { return FindWindowExW(control(id), nullptr, L"Edit", nullptr); }

    test::TempFolder previews;
    win::Win32MainForm form;
    int okClicks = 0;
    int cancelClicks = 0;
    int closes = 0;
};

TEST_F(MainFormTest, WindowHasItsCaptionFrameSizeAndIcon) {
    const HWND window = form.hwnd();
    EXPECT_EQ(form.caption(), L"Oberflächen - Assisten");
    EXPECT_EQ(test::windowText(window), L"Oberflächen - Assisten");
    const SIZE client = test::clientSize(window);
    EXPECT_EQ(client.cx, px(4155));
    EXPECT_EQ(client.cy, px(2565));
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    for (const DWORD bit : {DWORD{WS_CAPTION}, DWORD{WS_SYSMENU}, DWORD{WS_THICKFRAME}, DWORD{WS_MINIMIZEBOX},
                            DWORD{WS_MAXIMIZEBOX}}) {
        EXPECT_NE(style & bit, 0u) << std::hex << bit;
    }
    EXPECT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    EXPECT_FALSE(IsWindowVisible(window)) << "created hidden; the start-up shows it";
    ASSERT_NE(form.icon().handle, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0)), form.icon().handle);

    RECT frame{};
    GetWindowRect(window, &frame);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((frame.left + frame.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (work.top + work.bottom) / 2, 1);
}

TEST_F(MainFormTest, ControlsStandWhereTheLayoutPutsThemWithTheirTexts) {
    struct Expected {
        int id;
        const wchar_t* cls;
        const wchar_t* text;
        RECT rect;
    };
    const std::array<Expected, 11> expected{{
        {ids::Label1, L"Static", L"Symbol", test::pixelsOf(120, 120, 615, 255)},
        {ids::Label3, L"Static", L"max. Rauheit", test::pixelsOf(3000, 120, 1095, 255)},
        {ids::stdSFSSymbol, L"ComboBox", L"-", test::pixelsOf(120, 360, 2175, 420)},
        {ids::sfsPic, ids::kPictureBoxClass, L"", test::pixelsOf(2400, 360, 400, 400)},
        {ids::stdSFSRough, L"ComboBox", L"-", test::pixelsOf(3000, 360, 975, 420)},
        {ids::Label2, L"Static", L"Methode", test::pixelsOf(120, 960, 855, 255)},
        {ids::stdSFSMet, L"ComboBox", L"-", test::pixelsOf(120, 1200, 2175, 315)},
        {ids::Label4, L"Static", L"V1.2 / Zyr", test::pixelsOf(3000, 1320, 975, 255)},
        {ids::cmd_Cancel, L"Button", L"Abbruch", test::pixelsOf(120, 2040, 975, 375)},
        {ids::txtCalc, ids::kPictureBoxClass, L"", test::pixelsOf(1920, 2040, 375, 255)},
        {ids::cmd_Ok, L"Button", L"Ok", test::pixelsOf(3120, 2040, 855, 375)},
    }};
    for (const Expected& e : expected) {
        const HWND c = control(e.id);
        ASSERT_NE(c, nullptr) << e.id;
        wchar_t cls[64] = {};
        GetClassNameW(c, cls, 64);
        EXPECT_STREQ(cls, e.cls) << e.id;
        EXPECT_EQ(test::windowText(c), e.text) << e.id;
        const RECT r = test::rectInParent(c);
        EXPECT_TRUE(r == e.rect) << "control " << e.id << ": " << r.left << "," << r.top << " " << r.right - r.left
                                 << "x" << r.bottom - r.top;
    }
    int children = 0;
    for (HWND c = GetWindow(form.hwnd(), GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        ++children;
    }
    EXPECT_EQ(children, 11);
}

TEST_F(MainFormTest, KindAndRoughnessUseLargeBoldMsSansSerifTheRestTheDialogFont) {
    const auto fontOf = [&](int id) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control(id), WM_GETFONT, 0, 0)), sizeof font, &font);
        return font;
    };
    for (const int id : {ids::stdSFSSymbol, ids::stdSFSRough}) {
        const LOGFONTW font = fontOf(id);
        EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
        EXPECT_EQ(font.lfWeight, FW_BOLD);
        EXPECT_EQ(font.lfHeight, -MulDiv(12, win::screenDpi(), 72));

        // What GDI makes of it: the face itself, in bold.
        const HDC dc = GetDC(control(id));
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control(id), WM_GETFONT, 0, 0)));
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(control(id), dc);
        EXPECT_STREQ(face, L"MS Sans Serif");
        EXPECT_GE(metrics.tmWeight, FW_BOLD);
    }
    for (const int id : {ids::stdSFSMet, ids::Label1, ids::Label4, ids::cmd_Ok, ids::cmd_Cancel}) {
        const LOGFONTW font = fontOf(id);
        EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif") << id;
        EXPECT_EQ(font.lfWeight, FW_NORMAL) << id;
        EXPECT_EQ(font.lfHeight, -MulDiv(8, win::screenDpi(), 72)) << id;
    }
}

TEST_F(MainFormTest, TabWalksTheLayoutsOrderAndFocusStartsOnTheKind) {
    form.showModeless();
    test::pumpPending();
    const HWND focus = GetFocus();
    EXPECT_TRUE(focus == control(ids::stdSFSSymbol) || IsChild(control(ids::stdSFSSymbol), focus));

    const std::array<int, 7> forward{ids::stdSFSSymbol, ids::stdSFSRough, ids::cmd_Ok,       ids::cmd_Cancel,
                                     ids::sfsPic,       ids::stdSFSMet,   ids::stdSFSSymbol};
    for (std::size_t i = 0; i + 1 < forward.size(); ++i) {
        EXPECT_EQ(GetNextDlgTabItem(form.hwnd(), control(forward[i]), FALSE), control(forward[i + 1]))
            << "after " << forward[i];
        EXPECT_EQ(GetNextDlgTabItem(form.hwnd(), control(forward[i + 1]), TRUE), control(forward[i]))
            << "before " << forward[i + 1];
    }
    // The Tab key itself, through the dialog manager.
    SetFocus(control(ids::cmd_Ok));
    PostMessageW(control(ids::cmd_Ok), WM_KEYDOWN, VK_TAB, 0);
    test::pumpPending();
    EXPECT_EQ(GetFocus(), control(ids::cmd_Cancel));
}

TEST_F(MainFormTest, EnterAndEscapePressNoButtonUnlessOneHasTheFocus) {
    fillKinds();
    form.stdSFSSymbol().setListIndex(1);
    form.showModeless();
    test::pumpPending();
    for (const int box : {ids::stdSFSSymbol, ids::stdSFSRough, ids::stdSFSMet}) {
        SetFocus(editOf(box));
        PostMessageW(editOf(box), WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(editOf(box), WM_KEYDOWN, VK_ESCAPE, 0);
        test::pumpPending();
    }
    EXPECT_EQ(okClicks, 0);
    EXPECT_EQ(cancelClicks, 0);
    EXPECT_TRUE(IsWindowVisible(form.hwnd()));
    for (const int button : {ids::cmd_Ok, ids::cmd_Cancel}) {
        EXPECT_EQ(GetWindowLongPtrW(control(button), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON) << "no default";
    }

    // Enter on a focused button presses that button, as Space does.
    SetFocus(control(ids::cmd_Cancel));
    PostMessageW(control(ids::cmd_Cancel), WM_KEYDOWN, VK_RETURN, 0);
    test::pumpPending();
    EXPECT_EQ(cancelClicks, 1);
    EXPECT_EQ(okClicks, 0);
}

TEST_F(MainFormTest, CloseCommandRunsTheCloseHandlerOnly) {
    form.showModeless();
    PostMessageW(form.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    test::pumpPending();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(cancelClicks, 0);
    EXPECT_EQ(okClicks, 0);
}

TEST_F(MainFormTest, WithoutACloseHandlerClosingEndsTheEventLoop) {
    form.setHandlers({});
    form.showModeless();
    PostMessageW(form.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    MSG message{};
    bool quit = false;
    while (!quit && GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    quit = message.message == WM_QUIT;
    EXPECT_TRUE(quit);
    EXPECT_FALSE(IsWindowVisible(form.hwnd()));
}

TEST_F(MainFormTest, ResizingMovesNoControlAndTxtCalcNeverShows) {
    std::vector<RECT> before;
    for (HWND c = GetWindow(form.hwnd(), GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        before.push_back(test::rectInParent(c));
    }
    form.showModeless();
    SetWindowPos(form.hwnd(), nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(form.hwnd(), SW_MAXIMIZE);
    test::pumpPending();
    std::size_t i = 0;
    for (HWND c = GetWindow(form.hwnd(), GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT), ++i) {
        EXPECT_TRUE(test::rectInParent(c) == before.at(i)) << "control " << GetDlgCtrlID(c);
    }
    form.txtCalc().setFontName(L"Arial");
    EXPECT_GT(form.txtCalc().textWidthMm(L"Gemessen"), 0.0f);
    test::pumpPending();
    EXPECT_FALSE(IsWindowVisible(control(ids::txtCalc)));
    EXPECT_EQ(GetWindowLongPtrW(control(ids::txtCalc), GWL_STYLE) & WS_VISIBLE, 0);
}

TEST_F(MainFormTest, AlwaysOnTopNeitherShowsNorMovesTheWindow) {
    RECT before{};
    GetWindowRect(form.hwnd(), &before);
    form.setAlwaysOnTop();
    EXPECT_NE(GetWindowLongPtrW(form.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_FALSE(IsWindowVisible(form.hwnd()));
    RECT after{};
    GetWindowRect(form.hwnd(), &after);
    EXPECT_TRUE(before == after);
}

TEST_F(MainFormTest, ListsKeepEntriesInOrderAndRefuseIndicesOutsideThem) {
    ChoiceList& rough = form.stdSFSRough();
    EXPECT_EQ(rough.text(), L"-");
    for (const wchar_t* entry : {L"", L"6,4", L"0,4"}) {
        rough.addItem(entry);
    }
    rough.setListIndex(1);
    EXPECT_EQ(rough.text(), L"6,4") << "unsorted: the second entry added";
    rough.setListIndex(0);
    EXPECT_EQ(rough.text(), L"");
    rough.setText(L"12,5 µm ä");
    EXPECT_EQ(rough.text(), L"12,5 µm ä");
    EXPECT_THROW(rough.setListIndex(3), IndexError);
    EXPECT_THROW(rough.setListIndex(-1), IndexError);
    EXPECT_EQ(rough.text(), L"12,5 µm ä") << "a refused index changes nothing";

    rough.clear();
    EXPECT_EQ(SendMessageW(control(ids::stdSFSRough), CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(rough.listIndex(), -1);
    EXPECT_THROW(rough.setListIndex(0), IndexError);
}

TEST_F(MainFormTest, PreselectedValuesThatAreEntriesAreSelectedSoTheArrowKeysMoveOnFromThem) {
    struct Case {
        const wchar_t* roughness;
        const wchar_t* method;
        int roughIndex; // -1: no entry, the text stands alone
        int methodIndex;
    };
    // The main symbol of the re-run sample; a text no entry has; one differing from an entry only
    // in case, which the box's own search would take for it.
    const Case cases[] = {{L"1,6", L"geschliffen", 3, 1}, {L"12,5", L"", -1, 0}, {L"6,4", L"Poliert", 5, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        SymbolRegister symbols;
        symbols.slot(0) = SymbolSlot{kMainSlotId, c.roughness, c.method, 0.0, 1, 0.0, 0.0};
        fillChoiceLists(form, symbols);
        EXPECT_EQ(form.stdSFSRough().text(), c.roughness);
        EXPECT_EQ(form.stdSFSMet().text(), c.method);
        EXPECT_EQ(form.stdSFSRough().listIndex(), c.roughIndex);
        EXPECT_EQ(form.stdSFSMet().listIndex(), c.methodIndex);
    }

    // Down in each box's edit field moves to the entry after the preselected one.
    SymbolRegister rerun;
    rerun.slot(0) = SymbolSlot{kMainSlotId, L"1,6", L"geschliffen", 0.0, 1, 0.0, 0.0};
    fillChoiceLists(form, rerun);
    for (const int id : {ids::stdSFSRough, ids::stdSFSMet}) {
        SetFocus(editOf(id));
        SendMessageW(editOf(id), WM_KEYDOWN, VK_DOWN, 1);
        test::pumpPending();
    }
    EXPECT_EQ(form.stdSFSRough().text(), L"3,2");
    EXPECT_EQ(form.stdSFSRough().listIndex(), 4);
    EXPECT_EQ(form.stdSFSMet().text(), L"poliert");
    EXPECT_EQ(form.stdSFSMet().listIndex(), 2);
}

TEST_F(MainFormTest, SelectingAKindByProgramRunsItsClickHandler) {
    fillKinds();
    EXPECT_EQ(form.lastSymbolIndex(), 0);
    form.stdSFSSymbol().setListIndex(2);
    EXPECT_EQ(form.lastSymbolIndex(), 2);
    EXPECT_EQ(form.stdSFSSymbol().listIndex(), 2);
    EXPECT_EQ(form.stdSFSSymbol().text(), L"Roh");
    EXPECT_THROW(form.stdSFSSymbol().setListIndex(3), IndexError);
    EXPECT_EQ(form.lastSymbolIndex(), 2) << "a refused index runs no handler";

    // A user's choice reaches the handler through the box's notification.
    SendMessageW(control(ids::stdSFSSymbol), CB_SETCURSEL, 0, 0);
    SendMessageW(form.hwnd(), WM_COMMAND, MAKEWPARAM(ids::stdSFSSymbol, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(control(ids::stdSFSSymbol)));
    EXPECT_EQ(form.lastSymbolIndex(), 0);
}

TEST_F(MainFormTest, TypingIntoTheKindIsUndoneAtOnce) {
    fillKinds();
    form.stdSFSSymbol().setListIndex(1);
    for (const wchar_t key : std::wstring(L"xä")) {
        SendMessageW(editOf(ids::stdSFSSymbol), WM_CHAR, key, 1);
        EXPECT_EQ(form.stdSFSSymbol().text(), L"Spanend");
        EXPECT_EQ(form.stdSFSSymbol().listIndex(), 1);
    }
    SendMessageW(editOf(ids::stdSFSSymbol), WM_CHAR, VK_BACK, 1);
    EXPECT_EQ(form.stdSFSSymbol().text(), L"Spanend");
    EXPECT_EQ(form.lastSymbolIndex(), 1);

    // The other boxes take typed text as it is.
    SendMessageW(editOf(ids::stdSFSMet), EM_SETSEL, 0, -1);
    for (const wchar_t key : std::wstring(L"fein gedreht")) {
        SendMessageW(editOf(ids::stdSFSMet), WM_CHAR, key, 1);
    }
    EXPECT_EQ(form.stdSFSMet().text(), L"fein gedreht");
}

TEST_F(MainFormTest, PreviewFollowsTheKindAndKeepsItsPictureWhenAFileIsMissingOrBroken) {
    fillKinds();
    ASSERT_NE(form.preview(), nullptr) << "the design-time picture";
    EXPECT_EQ(bitmapSize(form.preview()).cx, 24);
    EXPECT_EQ(bitmapSize(form.preview()).cy, 24);

    form.stdSFSSymbol().setListIndex(0); // no files at all
    EXPECT_EQ(bitmapSize(form.preview()).cx, 24);

    previews.write(L"symbol_01.bmp", bitmapOfSize(10, 7));
    form.stdSFSSymbol().setListIndex(1);
    EXPECT_EQ(bitmapSize(form.preview()).cx, 10);
    EXPECT_EQ(bitmapSize(form.preview()).cy, 7);

    form.stdSFSSymbol().setListIndex(2); // missing
    EXPECT_EQ(bitmapSize(form.preview()).cx, 10);

    std::vector<std::uint8_t> cut = bitmapOfSize(12, 12);
    cut.resize(cut.size() - 5);
    previews.write(L"symbol_02.bmp", cut);
    form.stdSFSSymbol().setListIndex(2); // unreadable
    EXPECT_EQ(bitmapSize(form.preview()).cx, 10);

    previews.write(L"symbol_00.bmp", bitmapOfSize(5, 9));
    form.stdSFSSymbol().setListIndex(0);
    EXPECT_EQ(bitmapSize(form.preview()).cx, 5);
    EXPECT_EQ(bitmapSize(form.preview()).cy, 9);
}

TEST(PreviewPath, NamesTheFileBesideTheProgram) {
    EXPECT_EQ(win::previewPath(L"C:\\Programme\\Tarvenix", 0), L"C:\\Programme\\Tarvenix\\symbol_00.bmp");
    EXPECT_EQ(win::previewPath(L"C:\\", 2), L"C:\\symbol_02.bmp");
    EXPECT_EQ(win::previewPath(L"D:\\x", 12), L"D:\\x\\symbol_12.bmp");
    const std::wstring folder = win::programFolder();
    EXPECT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), L'\\');
    EXPECT_EQ(GetFileAttributesW((folder + L"\\gui_dialog_tests.exe").c_str()) != INVALID_FILE_ATTRIBUTES, true);
}

} // namespace
