#include "commands.h"

#include "targets.h"
#include "tools/hostserver/host_frame.h"

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <cwctype>
#include <functional>
#include <map>
#include <stdexcept>
#include <thread>

namespace tvx::guidriver {

const wchar_t* const kUsage =
    L"usage: tvx-guidriver COMMAND ARGS...   or   tvx-guidriver --script FILE|-\n"
    L"  wait WIN [MS]            until a visible window matches (MS: 30000); prints its handle\n"
    L"  gone WIN [MS]            until no visible window matches (MS: 30000)\n"
    L"  topmost WIN [MS]         until the window is topmost\n"
    L"  visible WIN [CTRL]       1 or 0\n"
    L"  text WIN [CTRL]          the text (WM_GETTEXT)\n"
    L"  items WIN CTRL           count, then one list entry a line\n"
    L"  index WIN CTRL           the list index\n"
    L"  rect WIN CTRL            left top width height, in the window's client area\n"
    L"  client WIN [CTRL]        screen left top, width height of the client area\n"
    L"  window WIN               screen left top, width height of the whole window\n"
    L"  enabled WIN [CTRL]       1 or 0\n"
    L"  resize WIN WIDTH HEIGHT  sets the window's outer size, as dragging its frame does\n"
    L"  focus WIN                the control with the keyboard focus, or none\n"
    L"  list WIN                 every control: name class visible left top width height text\n"
    L"  select WIN CTRL INDEX    chooses a list entry as a user does\n"
    L"  type WIN CTRL TEXT       replaces the text field's content, one keystroke a character\n"
    L"  settext WIN CTRL TEXT    sets the text and reports it as edited\n"
    L"  click WIN CTRL           clicks a button\n"
    L"  sendclick WIN CTRL       clicks a button by a sent message, which even a loop that dispatches\n"
    L"                           nothing delivers (without waiting for it)\n"
    L"  key WIN KEY              tab, shift+tab, enter, escape, space, alt+LETTER: typed into the window\n"
    L"  menu WIN MENU ITEM       opens the menu bar's MENU and clicks ITEM (captions without \"&\");\n"
    L"                           fails when either is missing or the item is greyed\n"
    L"  buttons WIN CTRL         the number of buttons on a toolbar\n"
    L"  toolbar WIN CTRL N       clicks the Nth toolbar button (from 0) as a mouse does\n"
    L"  close WIN                the window's close command\n"
    L"  endtask WIN              WM_CLOSE posted, as the system's End task sends it, even to a disabled window\n"
    L"  dpi                      the display's DPI\n"
    L"  minimize WIN             the window's minimize command\n"
    L"  front WIN                1 when the window is the foreground window and not minimized, else 0\n"
    L"  respond WIN              milliseconds the window's thread took to answer a sent message\n"
    L"  sleep MS\n"
    L"  clock                    milliseconds since 1970, the clock shell scripts read too\n"
    L"  playrun EXE TRACE [S]    starts EXE and plays one run: Ok once, every message read and\n"
    L"                           confirmed; prints startup N, message TEXT..., ended 0|1, dialog 0|1\n"
    L"WIN: TITLE, CLASS::TITLE or CLASS::   CTRL: NAME, #ID, CLASS:N or .\n";

namespace {

using Clock = std::chrono::steady_clock;
constexpr UINT kReplyTimeoutMs = 5000;

const std::wstring& word(const Words& words, std::size_t index) {
    if (index >= words.size()) {
        throw std::runtime_error("missing argument for " + std::string(words[0].begin(), words[0].end()));
    }
    return words[index];
}

int optionalMs(const Words& words, std::size_t index, int fallback) {
    return index < words.size() ? std::stoi(words[index]) : fallback;
}

std::string narrow(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) {
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return out;
}

// Polls until `ready` holds; false on timeout.
bool poll(int ms, const std::function<bool()>& ready) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (ready()) {
            return true;
        }
        if (Clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kReplyTimeoutMs, &result)) {
        throw std::runtime_error("the window did not answer");
    }
    return static_cast<LRESULT>(result);
}

std::wstring textOf(HWND window) {
    const auto length = static_cast<std::size_t>(send(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 1, L'\0');
    const auto copied = static_cast<std::size_t>(
        send(window, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data())));
    text.resize(copied < length ? copied : length);
    return text;
}

HWND requireWindow(const std::wstring& pattern) {
    const HWND window = findWindow(parseWindowPattern(pattern));
    if (window == nullptr) {
        throw std::runtime_error("no window " + narrow(pattern));
    }
    return window;
}

HWND requireControl(const Words& words, std::size_t at) {
    return findControl(requireWindow(word(words, 1)), word(words, at));
}

// The edit field of a combo box takes the keystrokes; other controls take them themselves.
HWND textField(HWND control) {
    const HWND edit = FindWindowExW(control, nullptr, L"Edit", nullptr);
    return edit != nullptr ? edit : control;
}

void notifyParent(HWND control, WORD code) {
    const HWND parent = GetAncestor(control, GA_PARENT);
    const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(control)), code);
    send(parent, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(control));
}

std::wstring rectLine(const RECT& r) {
    return std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " + std::to_wstring(r.right - r.left) +
           L" " + std::to_wstring(r.bottom - r.top) + L"\n";
}

RECT clientRectOf(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, GetAncestor(control, GA_PARENT), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void pressKeys(const std::vector<WORD>& keys) {
    std::vector<INPUT> inputs;
    for (const WORD key : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *it;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// How long wait and gone try when the script names no time: a bound for a window that never
// comes or goes, not a speed. Wine on a loaded machine takes seconds to show a program's first
// window; the answer comes as soon as the window is there.
constexpr int kDefaultWaitMs = 30000;

void cmdWait(const Words& w, std::wstring& out) {
    const WindowPattern pattern = parseWindowPattern(word(w, 1));
    HWND found = nullptr;
    if (!poll(optionalMs(w, 2, kDefaultWaitMs), [&] { return (found = findVisibleWindow(pattern)) != nullptr; })) {
        throw std::runtime_error("timeout waiting for window " + narrow(w[1]));
    }
    out += L"window " + std::to_wstring(reinterpret_cast<std::uintptr_t>(found)) + L"\n";
}

void cmdGone(const Words& w, std::wstring&) {
    const WindowPattern pattern = parseWindowPattern(word(w, 1));
    if (!poll(optionalMs(w, 2, kDefaultWaitMs), [&] { return findVisibleWindow(pattern) == nullptr; })) {
        throw std::runtime_error("timeout waiting for window to go: " + narrow(w[1]));
    }
}

void cmdTopmost(const Words& w, std::wstring& out) {
    const HWND window = requireWindow(word(w, 1));
    if (!poll(optionalMs(w, 2, 5000),
              [&] { return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; })) {
        throw std::runtime_error("timeout waiting for topmost: " + narrow(w[1]));
    }
    out += L"1\n";
}

void cmdVisible(const Words& w, std::wstring& out) {
    const HWND window = findWindow(parseWindowPattern(word(w, 1)));
    bool visible = false;
    if (window != nullptr) {
        visible = IsWindowVisible(w.size() > 2 ? findControl(window, w[2]) : window) != FALSE;
    }
    out += visible ? L"1\n" : L"0\n";
}

void cmdText(const Words& w, std::wstring& out) {
    const HWND window = requireWindow(word(w, 1));
    out += textOf(w.size() > 2 ? findControl(window, w[2]) : window) + L"\n";
}

void cmdItems(const Words& w, std::wstring& out) {
    const HWND combo = requireControl(w, 2);
    const auto count = send(combo, CB_GETCOUNT, 0, 0);
    out += L"count " + std::to_wstring(count) + L"\n";
    for (LRESULT i = 0; i < count; ++i) {
        const auto length = send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring item(static_cast<std::size_t>(length < 0 ? 0 : length) + 1, L'\0');
        send(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
        item.resize(static_cast<std::size_t>(length < 0 ? 0 : length));
        out += item + L"\n";
    }
}

void cmdIndex(const Words& w, std::wstring& out) {
    out += std::to_wstring(send(requireControl(w, 2), CB_GETCURSEL, 0, 0)) + L"\n";
}

void cmdRect(const Words& w, std::wstring& out) {
    out += rectLine(clientRectOf(requireControl(w, 2)));
}

void cmdClient(const Words& w, std::wstring& out) {
    const HWND window = w.size() > 2 ? requireControl(w, 2) : requireWindow(word(w, 1));
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&client, origin.x, origin.y);
    out += rectLine(client);
}

void cmdWindow(const Words& w, std::wstring& out) {
    RECT r{};
    GetWindowRect(requireWindow(word(w, 1)), &r);
    out += rectLine(r);
}

void cmdEnabled(const Words& w, std::wstring& out) {
    const HWND window = requireWindow(word(w, 1));
    out += IsWindowEnabled(w.size() > 2 ? findControl(window, w[2]) : window) ? L"1\n" : L"0\n";
}

void cmdResize(const Words& w, std::wstring&) {
    const HWND window = requireWindow(word(w, 1));
    if (!SetWindowPos(window, nullptr, 0, 0, std::stoi(word(w, 2)), std::stoi(word(w, 3)),
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)) {
        throw std::runtime_error("resize refused");
    }
}

void cmdFocus(const Words& w, std::wstring& out) {
    const HWND window = requireWindow(word(w, 1));
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    HWND control = nullptr;
    if (GetGUIThreadInfo(thread, &info)) {
        control = controlOf(window, info.hwndFocus);
    }
    out += control != nullptr ? controlName(control) + L"\n" : L"none\n";
}

void cmdList(const Words& w, std::wstring& out) {
    const HWND window = requireWindow(word(w, 1));
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const RECT r = clientRectOf(child);
        std::wstring line = controlName(child) + L" " + className(child) + L" " +
                            (IsWindowVisible(child) ? L"1 " : L"0 ") + rectLine(r);
        line.pop_back();
        out += line + L" " + textOf(child) + L"\n";
    }
}

void cmdSelect(const Words& w, std::wstring&) {
    const HWND combo = requireControl(w, 2);
    const int index = std::stoi(word(w, 3));
    if (send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0) != index) {
        throw std::runtime_error("no list entry " + std::to_string(index));
    }
    // The box does not report a selection by message; a user's choice reaches the dialog so.
    notifyParent(combo, CBN_SELCHANGE);
}

void cmdType(const Words& w, std::wstring&) {
    const HWND field = textField(requireControl(w, 2));
    send(field, EM_SETSEL, 0, static_cast<LPARAM>(-1));
    for (const wchar_t c : word(w, 3)) {
        send(field, WM_CHAR, static_cast<WPARAM>(c), 1);
    }
}

void cmdSetText(const Words& w, std::wstring&) {
    const HWND control = requireControl(w, 2);
    send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(word(w, 3).c_str()));
    notifyParent(control, CBN_EDITCHANGE);
}

void cmdClick(const Words& w, std::wstring&) {
    // Posted: the click may open a modal message or end the process, and must not wait for it.
    if (!PostMessageW(requireControl(w, 2), BM_CLICK, 0, 0)) {
        throw std::runtime_error("click not delivered");
    }
}

void cmdSendClick(const Words& w, std::wstring&) {
    if (!SendNotifyMessageW(requireControl(w, 2), BM_CLICK, 0, 0)) {
        throw std::runtime_error("click not delivered");
    }
}

// The position of the entry whose caption is `caption` ("&" and any "\tShortcut" ignored), or -1.
int menuPosition(HMENU menu, const std::wstring& caption) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, static_cast<int>(std::size(text)), MF_BYPOSITION);
        std::wstring shown = hostserver::withoutAmpersands(text);
        shown = shown.substr(0, shown.find(L'\t'));
        if (shown == hostserver::withoutAmpersands(caption)) {
            return i;
        }
    }
    return -1;
}

// The item's command id after its menu was opened (its items greyed or enabled by then): -1
// greyed, 0 none. Where another process's menu cannot be read (Wine keeps menus per process),
// the window is asked by WM_COPYDATA, which the stand-in host answers.
LRESULT menuItemId(HWND window, const std::wstring& menuCaption, const std::wstring& item) {
    HMENU bar = GetMenu(window);
    if (bar != nullptr && GetMenuItemCount(bar) >= 0) {
        const int top = menuPosition(bar, menuCaption);
        HMENU popup = top < 0 ? nullptr : GetSubMenu(bar, top);
        if (popup == nullptr) {
            return 0;
        }
        send(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), MAKELPARAM(top, FALSE));
        const int at = menuPosition(popup, item);
        if (at < 0) {
            return 0;
        }
        const UINT id = GetMenuItemID(popup, at);
        return (GetMenuState(popup, static_cast<UINT>(at), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) != 0
                   ? -1
                   : static_cast<LRESULT>(id);
    }
    const std::wstring request = menuCaption + L"\n" + item;
    COPYDATASTRUCT data{hostserver::kMenuLookupTag, static_cast<DWORD>(request.size() * sizeof(wchar_t)),
                        const_cast<wchar_t*>(request.data())};
    return send(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

void cmdMenu(const Words& w, std::wstring&) {
    const HWND window = requireWindow(word(w, 1));
    const LRESULT id = menuItemId(window, word(w, 2), word(w, 3));
    if (id == 0) {
        throw std::runtime_error("no menu item " + narrow(w[2]) + " > " + narrow(w[3]));
    }
    if (id < 0) {
        throw std::runtime_error("the menu item " + narrow(w[3]) + " is greyed");
    }
    // Posted, as the menu's own click is: the command may open a dialog and must not wait for it.
    if (!PostMessageW(window, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0)) {
        throw std::runtime_error("menu click not delivered");
    }
}

void cmdButtons(const Words& w, std::wstring& out) {
    out += std::to_wstring(send(requireControl(w, 2), TB_BUTTONCOUNT, 0, 0)) + L"\n";
}

void cmdToolbar(const Words& w, std::wstring&) {
    const HWND toolbar = requireControl(w, 2);
    const int index = std::stoi(word(w, 3));
    if (index < 0 || index >= send(toolbar, TB_BUTTONCOUNT, 0, 0)) {
        throw std::runtime_error("no toolbar button " + std::to_string(index));
    }
    // The buttons are all of one size and side by side: the middle of the Nth one, pressed and
    // released there.
    const auto size = static_cast<DWORD>(send(toolbar, TB_GETBUTTONSIZE, 0, 0));
    const int width = LOWORD(size);
    const int height = HIWORD(size);
    RECT client{};
    GetClientRect(toolbar, &client);
    const int top = (client.bottom - height) / 2 > 0 ? (client.bottom - height) / 2 : 0;
    const LPARAM at = MAKELPARAM(index * width + width / 2, top + height / 2);
    send(toolbar, WM_MOUSEMOVE, 0, at);
    send(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    if (!PostMessageW(toolbar, WM_LBUTTONUP, 0, at)) {
        throw std::runtime_error("toolbar click not delivered");
    }
}

void cmdKey(const Words& w, std::wstring&) {
    const HWND window = requireWindow(word(w, 1));
    static const std::map<std::wstring, std::vector<WORD>> keys{
        {L"tab", {VK_TAB}},      {L"shift+tab", {VK_SHIFT, VK_TAB}}, {L"enter", {VK_RETURN}},
        {L"escape", {VK_ESCAPE}}, {L"space", {VK_SPACE}},
    };
    const std::wstring& name = word(w, 2);
    std::vector<WORD> pressed;
    if (const auto key = keys.find(name); key != keys.end()) {
        pressed = key->second;
    } else if (name.size() == 5 && name.compare(0, 4, L"alt+") == 0 && std::iswalnum(name[4])) {
        // A menu's mnemonic: opens it as the keyboard does.
        pressed = {VK_MENU, static_cast<WORD>(std::towupper(name[4]))};
    } else {
        throw std::runtime_error("unknown key " + narrow(name));
    }
    SetForegroundWindow(window);
    pressKeys(pressed);
    // Input arrives through the window's queue; give it time before the next look.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

void cmdClose(const Words& w, std::wstring&) {
    if (!PostMessageW(requireWindow(word(w, 1)), WM_SYSCOMMAND, SC_CLOSE, 0)) {
        throw std::runtime_error("close not delivered");
    }
}

void cmdEndTask(const Words& w, std::wstring&) {
    if (!PostMessageW(requireWindow(word(w, 1)), WM_CLOSE, 0, 0)) {
        throw std::runtime_error("WM_CLOSE not delivered");
    }
}

void cmdMinimize(const Words& w, std::wstring&) {
    if (!PostMessageW(requireWindow(word(w, 1)), WM_SYSCOMMAND, SC_MINIMIZE, 0)) {
        throw std::runtime_error("minimize not delivered");
    }
}

void cmdFront(const Words& w, std::wstring& out) {
    const HWND window = requireWindow(word(w, 1));
    out += GetForegroundWindow() == window && !IsIconic(window) ? L"1\n" : L"0\n";
}

void cmdClock(const Words&, std::wstring& out) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // FILETIME counts 100 ns steps from 1601.
    out += std::to_wstring((ticks - 116444736000000000ull) / 10000u) + L"\n";
}

void cmdRespond(const Words& w, std::wstring& out) {
    const HWND window = requireWindow(word(w, 1));
    const auto start = Clock::now();
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer) == 0) {
        throw std::runtime_error("the window did not answer within 30 s");
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    out += std::to_wstring(took.count()) + L"\n";
}

void cmdDpi(const Words&, std::wstring& out) {
    const HDC screen = GetDC(nullptr);
    out += std::to_wstring(GetDeviceCaps(screen, LOGPIXELSY)) + L"\n";
    ReleaseDC(nullptr, screen);
}

void cmdSleep(const Words& w, std::wstring&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(word(w, 1))));
}

} // namespace

void runCommand(const Words& words, std::wstring& out) {
    using Command = void (*)(const Words&, std::wstring&);
    static const std::map<std::wstring, Command> commands{
        {L"wait", cmdWait},     {L"gone", cmdGone},       {L"topmost", cmdTopmost}, {L"visible", cmdVisible},
        {L"text", cmdText},     {L"items", cmdItems},     {L"index", cmdIndex},     {L"rect", cmdRect},
        {L"client", cmdClient}, {L"window", cmdWindow},   {L"enabled", cmdEnabled}, {L"resize", cmdResize},
        {L"focus", cmdFocus},     {L"list", cmdList},       {L"select", cmdSelect},
        {L"type", cmdType},     {L"settext", cmdSetText}, {L"click", cmdClick}, {L"sendclick", cmdSendClick},     {L"key", cmdKey},
        {L"close", cmdClose},   {L"endtask", cmdEndTask},   {L"sleep", cmdSleep},     {L"clock", cmdClock}, {L"respond", cmdRespond},
        {L"dpi", cmdDpi},
        {L"minimize", cmdMinimize}, {L"front", cmdFront},
        {L"menu", cmdMenu},     {L"buttons", cmdButtons}, {L"toolbar", cmdToolbar},
        {L"playrun", cmdPlayRun},
    };
    const auto command = commands.find(words.at(0));
    if (command == commands.end()) {
        throw std::runtime_error("unknown command " + narrow(words[0]));
    }
    command->second(words, out);
}

} // namespace tvx::guidriver
