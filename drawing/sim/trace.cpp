#include "drawing/sim/trace.h"

#include "drawing/sim/sim_state.h"
#include "drawing/sim/utf8.h"

#include <charconv>
#include <cstdio>
#include <system_error>
#include <type_traits>
#include <variant>

namespace tvx::sim {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(byte));
            out += buf;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string scalarText(const host::HostScalar& s) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return "EMPTY";
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "BOOL true" : "BOOL false";
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return "I8 " + std::to_string(v);
            } else if constexpr (std::is_same_v<T, double>) {
                return "R8 " + traceNumber(v);
            } else {
                return "BSTR " + quoted(traceText(v));
            }
        },
        s);
}

} // namespace

std::string traceText(const std::wstring& text) {
    try {
        return toUtf8(text);
    } catch (const Utf8Error&) {
        std::string out;
        for (const wchar_t c : text) {
            const auto code = static_cast<std::uint32_t>(c);
            if (code < 0x80) {
                out += static_cast<char>(code);
            } else {
                try {
                    out += toUtf8(std::wstring(1, c));
                } catch (const Utf8Error&) {
                    out += "\xEF\xBF\xBD"; // U+FFFD
                }
            }
        }
        return out;
    }
}

std::string traceNumber(double value) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    if (ec != std::errc()) {
        return "?";
    }
    return std::string(buf, end);
}

TracedArg argI2(std::int16_t v) { return {"I2", std::to_string(v)}; }
TracedArg argI4(std::int32_t v) { return {"I4", std::to_string(v)}; }
TracedArg argBool(bool v) { return {"BOOL", v ? "true" : "false"}; }
TracedArg argR8(double v) { return {"R8", traceNumber(v)}; }
TracedArg argBstr(const std::wstring& v) { return {"BSTR", traceText(v)}; }
TracedArg argDispatch(bool present, const char* kind) {
    return {"DISPATCH", present ? kind : "null"};
}

std::string resultBool(bool v) { return v ? "BOOL true" : "BOOL false"; }
std::string resultI4(std::int32_t v) { return "I4 " + std::to_string(v); }
std::string resultBstr(const std::wstring& v) { return "BSTR " + quoted(traceText(v)); }
std::string resultDispatch(bool present, const char* kind) {
    return std::string("DISPATCH ") + (present ? kind : "null");
}

std::string runningCommandTrace(std::int32_t commandId, const std::wstring& pageTitle, bool uiActive) {
    std::string text = "out ";
    text.append(resultI4(commandId)).append(", ").append(resultBstr(pageTitle)).append(", ").append(resultBool(uiActive));
    return text;
}

std::string resultValue(const host::HostValue& v) {
    if (const auto* scalar = std::get_if<host::HostScalar>(&v)) {
        return scalarText(*scalar);
    }
    std::string out = "ARRAY[";
    bool first = true;
    for (const auto& s : std::get<host::HostArray>(v)) {
        out += first ? "" : ", ";
        out += scalarText(s);
        first = false;
    }
    return out + "]";
}

std::string formatTraceEntry(const TraceEntry& entry) {
    std::string line = entry.operation + "(";
    bool first = true;
    for (const auto& a : entry.args) {
        line += first ? "" : ", ";
        line += a.type + " " + (a.type == "BSTR" ? quoted(a.value) : a.value);
        first = false;
    }
    line += ")";
    if (entry.failed) {
        line += " -> FAILED " + entry.result;
    } else if (!entry.result.empty()) {
        line += " -> " + entry.result;
    }
    return line;
}

} // namespace tvx::sim
