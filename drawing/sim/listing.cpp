#include "drawing/sim/listing.h"

#include "drawing/sim/utf8.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace tvx::sim {

namespace {

std::string utf8(const std::wstring& text) {
    try {
        return toUtf8(text);
    } catch (const Utf8Error&) {
        return "<not encodable>";
    }
}

// Millimetres to the micrometre; never "-0.000".
std::string mm(double metres) {
    double value = metres * 1000.0;
    if (std::fabs(value) < 0.0005) {
        value = 0.0;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", value);
    return buf;
}

std::string shortNumber(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", value);
    return buf;
}

// Quoted, with every run of blanks shown as ␣ or ␣×N so a golden file shows them exactly.
std::string visible(const std::wstring& text) {
    std::string out = "\"";
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == L' ') {
            std::size_t run = 0;
            while (i < text.size() && text[i] == L' ') {
                ++run;
                ++i;
            }
            out += "\xE2\x90\xA3"; // ␣
            if (run > 1) {
                out += "\xC3\x97" + std::to_string(run); // ×N
            }
            continue;
        }
        const wchar_t c = text[i];
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == L'\n') {
            out += "\\n";
        } else if (c == L'\r') {
            out += "\\r";
        } else if (c == L'\t') {
            out += "\\t";
        } else if (static_cast<std::uint32_t>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(c));
            out += buf;
        } else {
            // Keep surrogate pairs together.
            std::size_t length = 1;
            if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
                length = 2;
            }
            out += utf8(text.substr(i, length));
            i += length;
            continue;
        }
        ++i;
    }
    return out + "\"";
}

std::string font(const TextFormatData& f) {
    std::string out = "font " + visible(f.typeFaceName) + " ";
    out += f.heightInPts ? std::to_string(f.charHeightInPts) + " pt"
                         : shortNumber(f.charHeight * 1000.0) + " mm";
    if (f.bold) {
        out += " bold";
    }
    return out;
}

void listSymbol(std::string& out, const SymbolData& s) {
    const auto text = [&s](std::int32_t index) {
        const auto found = s.texts.find(index);
        return visible(found == s.texts.end() ? std::wstring() : found->second);
    };
    out += "    symbol " + visible(s.name) + " type " + std::to_string(s.symbolType) +
           ", method " + text(2) + ", roughness " + text(5);
    for (const auto& [index, value] : s.texts) {
        if (index != 2 && index != 5) {
            out += ", text " + std::to_string(index) + " " + visible(value);
        }
    }
    out += " at (" + mm(s.x) + ", " + mm(s.y) + ") mm, " + font(s.format);
    if (!s.selectable) {
        out += ", not selectable";
    }
    out += "\n";
}

void listNote(std::string& out, const NoteData& n) {
    out += "    note " + visible(n.name) + " " + visible(n.text) + " at (" + mm(n.x) + ", " +
           mm(n.y) + ") mm, angle " + shortNumber(n.angle) + ", balloon " +
           std::to_string(n.balloonStyle) + "/" + std::to_string(n.balloonSize) + ", " +
           font(n.format) + (n.selectable ? "" : ", not selectable") + "\n";
}

} // namespace

std::string listAnnotations(const HostData& data) {
    std::string out;
    out += data.running ? "host running\n" : "host not running\n";
    for (const auto& [number, on] : data.toggles) {
        out += "toggle " + std::to_string(number) + (on ? " on\n" : " off\n");
    }
    if (!data.activeDoc) {
        return out + "no document\n";
    }
    const DocumentData& doc = *data.activeDoc;
    out += "document " + visible(doc.title) + " type " + std::to_string(doc.type) +
           ", current sheet " + std::to_string(doc.currentSheet) + ", rebuilt " +
           std::to_string(doc.rebuildCount) + " times, " + font(doc.defaultFormat) + "\n";
    if (!doc.undoList.empty()) {
        out += "undo list (oldest first):";
        for (const auto& entry : doc.undoList) {
            out += ' ';
            out += visible(entry.name);
        }
        out += "\n";
    }
    for (const auto& sheet : doc.sheets) {
        out += "sheet " + visible(sheet.name) + " paper " + std::to_string(sheet.paperCode) + ", " +
               mm(sheet.width) + " x " + mm(sheet.height) + " mm\n";
        for (std::size_t v = 0; v < sheet.views.size(); ++v) {
            const ViewData& view = sheet.views[v];
            out += "  view " + visible(view.name) + (v == 0 ? " (the sheet's own)\n" : "\n");
            for (const auto& s : view.symbols) {
                listSymbol(out, s);
            }
            for (const auto& n : view.notes) {
                listNote(out, n);
            }
        }
    }
    return out;
}

} // namespace tvx::sim
