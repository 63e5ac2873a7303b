// "playrun": plays the user of one whole run of the program inside the driver's own process.
// A script polling from outside starts a driver process per look, about half a second each
// under Wine; here one look costs a few milliseconds, so the runs of the long end-to-end tables
// take the program's own time.
#include "commands.h"

#include "app/win32/win_handles.h"

#include <windows.h>

#include <fstream>
#include <stdexcept>
#include <string>

namespace tvx::guidriver {

namespace {

constexpr DWORD kLookEveryMs = 20;
const wchar_t* const kMessage = L"GEF::";
const wchar_t* const kMainDialog = L"tvx_MainForm::";

std::wstring answerOf(const Words& words) {
    std::wstring out;
    runCommand(words, out);
    while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r')) {
        out.pop_back();
    }
    return out;
}

bool isVisible(const wchar_t* window) {
    return answerOf({L"visible", window}) == L"1";
}

std::size_t linesIn(const std::wstring& file) {
    std::ifstream in(file.c_str(), std::ios::binary);
    std::size_t lines = 0;
    char c = 0;
    while (in.get(c)) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

// Reads the message, confirms it and waits until it is gone; nothing when a step fails, as a
// message that vanished under the user's hand tells nothing.
void confirmMessage(std::wstring& out) {
    try {
        std::wstring text = answerOf({L"text", kMessage, L"Info"});
        answerOf({L"click", kMessage, L"Ok"});
        answerOf({L"gone", kMessage, L"10000"});
        text = text.substr(0, text.find_first_of(L"\r\n"));
        out += L"message " + text + L"\n";
    } catch (const std::runtime_error&) {
    }
}

} // namespace

// playrun EXE TRACE [S]: starts EXE, presses Ok in its main dialog once, reads and confirms every
// message until it ends. Answers the lines of an outcome: "startup N" (TRACE's lines when the
// dialog showed), "message TEXT" for each message, then "ended 0|1" and "dialog 0|1". A program
// still running after S seconds (60) is ended and counts as not ended.
void cmdPlayRun(const Words& w, std::wstring& out) {
    if (w.size() < 3) {
        throw std::runtime_error("usage: playrun EXE TRACE [S]");
    }
    const std::wstring& trace = w[2];
    const DWORD limitMs = static_cast<DWORD>((w.size() > 3 ? std::stoi(w[3]) : 60) * 1000);
    std::wstring commandLine = L"\"" + w[1] + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(w[1].c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
            &started)) {
        throw std::runtime_error("cannot start the program");
    }
    const win::UniqueKernelHandle process(started.hProcess);
    const win::UniqueKernelHandle thread(started.hThread);

    const ULONGLONG end = GetTickCount64() + limitMs;
    bool dialog = false;
    bool ended = false;
    while (GetTickCount64() < end) {
        if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
        if (isVisible(kMessage)) {
            confirmMessage(out);
        } else if (!dialog && isVisible(kMainDialog)) {
            dialog = true;
            out += L"startup " + std::to_wstring(linesIn(trace)) + L"\n";
            try {
                answerOf({L"click", kMainDialog, L"cmd_Ok"});
            } catch (const std::runtime_error&) {
            }
        }
        WaitForSingleObject(process.get(), kLookEveryMs);
    }
    if (!ended) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 5000);
    }
    out += std::wstring(L"ended ") + (ended ? L"1" : L"0") + L"\ndialog " + (dialog ? L"1" : L"0") + L"\n";
}

} // namespace tvx::guidriver
