#include "tools/hostprofile/profile_reader.h"

#include <nlohmann/json.hpp>

#include <limits>

namespace tvx::hostprofile {

namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw ProfileError("hostprofile.json: " + path + ": " + what);
}

const json& member(const json& object, const std::string& path, const char* key) {
    const auto it = object.find(key);
    if (it == object.end()) {
        fail(path, std::string("\"") + key + "\" is missing");
    }
    return *it;
}

std::string text(const json& object, const std::string& path, const char* key, bool required = true) {
    if (!required && !object.contains(key)) {
        return {};
    }
    const json& v = member(object, path, key);
    if (!v.is_string()) {
        fail(path + "." + key, "expected a text");
    }
    return v.get<std::string>();
}

bool flag(const json& object, const std::string& path, const char* key) {
    const json& v = member(object, path, key);
    if (!v.is_boolean()) {
        fail(path + "." + key, "expected true or false");
    }
    return v.get<bool>();
}

std::int64_t whole(const json& v, const std::string& path, std::int64_t min, std::int64_t max) {
    if (!v.is_number_integer()) {
        fail(path, "expected a whole number");
    }
    const std::int64_t value = v.is_number_unsigned() && v.get<std::uint64_t>() > std::uint64_t{INT64_MAX}
                                   ? max + 1
                                   : v.get<std::int64_t>();
    if (value < min || value > max) {
        fail(path, "out of range");
    }
    return value;
}

void onlyKeys(const json& object, const std::string& path, std::initializer_list<const char*> keys) {
    for (const auto& [key, value] : object.items()) {
        bool known = false;
        for (const char* k : keys) {
            known = known || key == k;
        }
        if (!known) {
            fail(path, "unknown key \"" + key + "\"");
        }
    }
}

// One of the named values; where the key may be missing, its absence means the first.
template <class E, std::size_t N>
E oneOf(const json& object, const char* key, const Named<E> (&names)[N], bool required) {
    if (!required && !object.contains(key)) {
        return names[0].value;
    }
    const std::string given = text(object, "(top)", key);
    std::string expected;
    for (const Named<E>& n : names) {
        if (given == n.name) {
            return n.value;
        }
        expected += std::string(expected.empty() ? "" : ", ") + "\"" + n.name + "\"";
    }
    fail(key, "expected " + expected);
}

CallRecord readCall(const json& v, const std::string& path) {
    if (!v.is_object()) {
        fail(path, "expected an object");
    }
    onlyKeys(v, path, {"label", "object", "operation", "kind", "standIn", "answer", "nothing", "emptyText",
                       "wholeElements", "lower", "upper", "failure", "count", "medianMs"});
    CallRecord r;
    r.label = text(v, path, "label");
    r.object = text(v, path, "object");
    r.operation = text(v, path, "operation");
    if (r.operation.empty() || r.operation.find_first_of(":=") != std::string::npos) {
        fail(path + ".operation", "expected an operation's name");
    }
    const auto kind = kindFromName(text(v, path, "kind"));
    if (!kind) {
        fail(path + ".kind", "expected \"int\", \"bool\", \"text\", \"array\", \"object\" or \"none\"");
    }
    r.kind = *kind;
    r.standIn = text(v, path, "standIn");
    r.answer = text(v, path, "answer");
    r.nothing = text(v, path, "nothing", false);
    r.emptyText = text(v, path, "emptyText", false);
    r.wholeElements = text(v, path, "wholeElements", false);
    r.failure = text(v, path, "failure", false);
    if (v.contains("lower") != v.contains("upper")) {
        fail(path, "\"lower\" and \"upper\" go together");
    }
    if (v.contains("lower")) {
        constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
        constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
        r.lower = static_cast<std::int32_t>(whole(v.at("lower"), path + ".lower", lo, hi));
        r.upper = static_cast<std::int32_t>(whole(v.at("upper"), path + ".upper", lo, hi));
    }
    r.count = static_cast<std::uint32_t>(whole(member(v, path, "count"), path + ".count", 0, 0xFFFFFFFF));
    const json& median = member(v, path, "medianMs");
    if (!median.is_number() || !(median.get<double>() >= 0.0) || median.get<double>() > 1e9) {
        fail(path + ".medianMs", "expected milliseconds");
    }
    r.medianMs = median.get<double>();
    return r;
}

DocumentEvents readDocumentEvents(const json& v) {
    const std::string path = "documentEvents";
    if (!v.is_object()) {
        fail(path, "expected an object");
    }
    onlyKeys(v, path, {"subscription", "adviseAnswer", "saveTested", "saveNotifications", "saveError"});
    DocumentEvents e;
    e.subscription = oneOf(v, "subscription", kDocSubscriptions, true);
    e.adviseAnswer = text(v, path, "adviseAnswer", false);
    e.saveTested = flag(v, path, "saveTested");
    const json& ids = member(v, path, "saveNotifications");
    if (!ids.is_array() || ids.size() > 64) {
        fail(path + ".saveNotifications", "expected a list of at most 64 DISPIDs");
    }
    for (std::size_t i = 0; i < ids.size(); ++i) {
        e.saveNotifications.push_back(static_cast<std::int32_t>(
            whole(ids[i], path + ".saveNotifications[" + std::to_string(i) + "]", 1, 1000)));
    }
    e.saveError = text(v, path, "saveError", false);
    return e;
}

HostProfile readProfile(const json& root) {
    if (!root.is_object()) {
        fail("(top)", "expected an object");
    }
    onlyKeys(root, "(top)", {"format", "version", "revision", "wrote", "nameScope", "duplicateInOwnerAccepted",
                             "otherSheetName", "undo", "writeError", "drawingChanges", "calls", "documentEvents"});
    if (text(root, "(top)", "format") != "tarvenix-hostprofile") {
        fail("format", "expected \"tarvenix-hostprofile\"");
    }
    if (whole(member(root, "(top)", "version"), "version", 0, INT32_MAX) != 1) {
        fail("version", "only version 1 is known");
    }
    HostProfile p;
    p.revision = text(root, "(top)", "revision");
    p.wrote = flag(root, "(top)", "wrote");
    p.nameScope = oneOf(root, "nameScope", kNameScopes, true);
    p.duplicateInOwnerAccepted = flag(root, "(top)", "duplicateInOwnerAccepted");
    // Profiles written before these were probed have neither.
    p.otherSheetName = oneOf(root, "otherSheetName", kOtherSheetNames, false);
    p.undo = oneOf(root, "undo", kUndoAnswers, false);
    p.writeError = text(root, "(top)", "writeError");
    const json& changes = member(root, "(top)", "drawingChanges");
    if (!changes.is_array()) {
        fail("drawingChanges", "expected a list");
    }
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (!changes[i].is_string()) {
            fail("drawingChanges[" + std::to_string(i) + "]", "expected a text");
        }
        p.drawingChanges.push_back(changes[i].get<std::string>());
    }
    // Profiles written before the drawing's events were probed have none.
    if (root.contains("documentEvents")) {
        p.documentEvents = readDocumentEvents(root.at("documentEvents"));
    }
    const json& calls = member(root, "(top)", "calls");
    if (!calls.is_array()) {
        fail("calls", "expected a list");
    }
    for (std::size_t i = 0; i < calls.size(); ++i) {
        p.calls.push_back(readCall(calls[i], "calls[" + std::to_string(i) + "]"));
    }
    return p;
}

} // namespace

HostProfile parseProfile(const std::string& content) {
    // A probe of the largest drawing writes a few kilobytes; anything near this is no profile.
    constexpr std::size_t kMaxBytes = std::size_t{4} << 20;
    if (content.size() > kMaxBytes) {
        throw ProfileError("hostprofile.json: larger than 4 MiB");
    }
    try {
        return readProfile(json::parse(content));
    } catch (const json::exception& e) {
        throw ProfileError(std::string("hostprofile.json: not readable: ") + e.what());
    }
}

} // namespace tvx::hostprofile
