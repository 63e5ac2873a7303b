// Drawing files: exact round trips, clear errors for broken files, and saves that never leave
// a half-written file.
#include "drawing/sim/drawing_file.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

namespace tvx::sim {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kSamples = TVX_SAMPLES_DIR;

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("tvx-sim-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(path_), fs::directory_iterator()));
    }

private:
    fs::path path_;
};

TEST(DrawingFile, SamplesAreStoredInTheWritersOwnFormAndRoundTrip) {
    for (const char* name : {"sample-drawing.json", "rerun-drawing.json"}) {
        SCOPED_TRACE(name);
        const std::string original = readBytes(kSamples / name);
        const HostData loaded = loadDrawingFile(kSamples / name);
        EXPECT_EQ(drawingToJson(loaded), original);

        TempDir dir;
        saveDrawingFile(loaded, dir.path() / name);
        const HostData again = loadDrawingFile(dir.path() / name);
        EXPECT_EQ(again, loaded);
        EXPECT_EQ(drawingToJson(again), original);
    }
}

TEST(DrawingFile, SampleHoldsWhatTheRunsNeed) {
    const HostData data = loadDrawingFile(kSamples / "rerun-drawing.json");
    ASSERT_TRUE(data.activeDoc);
    const SheetData& sheet = data.activeDoc->sheets.at(0);
    EXPECT_EQ(sheet.name, L"Blatt1");
    EXPECT_EQ(sheet.paperCode, 8);
    EXPECT_EQ(sheet.views.size(), 3u);
    const NoteData& zyrNote = sheet.views[0].notes.back();
    EXPECT_EQ(zyrNote.name, L"ZyrNote");
    EXPECT_EQ(zyrNote.text, L"(" + std::wstring(16, L' ') + L")");
    EXPECT_TRUE(zyrNote.format.heightInPts);
    EXPECT_EQ(zyrNote.format.charHeightInPts, 14);
    EXPECT_EQ(data.activeDoc->sheets.at(1).name, L"Blatt2");
    EXPECT_TRUE(data.toggles.at(24));
}

TEST(DrawingFile, EverythingInTheModelSurvivesTheRoundTrip) {
    HostData data = makeDrawingHost({makeSheet(L"Blatt \u00c4")});
    data.running = false;
    data.toggles = {{24, false}, {7, true}};
    data.behaviour = {true, true, NameScope::document};
    DocumentData& doc = *data.activeDoc;
    doc.rebuildCount = 3;
    doc.defaultFormat.setCharHeightInPts(12);
    doc.defaultFormat.bold = true;
    SymbolData s;
    s.symbolType = 9;
    s.texts = {{1, L""}, {10, L"x\"y\\z\n"}};
    s.x = -1.0 / 3.0;
    s.y = 1e-300;
    s.selectable = false;
    s.format.setCharHeight(0.00123456789);
    doc.sheets[0].views[0].symbols.push_back(s);
    NoteData n;
    n.text = L"\U0001D11E";
    n.angle = 3.14159;
    n.balloonStyle = 15;
    n.balloonSize = 6;
    doc.sheets[0].views[0].notes.push_back(n);
    doc.sheets[0].propertiesOverride = host::HostArray{
        host::HostScalar{}, true, std::int64_t{-5}, 8.0, std::wstring(L"A3")};

    const HostData back = parseDrawing(drawingToJson(data), "memory");
    EXPECT_EQ(back, data);
    EXPECT_EQ(drawingToJson(back), drawingToJson(data));
}

// A small valid drawing as JSON, to break one thing at a time.
json validDrawing() {
    return json::parse(R"({
      "format": 1,
      "document": {
        "type": 3,
        "sheets": [{
          "name": "Blatt1", "paperCode": 8, "width": 0.42, "height": 0.297,
          "views": [
            {"name": "Blatt1", "symbols": [{"type": 1, "x": 0.1, "y": 0.1, "name": "S1"}]},
            {"name": "Zeichenansicht1", "symbols": [
              {"type": 0, "x": 0.1, "y": 0.1, "name": "S2"},
              {"type": 0, "x": 0.1, "y": 0.1, "name": "S3"},
              {"type": 2, "x": 0.2, "y": 0.1, "texts": {"5": "1,6"}}]}]
        }]
      }
    })");
}

TEST(DrawingFile, TheBaseOfTheBrokenFilesIsValid) {
    EXPECT_NO_THROW(parseDrawing(validDrawing().dump(), "base"));
    json twoOwners = validDrawing();
    twoOwners["document"]["sheets"][0]["views"][1]["symbols"][1]["name"] = "S1";
    EXPECT_EQ(parseDrawing(twoOwners.dump(), "owners").behaviour.nameScope, NameScope::owner);
}

TEST(DrawingFile, BrokenFilesNameTheFileAndThePlace) {
    struct Case {
        const char* what;
        std::function<std::string()> text;
        const char* message;
    };
    const auto edited = [](std::function<void(json&)> edit) {
        return [edit] {
            json j = validDrawing();
            edit(j);
            return j.dump(1);
        };
    };
    const auto literal = [](std::string text) { return [text] { return text; }; };
    const std::string deep = std::string(40, '[') + std::string(40, ']');
    const std::vector<Case> cases{
        {"empty", literal(""), "broken.json: line 1, column 1: "},
        {"syntax", literal("{\n  \"format\": 1,\n  \"document\": nul\n}"),
         "broken.json: line 3, column "},
        {"trailing text", literal("{\"format\": 1, \"document\": null} x"), "line 1, column 33"},
        {"invalid UTF-8", literal("{\"format\": 1,\n \"document\": \"\xC3\x28\"}"), "line 2, column"},
        {"deep nesting", literal(deep), "nested deeper than"},
        {"not an object", literal("[]"), "broken.json: top level: expected an object"},
        {"wrong version", literal(R"({"format": 2, "document": null})"),
         "broken.json: format: expected an integer from 1 to 1, found 2"},
        {"no document", literal(R"({"format": 1})"), "broken.json: document: missing"},
        {"unknown field", edited([](json& j) { j["document"]["sheets"][0]["colour"] = 1; }),
         "broken.json: document.sheets[0].colour: unknown field"},
        {"type as text",
         edited([](json& j) { j["document"]["sheets"][0]["views"][1]["symbols"][2]["type"] = "1"; }),
         "broken.json: document.sheets[0].views[1].symbols[2].type: expected an integer"},
        {"type as fraction",
         edited([](json& j) { j["document"]["sheets"][0]["views"][0]["symbols"][0]["type"] = 1.5; }),
         "document.sheets[0].views[0].symbols[0].type: expected an integer"},
        {"paper code", edited([](json& j) { j["document"]["sheets"][0]["paperCode"] = 13; }),
         "document.sheets[0].paperCode: expected an integer from 0 to 12, found 13"},
        {"huge coordinate",
         literal(R"({"format":1,"document":{"type":3,"sheets":[{"name":"B","paperCode":8,)"
                 R"("width":0.42,"height":0.297,"views":[{"name":"B","symbols":)"
                 R"([{"type":1,"x":1e999,"y":0}]}]}]}})"),
         "broken.json: line 1, column 144: number overflow parsing '1e999'"},
        {"zero width", edited([](json& j) { j["document"]["sheets"][0]["width"] = 0; }),
         "document.sheets[0].width: expected a number above 0"},
        {"no own view", edited([](json& j) { j["document"]["sheets"][0]["views"] = json::array(); }),
         "document.sheets[0].views: a sheet needs at least its own view"},
        {"no sheets", edited([](json& j) { j["document"]["sheets"] = json::array(); }),
         "document.sheets: a drawing needs at least one sheet"},
        {"current sheet", edited([](json& j) { j["document"]["currentSheet"] = 1; }),
         "document.currentSheet: expected an integer from 0 to 0, found 1"},
        {"text index",
         edited([](json& j) { j["document"]["sheets"][0]["views"][0]["symbols"][0]["texts"]["11"] = ""; }),
         "document.sheets[0].views[0].symbols[0].texts.11: key out of range 1 to 10"},
        {"text as number",
         edited([](json& j) { j["document"]["sheets"][0]["views"][0]["symbols"][0]["texts"]["2"] = 2; }),
         "symbols[0].texts.2: expected a string"},
        {"long text",
         edited([](json& j) {
             j["document"]["sheets"][0]["views"][0]["symbols"][0]["texts"]["2"] =
                 std::string(70000, 'x');
         }),
         "symbols[0].texts.2: text longer than 65536 bytes"},
        {"duplicate sheet",
         edited([](json& j) {
             json copy = j["document"]["sheets"][0];
             copy["views"] = json::array({{{"name", "Blatt1"}}});
             j["document"]["sheets"].push_back(copy);
         }),
         "document.sheets[1].name: another sheet has this name"},
        {"duplicate annotation",
         edited([](json& j) { j["document"]["sheets"][0]["views"][1]["symbols"][1]["name"] = "S2"; }),
         "document.sheets[0].views[1].symbols[1].name: another annotation has this name"},
        {"duplicate in the document",
         edited([](json& j) {
             j["behaviour"] = {{"nameScope", "document"}};
             j["document"]["sheets"][0]["views"][1]["symbols"][1]["name"] = "S1";
         }),
         "document.sheets[0].views[1].symbols[1].name: another annotation has this name"},
        {"name scope", edited([](json& j) { j["behaviour"] = {{"nameScope", "sheet"}}; }),
         "behaviour.nameScope: expected \"owner\" or \"document\""},
        {"both heights",
         edited([](json& j) {
             j["document"]["defaultFormat"] = {{"height", 0.0035}, {"points", 10}};
         }),
         "document.defaultFormat: give either height or points, not both"},
        {"too many sheets",
         edited([](json& j) {
             json sheets = json::array();
             for (int i = 0; i < 101; ++i) {
                 json sheet = j["document"]["sheets"][0];
                 sheet["name"] = "B" + std::to_string(i);
                 sheets.push_back(sheet);
             }
             j["document"]["sheets"] = sheets;
         }),
         "document.sheets: more than 100 entries"},
        {"toggle key", edited([](json& j) { j["toggles"] = {{"x24", true}}; }),
         "toggles.x24: expected a decimal number as the key"},
        {"long unknown key", edited([](json& j) { j[std::string(500, 'k') + "\n"] = 1; }),
         "broken.json: kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk...: unknown field"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            parseDrawing(c.text(), "broken.json");
            ADD_FAILURE() << "accepted";
        } catch (const DrawingFileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << "message: " << e.what();
        }
    }
}

TEST(DrawingFile, MissingOrOversizedFilesAreReportedByName) {
    TempDir dir;
    try {
        loadDrawingFile(dir.path() / "fehlt.json");
        ADD_FAILURE() << "accepted";
    } catch (const DrawingFileError& e) {
        EXPECT_NE(std::string(e.what()).find("fehlt.json: cannot be read"), std::string::npos);
    }
    const fs::path big = dir.path() / "big.json";
    { std::ofstream(big) << " "; }
    fs::resize_file(big, kMaxDrawingFileBytes + 1);
    EXPECT_THROW(loadDrawingFile(big), DrawingFileError);
}

TEST(DrawingFile, SaveReplacesTheFileAndLeavesNoTemporaryBehind) {
    TempDir dir;
    const fs::path file = dir.path() / "z.json";
    { std::ofstream(file) << "old"; }
    const HostData data = loadDrawingFile(kSamples / "sample-drawing.json");
    saveDrawingFile(data, file);
    EXPECT_EQ(readBytes(file), drawingToJson(data));
    EXPECT_EQ(dir.entries(), 1u);
}

TEST(DrawingFile, AFailedSaveKeepsTheOldFile) {
    TempDir dir;
    const HostData data = loadDrawingFile(kSamples / "sample-drawing.json");

    // A directory where the file should go: the rename fails after the new text was written.
    const fs::path blocked = dir.path() / "blocked.json";
    fs::create_directory(blocked);
    { std::ofstream(blocked / "inside.txt") << "keep"; }
    EXPECT_THROW(saveDrawingFile(data, blocked), DrawingFileError);
    EXPECT_EQ(readBytes(blocked / "inside.txt"), "keep");
    EXPECT_EQ(dir.entries(), 1u);

    // Data that cannot be written fails before the old file is touched.
    const fs::path file = dir.path() / "z.json";
    { std::ofstream(file) << "old"; }
    HostData bad = data;
    bad.activeDoc->sheets[0].views[0].symbols[0].x = std::numeric_limits<double>::quiet_NaN();
    try {
        saveDrawingFile(bad, file);
        ADD_FAILURE() << "saved";
    } catch (const DrawingFileError& e) {
        EXPECT_NE(std::string(e.what()).find("document.sheets[0].views[0].symbols[0].x"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_EQ(readBytes(file), "old");

    // A folder that does not exist.
    EXPECT_THROW(saveDrawingFile(data, dir.path() / "fehlt" / "z.json"), DrawingFileError);
    EXPECT_EQ(dir.entries(), 2u);
}

} // namespace
} // namespace tvx::sim
