// The two dialogs without a host, for screenshots and for driving them from tests:
//   tvx_dialogs_demo [--kind N] [--rough TEXT] [--method TEXT] [--out FILE]
//                    [--raise TEXT] [--raise-on-ok TEXT] [--came-from DPI]
// Shows the main dialog as the start-up does (topmost, shown, lists filled with slot 0's values:
// the given ones, or the default main symbol). Ok writes the chosen kind index, method and
// roughness to FILE; Cancel and the close command write how the run ended. --raise shows only
// the message, with the main dialog never shown, as a start-up failure does; --raise-on-ok
// shows the message over the main dialog when Ok is pressed, as a calculation failure does.
// --came-from plays a drag from a monitor of that DPI onto this one before the dialog shows: the
// dialog laid out for that DPI, then for this one again, as WM_DPICHANGED tells it.
#include "app/sequences.h"
#include "app/win32/dialog_controls.h"
#include "app/win32/dialog_layouts.h"
#include "app/win32/dpi_awareness.h"
#include "app/win32/event_loop.h"
#include "app/win32/main_form.h"
#include "app/win32/message_dialog.h"
#include "app/win32/pictures.h"
#include "app/win32/process_end.h"
#include "drawing/symbol_register.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>

namespace {

struct Options {
    std::optional<int> kind;
    std::wstring rough;
    std::wstring method;
    std::wstring out;
    std::optional<std::wstring> raise;
    std::optional<std::wstring> raiseOnOk;
    std::optional<int> cameFrom;
};

Options parse(int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring name = argv[i];
        const std::wstring value = argv[i + 1];
        if (name == L"--kind") {
            options.kind = std::stoi(value);
        } else if (name == L"--rough") {
            options.rough = value;
        } else if (name == L"--method") {
            options.method = value;
        } else if (name == L"--out") {
            options.out = value;
        } else if (name == L"--raise") {
            options.raise = value;
        } else if (name == L"--raise-on-ok") {
            options.raiseOnOk = value;
        } else if (name == L"--came-from") {
            options.cameFrom = std::stoi(value);
        }
    }
    return options;
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr,
                        nullptr);
    return out;
}

void writeResult(const std::wstring& file, const std::wstring& text) {
    if (file.empty()) {
        return;
    }
    if (FILE* out = _wfopen(file.c_str(), L"wb")) {
        const std::string bytes = utf8(text);
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
}

// What Windows sends a per-monitor aware window dragged from a monitor of DPI `from` onto its
// own, each time with the rectangle the dialog opens in at that DPI as the suggested one.
void arriveFrom(HWND window, SIZE clientTwips, int from) {
    const int here = tvx::win::windowDpi(window);
    for (const int dpi : {from, here}) {
        RECT suggested = tvx::win::dialogFrame(clientTwips, dpi, nullptr);
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    }
}

// The message's window exists only once Raise runs: the drag is played inside its loop.
const tvx::win::Win32MessageDialog* arrivingMessage = nullptr;
int arrivingFrom = 0;
void CALLBACK arriveMessage(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    arriveFrom(arrivingMessage->hwnd(), tvx::win::kMessageDialogClient, arrivingFrom);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace tvx;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const Options options = parse(argc, argv);
    LocalFree(argv);

    try {
        win::ProcessEnd processEnd;
        win::Win32MainForm form(instance, win::programFolder());
        win::Win32MessageDialog gef(instance);
        form.setAlwaysOnTop();
        if (options.cameFrom) {
            arriveFrom(form.hwnd(), win::kMainFormClient, *options.cameFrom);
        }

        if (options.raise) {
            if (options.cameFrom) {
                arrivingMessage = &gef;
                arrivingFrom = *options.cameFrom;
                SetTimer(nullptr, 0, 0, &arriveMessage);
            }
            gef.Raise(*options.raise, form.caption(), form.icon());
            writeResult(options.out, L"raised\n");
            processEnd.endProcess(RunEnd::Done);
        }

        form.setHandlers({
            [&] {
                if (options.raiseOnOk) {
                    gef.Raise(*options.raiseOnOk, form.caption(), form.icon());
                    writeResult(options.out, L"raised\n");
                    processEnd.endProcess(RunEnd::Done);
                }
                writeResult(options.out, L"kind=" + std::to_wstring(form.stdSFSSymbol().listIndex()) +
                                             L"\nmethod=" + form.stdSFSMet().text() + L"\nroughness=" +
                                             form.stdSFSRough().text() + L"\n");
                form.hide();
                processEnd.endProcess(RunEnd::Done);
            },
            [&] {
                writeResult(options.out, L"cancel\n");
                processEnd.endProcess(RunEnd::Done);
            },
            [&] {
                writeResult(options.out, L"closed\n");
                processEnd.endProcess(RunEnd::Done);
            },
        });

        SymbolRegister symbols;
        if (options.kind) {
            SymbolSlot& main = symbols.slot(0);
            main.slotId = kMainSlotId;
            main.symbolType = *options.kind;
            main.roughness = options.rough;
            main.method = options.method;
        }
        form.showModeless();
        fillChoiceLists(form, symbols);
        return win::runEventLoop();
    } catch (const std::exception& e) {
        const std::string what = e.what();
        MessageBoxA(nullptr, what.c_str(), "tvx_dialogs_demo", MB_OK | MB_ICONERROR);
        return 1;
    }
}
