#include "drawing/sim/drawing_file.h"

#include "drawing/sim/utf8.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <optional>
#include <set>
#include <system_error>
#include <type_traits>
#include <variant>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tvx::sim {

namespace {

using nlohmann::json;

constexpr int kFormatVersion = 1;
constexpr std::size_t kMaxDepth = 32;
constexpr std::size_t kMaxPropertyValues = 64;

std::string displayName(const std::filesystem::path& file) {
    try {
        const std::u8string name = file.u8string();
        return name.empty() ? std::string("<unnamed>") : std::string(name.begin(), name.end());
    } catch (const std::exception&) {
        return "<unprintable file name>";
    }
}

// A key from the file as part of a message: short, on one line.
std::string shownKey(const std::string& key) {
    constexpr std::size_t kLongest = 40;
    std::size_t end = std::min(key.size(), kLongest);
    while (end > 0 && end < key.size() && (static_cast<unsigned char>(key[end]) & 0xC0) == 0x80) {
        --end;
    }
    std::string shown;
    for (std::size_t i = 0; i < end; ++i) {
        const auto c = static_cast<unsigned char>(key[i]);
        shown += c < 0x20 || c == 0x7f ? '?' : key[i];
    }
    return end < key.size() ? shown + "..." : shown;
}

// nlohmann's parser keeps its own stack, but the values it builds are walked recursively later:
// refuse deep nesting before parsing. Each value it builds costs tens of bytes, many times what it
// took in the file, so the number of values is bounded before parsing too: every array element
// and object member after the first follows a comma, every container opens with a bracket.
struct StructureFault {
    std::size_t offset;
    std::string what;
};

std::optional<StructureFault> structureFaultAt(std::string_view text) {
    // An escape takes at most six bytes of the file for a byte of text, so a string longer than
    // this is too long whatever it holds, and need not be built to be refused.
    constexpr std::size_t kMaxStringBytes = 6 * kMaxTextBytes;
    std::size_t depth = 0;
    std::size_t values = 0;
    std::size_t stringStart = 0;
    bool inString = false;
    bool escaped = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (i - stringStart > kMaxStringBytes) {
                return StructureFault{stringStart, "text longer than " +
                                                       std::to_string(kMaxTextBytes) + " bytes"};
            }
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
            stringStart = i;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth) {
                return StructureFault{i, "nested deeper than " + std::to_string(kMaxDepth) + " levels"};
            }
            ++values;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        } else if (c == ',') {
            ++values;
        }
        if (values > kMaxJsonValues) {
            return StructureFault{i, "more than " + std::to_string(kMaxJsonValues) + " values"};
        }
    }
    return std::nullopt;
}

std::pair<std::size_t, std::size_t> lineAndColumn(std::string_view text, std::size_t offset) {
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return {line, column};
}

// ---- reading --------------------------------------------------------------------------------

class Reader {
public:
    explicit Reader(std::string source) : source_(std::move(source)) {}

    [[noreturn]] void fail(const std::string& path, const std::string& what) const {
        throw DrawingFileError(source_ + ": " + (path.empty() ? std::string("top level") : path) +
                               ": " + what);
    }

    void onlyKeys(const json& object, const std::string& path,
                  std::initializer_list<const char*> keys) const {
        for (const auto& item : object.items()) {
            bool known = false;
            for (const char* k : keys) {
                known = known || item.key() == k;
            }
            if (!known) {
                fail(join(path, item.key()), "unknown field");
            }
        }
    }

    const json& object(const json& v, const std::string& path) const {
        if (!v.is_object()) {
            fail(path, "expected an object");
        }
        return v;
    }

    const json& array(const json& v, const std::string& path, std::size_t limit) const {
        if (!v.is_array()) {
            fail(path, "expected an array");
        }
        if (v.size() > limit) {
            fail(path, "more than " + std::to_string(limit) + " entries");
        }
        return v;
    }

    // The member, or nullptr when it is absent and may be.
    const json* member(const json& object, const std::string& path, const char* key,
                       bool required) const {
        const auto found = object.find(key);
        if (found == object.end()) {
            if (required) {
                fail(join(path, key), "missing");
            }
            return nullptr;
        }
        return &*found;
    }

    std::int64_t integer(const json& v, const std::string& path, std::int64_t min,
                         std::int64_t max) const {
        std::int64_t value = 0;
        if (v.is_number_unsigned()) {
            const auto u = v.get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                fail(path, "out of range");
            }
            value = static_cast<std::int64_t>(u);
        } else if (v.is_number_integer()) {
            value = v.get<std::int64_t>();
        } else {
            fail(path, "expected an integer");
        }
        if (value < min || value > max) {
            fail(path, "expected an integer from " + std::to_string(min) + " to " +
                           std::to_string(max) + ", found " + std::to_string(value));
        }
        return value;
    }

    std::int32_t int32(const json& v, const std::string& path, std::int32_t min,
                       std::int32_t max) const {
        return static_cast<std::int32_t>(integer(v, path, min, max));
    }

    double number(const json& v, const std::string& path) const {
        if (!v.is_number()) {
            fail(path, "expected a number");
        }
        const auto value = v.get<double>();
        if (!std::isfinite(value)) {
            fail(path, "expected a finite number");
        }
        return value;
    }

    double positive(const json& v, const std::string& path, double max) const {
        const double value = number(v, path);
        if (!(value > 0.0) || value > max) {
            fail(path, "expected a number above 0 and at most " + std::to_string(max));
        }
        return value;
    }

    bool boolean(const json& v, const std::string& path) const {
        if (!v.is_boolean()) {
            fail(path, "expected true or false");
        }
        return v.get<bool>();
    }

    std::wstring text(const json& v, const std::string& path) const {
        if (!v.is_string()) {
            fail(path, "expected a string");
        }
        const auto& bytes = v.get_ref<const std::string&>();
        if (bytes.size() > kMaxTextBytes) {
            fail(path, "text longer than " + std::to_string(kMaxTextBytes) + " bytes");
        }
        try {
            return fromUtf8(bytes);
        } catch (const Utf8Error& e) {
            fail(path, e.what());
        }
    }

    static std::string join(const std::string& path, const std::string& key) {
        return path.empty() ? shownKey(key) : path + "." + shownKey(key);
    }
    static std::string index(const std::string& path, std::size_t i) {
        return path + "[" + std::to_string(i) + "]";
    }

private:
    std::string source_;
};

class DrawingReader {
public:
    explicit DrawingReader(std::string source) : r_(std::move(source)) {}

    HostData read(const json& root) {
        HostData data;
        r_.object(root, "");
        r_.onlyKeys(root, "", {"format", "running", "toggles", "behaviour", "document"});
        r_.int32(*r_.member(root, "", "format", true), "format", kFormatVersion, kFormatVersion);
        if (const json* v = r_.member(root, "", "running", false)) {
            data.running = r_.boolean(*v, "running");
        }
        if (const json* v = r_.member(root, "", "toggles", false)) {
            data.toggles = toggles(*v, "toggles");
        }
        if (const json* v = r_.member(root, "", "behaviour", false)) {
            data.behaviour = behaviour(*v, "behaviour");
        }
        nameScope_ = data.behaviour.nameScope;
        const json& doc = *r_.member(root, "", "document", true);
        if (!doc.is_null()) {
            data.activeDoc = document(doc, "document");
        }
        return data;
    }

private:
    std::map<std::int32_t, bool> toggles(const json& v, const std::string& path) const {
        r_.object(v, path);
        std::map<std::int32_t, bool> out;
        for (const auto& item : v.items()) {
            const std::string itemPath = Reader::join(path, item.key());
            out[keyNumber(item.key(), itemPath, 0, std::numeric_limits<std::int32_t>::max())] =
                r_.boolean(item.value(), itemPath);
        }
        return out;
    }

    Behaviour behaviour(const json& v, const std::string& path) const {
        r_.object(v, path);
        r_.onlyKeys(v, path, {"refuseSymbolInsert", "noteInsertReturnsEmpty", "nameScope", "undoCalls"});
        Behaviour b;
        if (const json* f = r_.member(v, path, "refuseSymbolInsert", false)) {
            b.refuseSymbolInsert = r_.boolean(*f, Reader::join(path, "refuseSymbolInsert"));
        }
        if (const json* f = r_.member(v, path, "noteInsertReturnsEmpty", false)) {
            b.noteInsertReturnsEmpty =
                r_.boolean(*f, Reader::join(path, "noteInsertReturnsEmpty"));
        }
        if (const json* f = r_.member(v, path, "nameScope", false)) {
            const std::string scopePath = Reader::join(path, "nameScope");
            const std::wstring scope = r_.text(*f, scopePath);
            if (scope == L"owner") {
                b.nameScope = NameScope::owner;
            } else if (scope == L"document") {
                b.nameScope = NameScope::document;
            } else {
                r_.fail(scopePath, "expected \"owner\" or \"document\"");
            }
        }
        if (const json* f = r_.member(v, path, "undoCalls", false)) {
            const std::string callsPath = Reader::join(path, "undoCalls");
            const std::wstring calls = r_.text(*f, callsPath);
            if (calls == L"current") {
                b.undoCalls = UndoCalls::current;
            } else if (calls == L"older") {
                b.undoCalls = UndoCalls::older;
            } else if (calls == L"none") {
                b.undoCalls = UndoCalls::none;
            } else {
                r_.fail(callsPath, "expected \"current\", \"older\" or \"none\"");
            }
        }
        return b;
    }

    std::int32_t keyNumber(const std::string& key, const std::string& path, std::int32_t min,
                           std::int32_t max) const {
        if (key.empty() || key.size() > 10 || key.find_first_not_of("0123456789") != key.npos ||
            (key.size() > 1 && key[0] == '0')) {
            r_.fail(path, "expected a decimal number as the key");
        }
        const long long value = std::stoll(key);
        if (value < min || value > max) {
            r_.fail(path, "key out of range " + std::to_string(min) + " to " + std::to_string(max));
        }
        return static_cast<std::int32_t>(value);
    }

    DocumentData document(const json& v, const std::string& path) {
        r_.object(v, path);
        r_.onlyKeys(v, path,
                    {"type", "title", "currentSheet", "rebuildCount", "defaultFormat", "sheets", "undo"});
        DocumentData doc;
        doc.type = r_.int32(*r_.member(v, path, "type", true), Reader::join(path, "type"), 0, 4);
        if (const json* f = r_.member(v, path, "title", false)) {
            doc.title = r_.text(*f, Reader::join(path, "title"));
        }
        if (const json* f = r_.member(v, path, "rebuildCount", false)) {
            doc.rebuildCount = r_.int32(*f, Reader::join(path, "rebuildCount"), 0,
                                        std::numeric_limits<std::int32_t>::max());
        }
        if (const json* f = r_.member(v, path, "defaultFormat", false)) {
            doc.defaultFormat = format(*f, Reader::join(path, "defaultFormat"), TextFormatData{});
        }
        const std::string sheetsPath = Reader::join(path, "sheets");
        const json& sheets = r_.array(*r_.member(v, path, "sheets", true), sheetsPath, kMaxSheets);
        std::set<std::wstring> sheetNames;
        for (std::size_t i = 0; i < sheets.size(); ++i) {
            doc.sheets.push_back(sheet(sheets[i], Reader::index(sheetsPath, i), doc));
            if (!sheetNames.insert(doc.sheets.back().name).second) {
                r_.fail(Reader::join(Reader::index(sheetsPath, i), "name"),
                        "another sheet has this name");
            }
        }
        if (doc.type == kDrawingDocType && doc.sheets.empty()) {
            r_.fail(sheetsPath, "a drawing needs at least one sheet");
        }
        // Only the names: a host that opens a drawing cannot take back what was done before.
        if (const json* f = r_.member(v, path, "undo", false)) {
            const std::string undoPath = Reader::join(path, "undo");
            const json& names = r_.array(*f, undoPath, kMaxUndoNames);
            for (std::size_t i = 0; i < names.size(); ++i) {
                doc.undoList.push_back(UndoEntry{r_.text(names[i], Reader::index(undoPath, i)), nullptr});
            }
        }
        if (const json* f = r_.member(v, path, "currentSheet", false)) {
            const auto last = doc.sheets.empty() ? 0 : doc.sheets.size() - 1;
            doc.currentSheet = static_cast<std::size_t>(
                r_.integer(*f, Reader::join(path, "currentSheet"), 0,
                           static_cast<std::int64_t>(last)));
        }
        return doc;
    }

    SheetData sheet(const json& v, const std::string& path, const DocumentData& doc) {
        r_.object(v, path);
        r_.onlyKeys(v, path, {"name", "paperCode", "width", "height", "properties", "views"});
        SheetData sheet;
        sheet.name = r_.text(*r_.member(v, path, "name", true), Reader::join(path, "name"));
        if (sheet.name.empty()) {
            r_.fail(Reader::join(path, "name"), "a sheet needs a name");
        }
        sheet.paperCode =
            r_.int32(*r_.member(v, path, "paperCode", true), Reader::join(path, "paperCode"), 0, 12);
        sheet.width =
            r_.positive(*r_.member(v, path, "width", true), Reader::join(path, "width"), 10.0);
        sheet.height =
            r_.positive(*r_.member(v, path, "height", true), Reader::join(path, "height"), 10.0);
        if (const json* f = r_.member(v, path, "properties", false)) {
            sheet.propertiesOverride = properties(*f, Reader::join(path, "properties"));
        }
        const std::string viewsPath = Reader::join(path, "views");
        const json& views = r_.array(*r_.member(v, path, "views", true), viewsPath, kMaxViews);
        if (views.empty()) {
            r_.fail(viewsPath, "a sheet needs at least its own view");
        }
        for (std::size_t i = 0; i < views.size(); ++i) {
            if (++viewCount_ > kMaxViews) {
                r_.fail(Reader::index(viewsPath, i),
                        "more than " + std::to_string(kMaxViews) + " views in the drawing");
            }
            sheet.views.push_back(view(views[i], Reader::index(viewsPath, i), doc));
        }
        return sheet;
    }

    host::HostScalar scalar(const json& v, const std::string& path) const {
        if (v.is_null()) {
            return std::monostate{};
        }
        if (v.is_boolean()) {
            return v.get<bool>();
        }
        if (v.is_number_integer() || v.is_number_unsigned()) {
            return r_.integer(v, path, std::numeric_limits<std::int64_t>::min(),
                              std::numeric_limits<std::int64_t>::max());
        }
        if (v.is_number_float()) {
            return r_.number(v, path);
        }
        if (v.is_string()) {
            return r_.text(v, path);
        }
        r_.fail(path, "expected null, true, false, a number or a string");
    }

    host::HostValue properties(const json& v, const std::string& path) const {
        if (!v.is_array()) {
            return scalar(v, path);
        }
        r_.array(v, path, kMaxPropertyValues);
        host::HostArray values;
        for (std::size_t i = 0; i < v.size(); ++i) {
            values.push_back(scalar(v[i], Reader::index(path, i)));
        }
        return values;
    }

    ViewData view(const json& v, const std::string& path, const DocumentData& doc) {
        r_.object(v, path);
        r_.onlyKeys(v, path, {"name", "symbols", "notes"});
        ViewData view;
        view.name = r_.text(*r_.member(v, path, "name", true), Reader::join(path, "name"));
        if (nameScope_ == NameScope::owner) {
            annotationNames_.clear();
        }
        if (const json* f = r_.member(v, path, "symbols", false)) {
            const std::string listPath = Reader::join(path, "symbols");
            r_.array(*f, listPath, kMaxAnnotations);
            for (std::size_t i = 0; i < f->size(); ++i) {
                if (++symbolCount_ > kMaxAnnotations) {
                    r_.fail(Reader::index(listPath, i), "more than " +
                                                            std::to_string(kMaxAnnotations) +
                                                            " symbols in the drawing");
                }
                view.symbols.push_back(symbol((*f)[i], Reader::index(listPath, i), doc));
                uniqueName(view.symbols.back().name, Reader::index(listPath, i));
            }
        }
        if (const json* f = r_.member(v, path, "notes", false)) {
            const std::string listPath = Reader::join(path, "notes");
            r_.array(*f, listPath, kMaxAnnotations);
            for (std::size_t i = 0; i < f->size(); ++i) {
                if (++noteCount_ > kMaxAnnotations) {
                    r_.fail(Reader::index(listPath, i), "more than " +
                                                            std::to_string(kMaxAnnotations) +
                                                            " notes in the drawing");
                }
                view.notes.push_back(note((*f)[i], Reader::index(listPath, i), doc));
                uniqueName(view.notes.back().name, Reader::index(listPath, i));
            }
        }
        return view;
    }

    // The host keeps annotation names unique within their scope; a file must too.
    void uniqueName(const std::wstring& name, const std::string& path) {
        if (!name.empty() && !annotationNames_.insert(name).second) {
            r_.fail(Reader::join(path, "name"), "another annotation has this name");
        }
    }

    SymbolData symbol(const json& v, const std::string& path, const DocumentData& doc) const {
        r_.object(v, path);
        r_.onlyKeys(v, path, {"type", "texts", "name", "format", "x", "y", "selectable"});
        SymbolData s;
        s.symbolType = r_.int32(*r_.member(v, path, "type", true), Reader::join(path, "type"), 0, 9);
        if (const json* f = r_.member(v, path, "texts", false)) {
            const std::string textsPath = Reader::join(path, "texts");
            r_.object(*f, textsPath);
            for (const auto& item : f->items()) {
                const std::string itemPath = Reader::join(textsPath, item.key());
                s.texts[keyNumber(item.key(), itemPath, 1, 10)] = r_.text(item.value(), itemPath);
            }
        }
        if (const json* f = r_.member(v, path, "name", false)) {
            s.name = r_.text(*f, Reader::join(path, "name"));
        }
        s.format = doc.defaultFormat;
        if (const json* f = r_.member(v, path, "format", false)) {
            s.format = format(*f, Reader::join(path, "format"), doc.defaultFormat);
        }
        s.x = r_.number(*r_.member(v, path, "x", true), Reader::join(path, "x"));
        s.y = r_.number(*r_.member(v, path, "y", true), Reader::join(path, "y"));
        if (const json* f = r_.member(v, path, "selectable", false)) {
            s.selectable = r_.boolean(*f, Reader::join(path, "selectable"));
        }
        return s;
    }

    NoteData note(const json& v, const std::string& path, const DocumentData& doc) const {
        r_.object(v, path);
        r_.onlyKeys(v, path,
                    {"text", "name", "x", "y", "angle", "balloonStyle", "balloonSize", "format", "selectable"});
        NoteData n;
        n.text = r_.text(*r_.member(v, path, "text", true), Reader::join(path, "text"));
        if (const json* f = r_.member(v, path, "name", false)) {
            n.name = r_.text(*f, Reader::join(path, "name"));
        }
        n.x = r_.number(*r_.member(v, path, "x", true), Reader::join(path, "x"));
        n.y = r_.number(*r_.member(v, path, "y", true), Reader::join(path, "y"));
        if (const json* f = r_.member(v, path, "angle", false)) {
            n.angle = r_.number(*f, Reader::join(path, "angle"));
        }
        if (const json* f = r_.member(v, path, "balloonStyle", false)) {
            n.balloonStyle = r_.int32(*f, Reader::join(path, "balloonStyle"), 0, 20);
        }
        if (const json* f = r_.member(v, path, "balloonSize", false)) {
            n.balloonSize = r_.int32(*f, Reader::join(path, "balloonSize"), 0, 6);
        }
        n.format = doc.defaultFormat;
        if (const json* f = r_.member(v, path, "format", false)) {
            n.format = format(*f, Reader::join(path, "format"), doc.defaultFormat);
        }
        if (const json* f = r_.member(v, path, "selectable", false)) {
            n.selectable = r_.boolean(*f, Reader::join(path, "selectable"));
        }
        return n;
    }

    // A format names its height once, in the unit it was last set in.
    TextFormatData format(const json& v, const std::string& path,
                          const TextFormatData& fallback) const {
        r_.object(v, path);
        r_.onlyKeys(v, path, {"font", "height", "points", "bold"});
        TextFormatData f = fallback;
        if (const json* m = r_.member(v, path, "font", false)) {
            f.typeFaceName = r_.text(*m, Reader::join(path, "font"));
            if (f.typeFaceName.empty()) {
                r_.fail(Reader::join(path, "font"), "a font needs a name");
            }
        }
        const json* height = r_.member(v, path, "height", false);
        const json* points = r_.member(v, path, "points", false);
        if (height != nullptr && points != nullptr) {
            r_.fail(path, "give either height or points, not both");
        }
        if (height != nullptr) {
            f.setCharHeight(r_.positive(*height, Reader::join(path, "height"), 1.0));
        }
        if (points != nullptr) {
            f.setCharHeightInPts(r_.int32(*points, Reader::join(path, "points"), 1, 2000));
        }
        if (const json* m = r_.member(v, path, "bold", false)) {
            f.bold = r_.boolean(*m, Reader::join(path, "bold"));
        }
        return f;
    }

    Reader r_;
    std::size_t viewCount_ = 0;
    std::size_t symbolCount_ = 0;
    std::size_t noteCount_ = 0;
    NameScope nameScope_ = NameScope::owner;
    std::set<std::wstring> annotationNames_; // of the view read now, or of the whole document
};

// ---- writing --------------------------------------------------------------------------------

class Writer {
public:
    json write(const HostData& data) {
        json root = json::object();
        root["format"] = kFormatVersion;
        root["running"] = data.running;
        json toggles = json::object();
        for (const auto& [number, on] : data.toggles) {
            toggles[std::to_string(number)] = on;
        }
        root["toggles"] = toggles;
        root["behaviour"] = json{
            {"refuseSymbolInsert", data.behaviour.refuseSymbolInsert},
            {"noteInsertReturnsEmpty", data.behaviour.noteInsertReturnsEmpty},
            {"nameScope", data.behaviour.nameScope == NameScope::document ? "document" : "owner"}};
        // Written only where it differs from a current host, so older files keep their bytes.
        if (data.behaviour.undoCalls != UndoCalls::current) {
            root["behaviour"]["undoCalls"] = data.behaviour.undoCalls == UndoCalls::older ? "older" : "none";
        }
        root["document"] = data.activeDoc ? document(*data.activeDoc, "document") : json(nullptr);
        return root;
    }

private:
    [[noreturn]] static void fail(const std::string& path, const std::string& what) {
        throw DrawingFileError("cannot write the drawing: " + path + ": " + what);
    }

    static std::string text(const std::wstring& value, const std::string& path) {
        try {
            return toUtf8(value);
        } catch (const Utf8Error& e) {
            fail(path, e.what());
        }
    }

    static double number(double value, const std::string& path) {
        if (!std::isfinite(value)) {
            fail(path, "not a finite number");
        }
        return value;
    }

    json document(const DocumentData& doc, const std::string& path) const {
        json out = json::object();
        out["type"] = doc.type;
        out["title"] = text(doc.title, path + ".title");
        out["currentSheet"] = doc.currentSheet;
        out["rebuildCount"] = doc.rebuildCount;
        out["defaultFormat"] = format(doc.defaultFormat, path + ".defaultFormat");
        json sheets = json::array();
        for (std::size_t i = 0; i < doc.sheets.size(); ++i) {
            sheets.push_back(sheet(doc.sheets[i], path + ".sheets[" + std::to_string(i) + "]"));
        }
        out["sheets"] = std::move(sheets);
        if (!doc.undoList.empty()) {
            json names = json::array();
            for (std::size_t i = 0; i < doc.undoList.size(); ++i) {
                names.push_back(text(doc.undoList[i].name, path + ".undo[" + std::to_string(i) + "]"));
            }
            out["undo"] = std::move(names);
        }
        return out;
    }

    json sheet(const SheetData& s, const std::string& path) const {
        json out = json::object();
        out["name"] = text(s.name, path + ".name");
        out["paperCode"] = s.paperCode;
        out["width"] = number(s.width, path + ".width");
        out["height"] = number(s.height, path + ".height");
        if (s.propertiesOverride) {
            out["properties"] = properties(*s.propertiesOverride, path + ".properties");
        }
        json views = json::array();
        for (std::size_t i = 0; i < s.views.size(); ++i) {
            views.push_back(view(s.views[i], path + ".views[" + std::to_string(i) + "]"));
        }
        out["views"] = std::move(views);
        return out;
    }

    static json scalar(const host::HostScalar& s, const std::string& path) {
        return std::visit(
            [&path](const auto& v) -> json {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::monostate>) {
                    return nullptr;
                } else if constexpr (std::is_same_v<T, double>) {
                    return number(v, path);
                } else if constexpr (std::is_same_v<T, std::wstring>) {
                    return text(v, path);
                } else {
                    return v;
                }
            },
            s);
    }

    static json properties(const host::HostValue& v, const std::string& path) {
        if (const auto* s = std::get_if<host::HostScalar>(&v)) {
            return scalar(*s, path);
        }
        json out = json::array();
        const auto& values = std::get<host::HostArray>(v);
        for (std::size_t i = 0; i < values.size(); ++i) {
            out.push_back(scalar(values[i], path + "[" + std::to_string(i) + "]"));
        }
        return out;
    }

    json view(const ViewData& v, const std::string& path) const {
        json out = json::object();
        out["name"] = text(v.name, path + ".name");
        json symbols = json::array();
        for (std::size_t i = 0; i < v.symbols.size(); ++i) {
            symbols.push_back(symbol(v.symbols[i], path + ".symbols[" + std::to_string(i) + "]"));
        }
        out["symbols"] = std::move(symbols);
        json notes = json::array();
        for (std::size_t i = 0; i < v.notes.size(); ++i) {
            notes.push_back(note(v.notes[i], path + ".notes[" + std::to_string(i) + "]"));
        }
        out["notes"] = std::move(notes);
        return out;
    }

    json symbol(const SymbolData& s, const std::string& path) const {
        json out = json::object();
        out["type"] = s.symbolType;
        json texts = json::object();
        for (const auto& [index, value] : s.texts) {
            texts[std::to_string(index)] = text(value, path + ".texts." + std::to_string(index));
        }
        out["texts"] = std::move(texts);
        out["name"] = text(s.name, path + ".name");
        out["format"] = format(s.format, path + ".format");
        out["x"] = number(s.x, path + ".x");
        out["y"] = number(s.y, path + ".y");
        out["selectable"] = s.selectable;
        return out;
    }

    json note(const NoteData& n, const std::string& path) const {
        json out = json::object();
        out["text"] = text(n.text, path + ".text");
        out["name"] = text(n.name, path + ".name");
        out["x"] = number(n.x, path + ".x");
        out["y"] = number(n.y, path + ".y");
        out["angle"] = number(n.angle, path + ".angle");
        out["balloonStyle"] = n.balloonStyle;
        out["balloonSize"] = n.balloonSize;
        out["format"] = format(n.format, path + ".format");
        // Only when locked, so that the drawings written before notes could be keep their bytes.
        if (!n.selectable) {
            out["selectable"] = false;
        }
        return out;
    }

    static json format(const TextFormatData& f, const std::string& path) {
        json out = json::object();
        out["font"] = text(f.typeFaceName, path + ".font");
        if (f.heightInPts) {
            out["points"] = f.charHeightInPts;
        } else {
            out["height"] = number(f.charHeight, path + ".height");
        }
        out["bold"] = f.bold;
        return out;
    }
};

std::atomic<unsigned> tempCounter{0};

void replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef _WIN32
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ==
        0) {
        throw std::filesystem::filesystem_error(
            "rename", from, to,
            std::error_code(static_cast<int>(GetLastError()), std::system_category()));
    }
#else
    std::filesystem::rename(from, to);
#endif
}

} // namespace

HostData parseDrawing(std::string_view text, const std::string& sourceName) {
    if (text.size() > kMaxDrawingFileBytes) {
        throw DrawingFileError(sourceName + ": larger than " +
                               std::to_string(kMaxDrawingFileBytes / (1024 * 1024)) + " MiB");
    }
    if (const auto fault = structureFaultAt(text)) {
        const auto [line, column] = lineAndColumn(text, fault->offset);
        throw DrawingFileError(sourceName + ": line " + std::to_string(line) + ", column " +
                               std::to_string(column) + ": " + fault->what);
    }
    json root;
    try {
        root = json::parse(text.begin(), text.end());
    } catch (const json::parse_error& e) {
        const std::size_t offset = e.byte > 0 ? e.byte - 1 : 0;
        const auto [line, column] = lineAndColumn(text, offset);
        std::string detail = e.what();
        const auto colon = detail.find(": ", detail.find("column"));
        if (colon != std::string::npos) {
            detail = detail.substr(colon + 2);
        }
        throw DrawingFileError(sourceName + ": line " + std::to_string(line) + ", column " +
                               std::to_string(column) + ": " + detail);
    } catch (const json::exception& e) {
        // A number too large for a double: nlohmann names the literal but not where it stands.
        std::string detail = e.what();
        const auto bracket = detail.find("] ");
        if (bracket != std::string::npos) {
            detail = detail.substr(bracket + 2);
        }
        std::string where;
        const auto open = detail.find('\'');
        const auto close = detail.rfind('\'');
        if (open != std::string::npos && close > open + 1) {
            const auto at = text.find(detail.substr(open + 1, close - open - 1));
            if (at != std::string_view::npos) {
                const auto [line, column] = lineAndColumn(text, at);
                where = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
            }
        }
        throw DrawingFileError(sourceName + ": " + where + detail);
    }
    return DrawingReader(sourceName).read(root);
}

HostData loadDrawingFile(const std::filesystem::path& file) {
    const std::string name = displayName(file);
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) {
        throw DrawingFileError(name + ": cannot be read: " + ec.message());
    }
    if (size > kMaxDrawingFileBytes) {
        throw DrawingFileError(name + ": larger than " +
                               std::to_string(kMaxDrawingFileBytes / (1024 * 1024)) + " MiB");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw DrawingFileError(name + ": cannot be opened");
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.gcount() != static_cast<std::streamsize>(text.size()) || in.bad()) {
        throw DrawingFileError(name + ": cannot be read completely");
    }
    return parseDrawing(text, name);
}

std::string drawingToJson(const HostData& data) {
    return Writer().write(data).dump(2) + "\n";
}

void saveDrawingFile(const HostData& data, const std::filesystem::path& file) {
    const std::string name = displayName(file);
    std::string text;
    try {
        text = drawingToJson(data);
    } catch (const DrawingFileError& e) {
        throw DrawingFileError(name + ": " + e.what());
    }
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::filesystem::path temp = file;
    temp += ".tmp-" + std::to_string(stamp) + "-" + std::to_string(tempCounter++);
    try {
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            if (!out) {
                throw DrawingFileError(name + ": cannot write beside it (" + displayName(temp) +
                                       ")");
            }
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            out.flush();
            if (!out) {
                throw DrawingFileError(name + ": writing failed");
            }
        }
        replaceFile(temp, file);
    } catch (const DrawingFileError&) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        throw;
    } catch (const std::exception& e) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        throw DrawingFileError(name + ": cannot be replaced: " + e.what());
    }
}

} // namespace tvx::sim
