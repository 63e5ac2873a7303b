// GEF under Wine: modal to the whole program, topmost, centred, Ok focused, and dismissed by
// Ok, Enter on Ok, or the close command alike.
#include "app/win32/control_ids.h"
#include "app/win32/event_loop.h"
#include "app/win32/main_form.h"
#include "app/win32/message_dialog.h"
#include "win32_test_support.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using namespace tvx;
using tvx::test::px;

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class MessageDialogTest : public ::testing::Test {
protected:
    MessageDialogTest() : form(GetModuleHandleW(nullptr), L"."), gef(GetModuleHandleW(nullptr)) {}
    ~MessageDialogTest() override {
        test::pumpPending();
        test::takeQuit();
    }

    HWND ok() const { return gef.control(ids::Ok); }
    void raise(const std::wstring& text) { gef.Raise(text, form.caption(), form.icon()); }

    test::TempFolder folder;
    win::Win32MainForm form;
    win::Win32MessageDialog gef;
};

TEST_F(MessageDialogTest, ShowsTheMessageModalTopmostCentredWithOkFocused) {
    EXPECT_EQ(gef.hwnd(), nullptr) << "loaded only by the first message";
    form.showModeless();
    bool checked = false;
    test::runFromLoop({[&] {
        const HWND dialog = gef.hwnd();
        ASSERT_NE(dialog, nullptr);
        checked = true;
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_NE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
        EXPECT_EQ(test::windowText(dialog), L"Oberflächen - Assisten");
        EXPECT_EQ(test::windowText(gef.control(ids::Info)), L"Kein SolidWorks Dokument geladen !");
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, ICON_BIG, 0)), form.icon().handle);
        EXPECT_EQ(GetFocus(), ok());
        EXPECT_FALSE(IsWindowEnabled(form.hwnd())) << "the main dialog takes no input meanwhile";
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);

        const SIZE client = test::clientSize(dialog);
        EXPECT_EQ(client.cx, px(3615));
        EXPECT_EQ(client.cy, px(1305));
        EXPECT_TRUE(test::rectInParent(gef.control(ids::Info)) == test::pixelsOf(735, 150, 2760, 495));
        EXPECT_TRUE(test::rectInParent(ok()) == test::pixelsOf(2640, 840, 855, 375));
        EXPECT_TRUE(test::rectInParent(gef.control(ids::Picture1)) == test::pixelsOf(120, 120, 495, 495));
        EXPECT_EQ(test::windowText(ok()), L"Ok");
        EXPECT_EQ(GetNextDlgTabItem(dialog, ok(), FALSE), gef.control(ids::Picture1));
        EXPECT_EQ(GetNextDlgTabItem(dialog, gef.control(ids::Picture1), FALSE), ok());

        RECT frame{};
        GetWindowRect(dialog, &frame);
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_NEAR((frame.left + frame.right) / 2, (work.left + work.right) / 2, 1);
        EXPECT_NEAR((frame.top + frame.bottom) / 2, (work.top + work.bottom) / 2, 1);
        SendMessageW(ok(), BM_CLICK, 0, 0);
    }});
    raise(L"Kein SolidWorks Dokument geladen !");
    EXPECT_TRUE(checked);
    EXPECT_FALSE(IsWindowVisible(gef.hwnd()));
    EXPECT_TRUE(IsWindowEnabled(form.hwnd())) << "input returns to the main dialog";
}

TEST_F(MessageDialogTest, CloseCommandAndEnterOnOkEndItLikeOkButEscapeDoesNot) {
    bool stillShownAfterEscape = false;
    test::runFromLoop({
        [&] { PostMessageW(ok(), WM_KEYDOWN, VK_ESCAPE, 0); },
        [&] {
            stillShownAfterEscape = IsWindowVisible(gef.hwnd()) != FALSE;
            PostMessageW(gef.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
        },
    });
    raise(L"Keine aktive SolidWorks Instanz gefunden !");
    EXPECT_TRUE(stillShownAfterEscape);
    EXPECT_FALSE(IsWindowVisible(gef.hwnd()));

    const HWND first = gef.hwnd();
    test::runFromLoop({[&] {
        EXPECT_EQ(GetFocus(), ok());
        PostMessageW(ok(), WM_KEYDOWN, VK_RETURN, 0);
    }});
    raise(L"Es werden nur SolidWorks Zeichnungen unterstützt !");
    EXPECT_EQ(gef.hwnd(), first) << "one dialog for the whole process";
    EXPECT_EQ(test::windowText(gef.control(ids::Info)), L"Es werden nur SolidWorks Zeichnungen unterstützt !");
    EXPECT_NE(GetWindowLongPtrW(first, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

TEST_F(MessageDialogTest, LongTextStaysInsideTheLabelAndTheDialogKeepsItsSize) {
    std::wstring text;
    for (int i = 0; i < 40; ++i) {
        text += L"Unerwarteter Fehler beim Lesen der Zeichnung ";
    }
    test::runFromLoop({[&] {
        EXPECT_EQ(test::windowText(gef.control(ids::Info)).size(), std::min<std::size_t>(text.size(), 1023));
        EXPECT_TRUE(test::rectInParent(gef.control(ids::Info)) == test::pixelsOf(735, 150, 2760, 495));
        EXPECT_EQ(test::clientSize(gef.hwnd()).cx, px(3615));
        EXPECT_EQ(test::clientSize(gef.hwnd()).cy, px(1305));
        // Word-wrapped: a plain left-aligned label, neither one line nor cut with an ellipsis.
        const auto style = GetWindowLongPtrW(gef.control(ids::Info), GWL_STYLE);
        EXPECT_EQ(style & SS_TYPEMASK, SS_LEFT);
        EXPECT_EQ(style & SS_ELLIPSISMASK, 0);
        SendMessageW(ok(), BM_CLICK, 0, 0);
    }});
    raise(text);
}

TEST_F(MessageDialogTest, AQuitDuringTheMessageEndsItAndReachesTheOuterLoop) {
    test::runFromLoop({[] { PostQuitMessage(3); }});
    raise(L"Fehler bei der Berechnung !");
    EXPECT_FALSE(IsWindowVisible(gef.hwnd()));
    EXPECT_TRUE(IsWindowEnabled(form.hwnd()));
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 3u);
}

TEST_F(MessageDialogTest, AHandlersFailureLeavesTheMessageAndReachesTheCaller) {
    test::runFromLoop({[] { win::runGuarded([] { throw std::runtime_error("handler failed"); }); }});
    EXPECT_THROW(raise(L"Fehler beim Einfügen der Symbole !"), std::runtime_error);
    EXPECT_FALSE(IsWindowVisible(gef.hwnd()));
    EXPECT_TRUE(IsWindowEnabled(form.hwnd())) << "input returns even then";
}

TEST(EventLoop, RethrowsWhatAHandlerLetOutAndReturnsTheQuitCode) {
    PostQuitMessage(7);
    EXPECT_EQ(win::runEventLoop(), 7);
    win::runGuarded([] { throw std::logic_error("late"); });
    EXPECT_THROW(win::runEventLoop(), std::logic_error);
    test::takeQuit();
    int ran = 0;
    win::runGuarded([&] { ++ran; });
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(test::takeQuit()) << "a handler that succeeds stops nothing";
}

} // namespace
