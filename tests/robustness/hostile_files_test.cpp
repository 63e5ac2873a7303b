// Files made to break their readers: the configuration reader and the drawing-file loader must
// each give their one clear error, hold little memory whatever the file holds, and leave the
// file exactly as it was.
#include "alloc_meter.h"
#include "config/config.h"
#include "drawing/sim/drawing_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <string_view>

namespace fs = std::filesystem;

namespace tvx {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;

using Writer = std::function<void(std::ostream&)>;

struct FileCase {
    const char* name;
    Writer write;
};

Writer bytes(std::string text) {
    return [text = std::move(text)](std::ostream& out) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    };
}

// Large files are written in pieces, so the test never holds them either.
Writer repeated(std::string head, char fill, std::size_t count, std::string tail = {}) {
    return [=](std::ostream& out) {
        out << head;
        const std::string piece(kMiB, fill);
        for (std::size_t left = count; left > 0;) {
            const std::size_t n = std::min(left, piece.size());
            out.write(piece.data(), static_cast<std::streamsize>(n));
            left -= n;
        }
        out << tail;
    };
}

std::string randomBytes(std::size_t count) {
    std::mt19937 random(20261207);
    std::string out(count, '\0');
    for (char& c : out) {
        c = static_cast<char>(random() & 0xFF);
    }
    return out;
}

std::string utf16(const std::string& ascii, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : ascii) {
        out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return out;
}

// What identifies a file's state: its length, a hash of every byte and its modification time.
struct FileState {
    std::uintmax_t size = 0;
    std::uint64_t hash = 0;
    fs::file_time_type written;
    bool operator==(const FileState&) const = default;
};

FileState stateOf(const fs::path& path) {
    FileState s;
    s.size = fs::file_size(path);
    s.written = fs::last_write_time(path);
    std::ifstream in(path, std::ios::binary);
    std::string piece(kMiB, '\0');
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
        const std::string_view got(piece.data(), static_cast<std::size_t>(in.gcount()));
        s.hash = s.hash * 1099511628211ull ^ std::hash<std::string_view>{}(got);
    }
    return s;
}

class HostileFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("tvx_hostile_" + std::to_string(std::random_device{}()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    fs::path put(const fs::path& name, const Writer& write) {
        const fs::path path = folder_ / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        write(out);
        EXPECT_TRUE(out.good()) << path;
        return path;
    }

    fs::path folder_;
};

const char kHeader[] = "Tarvenix Konfiguration\nKopf\n";
const char kItems[] = "0.8\n0.6\n0.45\n0.4\n0.2\n0.01\n0.005\n0.002\n0.01\n0.001\n0.003\n"
                      "0.004\n0\n1.0\nISOCP\n14\nISOCP\n14\n";

// The items with the n-th (1-based) replaced.
std::string itemsWith(int n, const std::string& value) {
    std::string out;
    std::string items = kItems;
    int item = 1;
    for (std::size_t start = 0, end; (end = items.find('\n', start)) != std::string::npos;
         start = end + 1, ++item) {
        out += (item == n ? value : items.substr(start, end - start)) + "\n";
    }
    return std::string(kHeader) + out;
}

TEST_F(HostileFiles, ConfigurationFilesGiveTheOneMessageHoldLittleAndStayAsTheyWere) {
    const FileCase cases[] = {
        {"empty", bytes("")},
        {"binary", bytes(randomBytes(64 * 1024))},
        {"a single line of 100 MiB", repeated("", 'K', 100 * kMiB)},
        {"a text item of 10 MB", repeated(std::string(kHeader) +
                                              "0.8,0.6,0.45,0.4,0.2,0.01,0.005,0.002,0.01,0.001,"
                                              "0.003,0.004,0,1.0,",
                                          'x', 10'000'000, ",14,ISOCP,14\n")},
        {"UTF-16 with a byte-order mark", bytes(utf16(std::string(kHeader) + kItems, false))},
        {"UTF-16 big-endian with a byte-order mark",
         bytes(utf16(std::string(kHeader) + kItems, true))},
        {"NUL bytes only", repeated("", '\0', kMiB)},
        {"NUL bytes between the items", bytes(std::string(kHeader) + std::string(18, '\0'))},
        {"a number beyond a double", bytes(itemsWith(9, "1e999"))},
        {"a negative number beyond a double", bytes(itemsWith(1, "-1e999"))},
        {"nan", bytes(itemsWith(14, "nan"))},
        {"inf", bytes(itemsWith(10, "inf"))},
        {"a whole number beyond 32 bits", bytes(itemsWith(16, "99999999999"))},
        {"a corner line of 10 MB",
         repeated(std::string(kHeader) + kItems + "Eckpunkt 6 = 0.", '2', 10'000'000, "\n")},
    };
    for (const FileCase& c : cases) {
        const fs::path path = put("Tarvenix.txt", c.write);
        const FileState before = stateOf(path);
        Config cfg;
        std::wstring message;
        std::size_t peak = 0;
        {
            testing::AllocMeter meter;
            message = readConfig(cfg, folder_.wstring());
            peak = meter.peak();
        }
        EXPECT_EQ(message, kConfigErrorText) << c.name;
        EXPECT_LE(peak, 64u * 1024u) << c.name;
        EXPECT_EQ(stateOf(path), before) << c.name;
    }
}

TEST_F(HostileFiles, AWellFormedConfigurationReadsWithinTheSameBound) {
    const fs::path path = put("Tarvenix.txt", bytes(std::string(kHeader) + kItems));
    Config cfg;
    testing::AllocMeter meter;
    EXPECT_EQ(readConfig(cfg, folder_.wstring()), L"");
    EXPECT_LE(meter.peak(), 64u * 1024u);
    EXPECT_EQ(cfg.cfgNoteFont, L"ISOCP");
}

const char kDrawing[] = R"({"format": 1, "running": true, "document": {"type": 3, "sheets": [
  {"name": "Blatt1", "paperCode": 8, "width": 0.42, "height": 0.297, "views": [
    {"name": "Blatt1", "symbols": [
      {"type": 1, "x": 0.1, "y": 0.1, "name": "S1", "texts": {"2": "geschliffen", "5": "TEXT"}}]}]}]}})";

std::string drawingWith(const std::string& from, const std::string& to) {
    std::string text = kDrawing;
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST_F(HostileFiles, TheBaseOfTheHostileDrawingsLoads) {
    EXPECT_NO_THROW(sim::loadDrawingFile(put("base.json", bytes(kDrawing))));
}

TEST_F(HostileFiles, DrawingFilesGiveAClearErrorHoldLittleAndStayAsTheyWere) {
    const std::string text = kDrawing;
    const std::size_t textAt = text.find("TEXT");
    const struct {
        FileCase file;
        const char* where; // part of the message that says where the fault is
        std::size_t peakBound;
    } cases[] = {
        {{"empty", bytes("")}, "line 1", kMiB},
        {{"binary", bytes(randomBytes(64 * 1024))}, "line ", 2 * kMiB},
        {{"UTF-16 with a byte-order mark", bytes(utf16(kDrawing, false))}, "line 1", kMiB},
        {{"NUL bytes inside", bytes(text.substr(0, 40) + std::string(8, '\0') + text.substr(40))},
         "line 1", kMiB},
        {{"a single line of 100 MiB", repeated("", ' ', 100 * kMiB)}, "larger than", kMiB},
        {{"a text of 10 MB", repeated(text.substr(0, textAt), 'x', 10'000'000,
                                      text.substr(textAt + 4))},
         "text longer than", 11 * kMiB},
        {{"a number beyond a double", bytes(drawingWith("\"type\": 1", "\"type\": 1e999"))},
         "1e999", kMiB},
        {{"nan", bytes(drawingWith("\"type\": 1", "\"type\": nan"))}, "line 4", kMiB},
        {{"a type out of range", bytes(drawingWith("\"type\": 1", "\"type\": 4294967296"))},
         "type", kMiB},
        {{"nested too deep", repeated("", '[', 100'000)}, "nested deeper", kMiB},
        {{"8 MiB of empty objects", [](std::ostream& out) {
              out << R"({"format": 1, "padding": [{})";
              for (std::size_t i = 0; i < 8 * kMiB / 3; ++i) {
                  out << ",{}";
              }
              out << "]}";
          }},
         "more than 1000000 values", 9 * kMiB},
    };
    for (const auto& c : cases) {
        const fs::path path = put("drawing.json", c.file.write);
        const FileState before = stateOf(path);
        std::string message;
        std::size_t peak = 0;
        {
            testing::AllocMeter meter;
            try {
                sim::loadDrawingFile(path);
            } catch (const sim::DrawingFileError& e) {
                message = e.what();
            }
            peak = meter.peak();
        }
        EXPECT_NE(message.find("drawing.json"), std::string::npos) << c.file.name << ": " << message;
        EXPECT_NE(message.find(c.where), std::string::npos) << c.file.name << ": " << message;
        EXPECT_LE(peak, c.peakBound) << c.file.name;
        EXPECT_EQ(stateOf(path), before) << c.file.name;
    }
}

} // namespace
} // namespace tvx
