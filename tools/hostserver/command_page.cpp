#include "tools/hostserver/command_page.h"

#include "drawing/com/failure_text.h"
#include "tools/hostserver/window_class.h"

namespace tvx::hostserver {

namespace {

constexpr wchar_t kClassName[] = L"TvxHostCommandPage";
constexpr int kWidth = 220;
constexpr int kHeight = 320;

} // namespace

void CommandPage::open(std::int32_t id, const std::wstring& title, HWND frame) {
    close();
    registerWindowClass(kClassName, COLOR_BTNFACE);
    RECT at{40, 40, 0, 0};
    if (frame != nullptr) {
        GetWindowRect(frame, &at);
    }
    // A page that cannot be shown still plays the command: the answers and the marks are what count.
    window_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClassName, title.c_str(),
                              WS_POPUP | WS_CAPTION | WS_VISIBLE, at.left + 8, at.top + 90, kWidth, kHeight, frame,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    host_.data().runningCommand = sim::RunningCommand{id, title};
    context_.setCommandOpen(true);
    std::string line = "-- the host's command ";
    line.append(std::to_string(id)).append(" opened its page \"").append(com::toUtf8(title));
    context_.trace(line.append("\"; the frame stays enabled --"));
}

void CommandPage::close() {
    if (!host_.data().runningCommand) {
        return;
    }
    if (window_ != nullptr) {
        DestroyWindow(window_);
        window_ = nullptr;
    }
    host_.data().runningCommand.reset();
    context_.setCommandOpen(false);
    context_.trace("-- the host's command ended --");
}

} // namespace tvx::hostserver
