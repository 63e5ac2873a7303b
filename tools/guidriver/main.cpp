// A driver for the dialogs from outside their process, for tests and the README's run:
// looks at windows and controls and plays a user's actions. See kUsage in commands.cpp.
// Answers go to stdout as UTF-8 lines; a failure or timeout prints a message to stderr and
// ends with exit code 1.
#include "commands.h"

#include <windows.h>

#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using tvx::guidriver::Words;

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
    return out;
}

void write(HANDLE stream, const std::string& bytes) {
    DWORD written = 0;
    WriteFile(stream, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// A script line: words split at blanks; "..." keeps blanks, \" and \\ inside it.
Words splitLine(const std::wstring& line) {
    Words words;
    std::wstring current;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const wchar_t c = line[i];
        if (quoted) {
            if (c == L'\\' && i + 1 < line.size() && (line[i + 1] == L'"' || line[i + 1] == L'\\')) {
                current.push_back(line[++i]);
            } else if (c == L'"') {
                quoted = false;
            } else {
                current.push_back(c);
            }
        } else if (c == L'"') {
            quoted = inWord = true;
        } else if (c == L' ' || c == L'\t' || c == L'\r') {
            if (inWord) {
                words.push_back(current);
                current.clear();
                inWord = false;
            }
        } else {
            current.push_back(c);
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(current);
    }
    return words;
}

std::vector<Words> readScript(const std::wstring& name) {
    std::stringstream text;
    if (name == L"-") {
        text << std::cin.rdbuf();
    } else {
        std::ifstream file(name.c_str(), std::ios::binary);
        if (!file) {
            throw std::runtime_error("cannot read " + utf8(name));
        }
        text << file.rdbuf();
    }
    std::vector<Words> script;
    std::string line;
    while (std::getline(text, line)) {
        Words words = splitLine(wide(line));
        if (!words.empty() && words[0][0] != L'#') {
            script.push_back(std::move(words));
        }
    }
    return script;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // Pixels as the dialogs see them: a driver unaware of the DPI gets every rectangle of a
    // DPI-aware window scaled back to 96 DPI.
    SetProcessDPIAware();
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (argc < 2) {
        write(err, utf8(tvx::guidriver::kUsage));
        return 2;
    }
    std::vector<Words> script;
    try {
        if (std::wstring(argv[1]) == L"--script") {
            script = readScript(argc > 2 ? argv[2] : L"-");
        } else {
            script.emplace_back(argv + 1, argv + argc);
        }
        for (const Words& words : script) {
            std::wstring answer;
            tvx::guidriver::runCommand(words, answer);
            write(out, utf8(answer));
        }
    } catch (const std::exception& e) {
        write(err, std::string("tvx-guidriver: ") + e.what() + "\n");
        return 1;
    }
    return 0;
}
