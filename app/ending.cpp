#include "app/sequences.h"

#include "drawing/messages.h"
#include "drawing/run_errors.h"

#include <exception>

namespace tvx {
namespace {

// The run ends after the report whatever the message dialog does; a failing dialog must not
// keep the host references alive or the process running.
[[noreturn]] void reportAndEnd(Program& program, const std::wstring& report) {
    try {
        raiseMessage(program, report);
    } catch (const RunEnded&) {
        throw;
    } catch (...) {
    }
    shutDown(program);
}

// Host messages may carry UTF-8; a byte that fits no sequence shows as U+FFFD.
std::wstring decodeUtf8(std::string_view text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            length = 2;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            length = 3;
            code = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            length = 4;
            code = lead & 0x07u;
        }
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0u) == 0x80u;
            code = (code << 6) | (next & 0x3Fu);
        }
        const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (!valid || overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            out.push_back(L'\uFFFD');
            ++i;
            continue;
        }
        if constexpr (sizeof(wchar_t) == 2) {
            if (code >= 0x10000) {
                code -= 0x10000;
                out.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
                out.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FFu)));
                i += length;
                continue;
            }
        }
        out.push_back(static_cast<wchar_t>(code));
        i += length;
    }
    return out;
}

} // namespace

std::wstring unexpectedReport(std::string_view what) {
    std::wstring report = msg::kUnexpectedError;
    report += what.empty() ? L"." : L": " + decodeUtf8(what);
    return report;
}

void runHandler(Program& program, Handler handler) {
    std::wstring report;
    try {
        handler(program);
        return;
    } catch (const RunEnded&) {
        throw;
    } catch (const ReportedError& e) {
        report = e.report();
    } catch (const std::exception& e) {
        report = unexpectedReport(e.what());
    } catch (...) {
        report = unexpectedReport({});
    }
    reportAndEnd(program, report);
}

void shutDown(Program& program) {
    releaseHost(program.session);
    program.terminator.endProcess();
    // A terminator that came back would let the caller's sequence go on; nothing may run now.
    std::terminate();
}

void raiseMessage(Program& program, const std::wstring& message) {
    const std::wstring caption = program.form.caption();
    const FormIcon icon = program.form.icon();
    program.gef.Raise(message, caption, icon);
}

void errorRoute(Program& program, const std::wstring& message) {
    raiseMessage(program, message);
    shutDown(program);
}

void reportInsertError(Program& program) { errorRoute(program, msg::kInsertError); }

void reportCalcError(Program& program) { errorRoute(program, msg::kCalcError); }

void cmd_Cancel_Click(Program& program) { shutDown(program); }

} // namespace tvx
