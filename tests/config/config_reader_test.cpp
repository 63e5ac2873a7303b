#include "config/config.h"
#include "config/corner_lines.h"
#include "config/free_format_input.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif


namespace fs = std::filesystem;

namespace tvx {

void PrintTo(const Config& c, std::ostream* os) {
    *os << "{corner x";
    for (const double x : c.cfgCornerX) {
        *os << ' ' << x;
    }
    *os << ", y " << c.cfgCornerY << ", rise " << c.cfgSymbolRise << ", pad " << c.cfgBracketPad
        << ", width " << c.cfgSymbolWidth << ", anchor " << c.cfgAnchorOffset << ", gap "
        << c.cfgSymbolGap << ", note rise " << c.cfgNoteRise << ", keep " << c.cfgKeepSymbolFont
        << ", factor " << c.cfgWidthFactor << ", symbol font "
        << testing::PrintToString(c.cfgSymbolFont) << ", height " << c.cfgSymbolHeight
        << ", note font " << testing::PrintToString(c.cfgNoteFont) << ", points "
        << c.cfgNotePoints;
    for (std::size_t code = 0; code < c.cfgExtraCornerX.size(); ++code) {
        if (c.cfgExtraCornerX[code]) {
            *os << ", Eckpunkt " << code << " = " << *c.cfgExtraCornerX[code];
        }
    }
    *os << '}';
}

namespace {

constexpr std::string_view kHeader =
    "Tarvenix: Konfiguration der allgemeinen Oberfl\xE4" "chenangabe\n"
    "Eckpunkte A0..A4, Abst\xE4nde in m, Schriften\n";

// Every item differs from every other, so a shifted or swapped item shows.
const std::array<std::string, 18> kItems{
    "1.189", "0.841", "0.594", "0.42", "0.21", "0.06", "0.005", "0.002", "0.01",
    "0.001", "0.003", "0.004", "1",    "1.25", "ISOCP", "14",   "Arial Narrow", "12"};

Config expectedConfig() {
    Config c;
    c.cfgCornerX = {1.189, 0.841, 0.594, 0.42, 0.21};
    c.cfgCornerY = 0.06;
    c.cfgSymbolRise = 0.005;
    c.cfgBracketPad = 0.002;
    c.cfgSymbolWidth = 0.01;
    c.cfgAnchorOffset = 0.001;
    c.cfgSymbolGap = 0.003;
    c.cfgNoteRise = 0.004;
    c.cfgKeepSymbolFont = 1;
    c.cfgWidthFactor = 1.25;
    c.cfgSymbolFont = L"ISOCP";
    c.cfgSymbolHeight = 14;
    c.cfgNoteFont = L"Arial Narrow";
    c.cfgNotePoints = 12;
    return c;
}

// What the values hold before a read, so kept values tell apart from read ones.
Config earlierConfig() {
    Config c;
    c.cfgCornerX = {-7.5, -7.5, -7.5, -7.5, -7.5};
    c.cfgCornerY = c.cfgSymbolRise = c.cfgBracketPad = c.cfgSymbolWidth = -7.5;
    c.cfgAnchorOffset = c.cfgSymbolGap = c.cfgNoteRise = c.cfgWidthFactor = -7.5;
    c.cfgKeepSymbolFont = c.cfgSymbolHeight = c.cfgNotePoints = -7;
    c.cfgSymbolFont = c.cfgNoteFont = L"alt";
    return c;
}

// earlierConfig with items 1..count read from kItems.
Config readUpTo(int count) {
    Config c = earlierConfig();
    const Config e = expectedConfig();
    for (int item = 1; item <= count; ++item) {
        switch (item) {
        case 1: case 2: case 3: case 4: case 5: {
            const auto i = static_cast<std::size_t>(item - 1);
            c.cfgCornerX[i] = e.cfgCornerX[i];
            break;
        }
        case 6: c.cfgCornerY = e.cfgCornerY; break;
        case 7: c.cfgSymbolRise = e.cfgSymbolRise; break;
        case 8: c.cfgBracketPad = e.cfgBracketPad; break;
        case 9: c.cfgSymbolWidth = e.cfgSymbolWidth; break;
        case 10: c.cfgAnchorOffset = e.cfgAnchorOffset; break;
        case 11: c.cfgSymbolGap = e.cfgSymbolGap; break;
        case 12: c.cfgNoteRise = e.cfgNoteRise; break;
        case 13: c.cfgKeepSymbolFont = e.cfgKeepSymbolFont; break;
        case 14: c.cfgWidthFactor = e.cfgWidthFactor; break;
        case 15: c.cfgSymbolFont = e.cfgSymbolFont; break;
        case 16: c.cfgSymbolHeight = e.cfgSymbolHeight; break;
        case 17: c.cfgNoteFont = e.cfgNoteFont; break;
        default: c.cfgNotePoints = e.cfgNotePoints; break;
        }
    }
    return c;
}

std::string join(const std::vector<std::string>& items, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += (i == 0 ? "" : std::string(separator)) + items[i];
    }
    return out;
}

std::vector<std::string> itemsWith(int item, const std::string& value) {
    std::vector<std::string> items(kItems.begin(), kItems.end());
    items[static_cast<std::size_t>(item - 1)] = value;
    return items;
}

std::vector<std::string> firstItems(std::size_t count) {
    return {kItems.begin(), kItems.begin() + static_cast<std::ptrdiff_t>(count)};
}

std::string withEndings(std::string text, std::string_view ending) {
    std::string out;
    for (const char c : text) {
        out += c == '\n' ? std::string(ending) : std::string(1, c);
    }
    return out;
}

std::string file(const std::string& body) { return std::string(kHeader) + body; }
std::string file(const std::vector<std::string>& items, std::string_view sep = "\n") {
    return file(join(items, sep) + "\n");
}
const std::vector<std::string> kAll(kItems.begin(), kItems.end());

class ConfigFile : public testing::Test {
protected:
    void SetUp() override {
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = fs::temp_directory_path() /
                  ("tvx_config_" + name + "_" + std::to_string(std::random_device{}()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path path() const { return folder_ / "Tarvenix.txt"; }
    void write(std::string_view bytes) const {
        std::ofstream out(path(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good());
    }
    std::wstring read(Config& cfg) const { return readConfig(cfg, folder_.wstring()); }

    fs::path folder_;
};

const std::wstring kError(kConfigErrorText);

TEST_F(ConfigFile, WellFormedLayoutsAllReadTheSame) {
    const std::string lines = file(kAll);
    const std::string bom = "\xEF\xBB\xBF";
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"one item a line", lines},
        {"CR LF line ends", withEndings(lines, "\r\n")},
        {"CR line ends", withEndings(lines, "\r")},
        {"all on one line", file(kAll, ",")},
        {"blanks and tabs around every item", file(" \t" + join(kAll, " \t,\t ") + "\t \n")},
        {"several lines of several items",
         file(join(firstItems(5), ",") + "\n" + join({"0.06", "0.005", "0.002"}, ",") + "\n" +
              join({"0.01", "0.001", "0.003", "0.004", "1", "1.25"}, ",") +
              "\nISOCP,14\nArial Narrow,12\n")},
        {"no line end after the last item", file(join(kAll, "\n"))},
        {"empty and blank lines between items", file(kAll, "\n\n \t\n")},
        {"a comma ending each line", file(kAll, ",\n")},
        {"UTF-8 byte-order mark", bom + lines},
        {"empty header lines", "\n\n" + join(kAll, "\n")},
        {"header lines that look like items", "1,2,3\n\"x\",4\n" + join(kAll, "\n")},
        {"quoted texts with blanks outside the quotes",
         file(itemsWith(15, " \"ISOCP\"\t "), ",")},
        {"numbers in other spellings",
         file({"+1.189", "841e-3", ".594", "0.420", "21E-2", "6e-2", "0.0050", "2E-3",
               "1.0e-2", "+0.001", "3e-3", "4.e-3", "1.0", "125e-2", "\"ISOCP\"", "14.",
               "\"Arial Narrow\"", "1.2e1"})},
        {"more lines after the last item", lines + "99\nfoo,\"bar\n,,\n"},
        {"text behind a comma after the last item", file(join(kAll, ",") + ",0.5 rest\n")},
        {"binary garbage after the last item",
         lines + std::string("\0\xFF\x1A\"\r\x80", 6) + std::string(3000, '\0')},
    };
    for (const auto& c : cases) {
        write(c.bytes);
        Config cfg = earlierConfig();
        EXPECT_EQ(read(cfg), L"") << c.name;
        EXPECT_EQ(cfg, expectedConfig()) << c.name;
    }
}

TEST_F(ConfigFile, BrokenFilesKeepOnlyTheItemsReadBeforeTheFault) {
    const std::string nul(1, '\0');
    const struct {
        const char* name;
        std::string bytes;
        int itemsRead;
    } cases[] = {
        {"empty file", "", 0},
        {"one header line", "Tarvenix\n", 0},
        {"header lines only", std::string(kHeader), 0},
        {"17 items", file(firstItems(17)), 17},
        {"17 items, a comma and empty lines", file(join(firstItems(17), ",\n") + ",\n\n \n"), 17},
        {"a word for a number", file(itemsWith(3, "abc")), 2},
        {"an empty field for a number", file(itemsWith(5, ""), ","), 4},
        {"garbage behind a number", file(itemsWith(1, "1.189x")), 0},
        {"number beyond a double", file(itemsWith(6, "1e999")), 5},
        {"nan", file(itemsWith(7, "nan")), 6},
        {"a quoted number", file(itemsWith(9, "\"0.01\"")), 8},
        {"whole number above 32 bits", file(itemsWith(13, "2147483648")), 12},
        {"whole number below 32 bits", file(itemsWith(16, "-2147483649")), 15},
        {"a word for a whole number", file(itemsWith(18, "vierzehn")), 17},
        {"text behind the last item on its line", file(itemsWith(18, "12 Punkte")), 17},
        {"unclosed quote", file(itemsWith(15, "\"ISOCP")), 14},
        {"line end inside quotes", file(itemsWith(17, "\"Arial\nNarrow\"")), 16},
        {"text behind the closing quote", file(itemsWith(15, "\"ISO\"CP")), 14},
        {"NUL in a number", file(itemsWith(2, "0.8" + nul + "41")), 1},
        {"NUL in a text", file(itemsWith(17, "Arial" + nul + "Narrow")), 16},
        {"text over the item limit",
         file(itemsWith(15, std::string(FreeFormatInput::kMaxItemLength + 1, 'x'))), 14},
        {"quoted text over the item limit",
         file(itemsWith(17, '"' + std::string(FreeFormatInput::kMaxItemLength + 1, 'x') + '"')),
         16},
        {"malformed UTF-8 after a byte-order mark",
         "\xEF\xBB\xBF" + file(itemsWith(17, "Gr\xF6\xDF" "e")), 16},
    };
    for (const auto& c : cases) {
        write(c.bytes);
        Config cfg = earlierConfig();
        EXPECT_EQ(read(cfg), kError) << c.name;
        EXPECT_EQ(cfg, readUpTo(c.itemsRead)) << c.name;
    }
}

TEST_F(ConfigFile, CornerLinesAfterTheItemsGiveTheOtherPaperSizes) {
    const std::string lines = file(kAll);
    const struct {
        const char* name;
        std::string tail;
        std::vector<std::pair<std::size_t, double>> corners;
    } cases[] = {
        {"none", "", {}},
        {"A4 landscape", "Eckpunkt 6 = 0.287\n", {{6, 0.287}}},
        {"every code, any spacing and line end",
         "Eckpunkt 0 = 0.2694\r\n  Eckpunkt 1=0.2059\rEckpunkt\t2 =\t4218e-4 \n"
         "Eckpunkt 3 = .5488\nEckpunkt 4 = +0.8536\nEckpunkt 5 = 1.1076\n"
         "Eckpunkt 6 = 0.287\nEckpunkt 12 = -0.01",
         {{0, 0.2694}, {1, 0.2059}, {2, 0.4218}, {3, 0.5488}, {4, 0.8536}, {5, 1.1076},
          {6, 0.287}, {12, -0.01}}},
        {"among other lines, which stay ignored",
         "99\n# Eckpunkt 5 = x\neckpunkt 6 = 1\nEckpunkt 6 = 0.287\n" +
             std::string("\0\xFF\n", 3) + std::string(10000, 'z') + "\nEckpunkt 0 = 0.2694\n",
         {{6, 0.287}, {0, 0.2694}}},
    };
    for (const auto& c : cases) {
        write(lines + c.tail);
        Config cfg = earlierConfig();
        EXPECT_EQ(read(cfg), L"") << c.name;
        Config expected = expectedConfig();
        for (const auto& [code, x] : c.corners) {
            expected.cfgExtraCornerX[code] = x;
        }
        EXPECT_EQ(cfg, expected) << c.name;
    }
    // Behind the last item on its own line it is no line of its own, and stays unread.
    write(file(join(kAll, ",") + ",Eckpunkt 6 = x\n"));
    Config cfg;
    EXPECT_EQ(read(cfg), L"");
    EXPECT_EQ(cfg, expectedConfig());
}

TEST_F(ConfigFile, AFaultyCornerLineMakesTheFileFaulty) {
    const struct {
        const char* name;
        std::string line;
    } cases[] = {
        {"a code the items give", "Eckpunkt 8 = 0.41"},
        {"A4 portrait", "Eckpunkt 7 = 0.2"},
        {"no paper size", "Eckpunkt 13 = 0.2"},
        {"a code twice", "Eckpunkt 6 = 0.287\nEckpunkt 6 = 0.287"},
        {"no code", "Eckpunkt = 0.287"},
        {"a code that is no number", "Eckpunkt A4 = 0.287"},
        {"a negative code", "Eckpunkt -1 = 0.287"},
        {"a fractional code", "Eckpunkt 6.0 = 0.287"},
        {"no blank after the word", "Eckpunkt6 = 0.287"},
        {"another word beginning so", "Eckpunkte 6 = 0.287"},
        {"no equals sign", "Eckpunkt 6 0.287"},
        {"no number", "Eckpunkt 6 ="},
        {"a decimal comma", "Eckpunkt 6 = 0,287"},
        {"text behind the number", "Eckpunkt 6 = 0.287 m"},
        {"a quoted number", "Eckpunkt 6 = \"0.287\""},
        {"beyond a double", "Eckpunkt 6 = 1e999"},
        {"over the item limit",
         "Eckpunkt 6 = 0.287" + std::string(FreeFormatInput::kMaxItemLength, ' ')},
    };
    for (const auto& c : cases) {
        write(file(kAll) + "Eckpunkt 0 = 0.2694\n" + c.line + "\n");
        Config cfg = earlierConfig();
        EXPECT_EQ(read(cfg), kError) << c.name;
        // The items are read; no corner line is taken.
        EXPECT_EQ(cfg, readUpTo(18)) << c.name;
    }
}

TEST_F(ConfigFile, DecimalCommaSplitsAnItemAndShiftsEveryLaterOne) {
    write(file(itemsWith(1, "1,189")));
    Config cfg = earlierConfig();
    EXPECT_EQ(read(cfg), kError);
    EXPECT_EQ(cfg.cfgCornerX, (std::array<double, 5>{1.0, 189.0, 0.841, 0.594, 0.42}));
    EXPECT_EQ(cfg.cfgKeepSymbolFont, 0);  // took 0.004
    EXPECT_EQ(cfg.cfgWidthFactor, 1.0);
    EXPECT_EQ(cfg.cfgSymbolFont, L"1.25");
    EXPECT_EQ(cfg.cfgSymbolHeight, -7);   // "ISOCP" is no number
    EXPECT_EQ(cfg.cfgNoteFont, L"alt");
}

TEST_F(ConfigFile, EmptyFieldIsAnItemButAnEmptyLineIsNot) {
    // An empty font name is read as an item (the height after it is read as such), and then the
    // file is faulty: no output in an unnamed font could be read.
    write(file(itemsWith(15, ""), ","));
    Config cfg = earlierConfig();
    EXPECT_EQ(read(cfg), kError);
    EXPECT_EQ(cfg.cfgSymbolFont, L"");
    EXPECT_EQ(cfg.cfgSymbolHeight, 14);

    write(file(itemsWith(17, "\"\"")));
    cfg = earlierConfig();
    EXPECT_EQ(read(cfg), kError);
    EXPECT_EQ(cfg.cfgNoteFont, L"");
    EXPECT_EQ(cfg.cfgNotePoints, 12);

    // The empty line is skipped, so the height takes the symbol font's place.
    write(file(itemsWith(15, "")));
    cfg = earlierConfig();
    EXPECT_EQ(read(cfg), kError);
    EXPECT_EQ(cfg.cfgSymbolFont, L"14");
    EXPECT_EQ(cfg.cfgSymbolHeight, -7);
}

TEST_F(ConfigFile, SizesAndFontsThatCanNeverBeReadMakeTheFileFaulty) {
    const struct {
        int item;
        std::string raw;
        bool faulty;
    } cases[] = {
        {16, "0", true},   {16, "-14", true}, {16, "1", false},
        {18, "0", true},   {18, "-1", true},  {18, "1", false},
        {15, "\"\"", true}, {17, "\"\"", true}, {15, "\" \"", false},
        // Other values stay unchecked.
        {9, "-0.01", false}, {14, "0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("item " + std::to_string(c.item) + " = " + c.raw);
        write(file(itemsWith(c.item, c.raw)));
        Config cfg = earlierConfig();
        EXPECT_EQ(read(cfg), c.faulty ? kError : L"");
    }
}

TEST_F(ConfigFile, TextItemsQuotedAndUnquoted) {
    const struct {
        std::string raw;
        std::wstring text;
    } cases[] = {
        {"  ISOCP \t", L"ISOCP"},
        {"\"  ISOCP \"", L"  ISOCP "},
        {"\"Arial, fett\"", L"Arial, fett"},
        {"Arial  Narrow", L"Arial  Narrow"},
        {"IS\"OCP", L"IS\"OCP"},
        {"\"\"", L""},
        {"Gr\xF6\xDF" "e", L"Größe"},
        {"\"\x80 \x84Z\x93 \x9F\"", L"€ „Z“ Ÿ"},
        {std::string(FreeFormatInput::kMaxItemLength, 'x'),
         std::wstring(FreeFormatInput::kMaxItemLength, L'x')},
    };
    for (const auto& c : cases) {
        write(file(itemsWith(15, c.raw), ","));
        Config cfg = earlierConfig();
        // Read all the same where the name is empty, which makes the file faulty.
        EXPECT_EQ(read(cfg), c.text.empty() ? kError : L"") << c.raw;
        EXPECT_EQ(cfg.cfgSymbolFont, c.text) << c.raw;
        EXPECT_EQ(cfg.cfgSymbolHeight, 14) << c.raw;
    }
}

TEST_F(ConfigFile, ByteOrderMarkMakesTextsUtf8) {
    write("\xEF\xBB\xBF" + file(itemsWith(17, "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC")));
    Config cfg;
    EXPECT_EQ(read(cfg), L"");
    EXPECT_EQ(cfg.cfgNoteFont, L"Größe €");
    EXPECT_EQ(cfg.cfgNotePoints, 12);
}

TEST_F(ConfigFile, FractionalWholeNumbersRoundHalfToEven) {
    std::vector<std::string> items = kAll;
    items[12] = "0.5";
    items[15] = "13.5";
    items[17] = "1.25e1";
    write(file(items));
    Config cfg;
    EXPECT_EQ(read(cfg), L"");
    EXPECT_EQ(cfg.cfgKeepSymbolFont, 0);
    EXPECT_EQ(cfg.cfgSymbolHeight, 14);
    EXPECT_EQ(cfg.cfgNotePoints, 12);
}

TEST_F(ConfigFile, NoFileToReadLeavesEveryValue) {
    Config cfg = earlierConfig();
    EXPECT_EQ(read(cfg), kError) << "no file in the folder";
    EXPECT_EQ(readConfig(cfg, (folder_ / "fehlt").wstring()), kError) << "no such folder";
    fs::create_directory(path());
    EXPECT_EQ(read(cfg), kError) << "a folder in the file's place";
    EXPECT_EQ(cfg, earlierConfig());
}

// Support reads the cause in the log: the message names >Tarvenix.txt< whatever the fault.
TEST_F(ConfigFile, EachFailureNamesItsCause) {
    const auto causeOf = [this](const std::string& bytes) {
        write(bytes);
        Config cfg;
        std::string cause;
        EXPECT_EQ(readConfigFile(cfg, path().wstring(), &cause), kError) << bytes.substr(0, 80);
        return cause;
    };
    Config cfg;
    std::string cause;
    EXPECT_EQ(readConfigFile(cfg, (folder_ / "fehlt.txt").wstring(), &cause), kError);
    EXPECT_EQ(cause, "Datei nicht gefunden");
    EXPECT_EQ(causeOf("nur eine Zeile"), "die zwei Kopfzeilen fehlen");
    EXPECT_EQ(causeOf(file(firstItems(7))), "Eintrag 8 fehlt oder ist fehlerhaft");
    EXPECT_EQ(causeOf(file(itemsWith(3, "drei"))), "Eintrag 3 fehlt oder ist fehlerhaft");
    EXPECT_EQ(causeOf(file(itemsWith(16, "0"))), "Eintrag 16 unbrauchbar (leer, 0 oder kleiner)");
    EXPECT_EQ(causeOf(file(kAll) + "Eckpunkt 6 = 0,287\n"), "Eckpunkt-Zeile fehlerhaft: \"Eckpunkt 6 = 0,287\"");
    EXPECT_EQ(causeOf(file(kAll) + "Eckpunkt 6 = 0.287\nEckpunkt 6 = 0.3\n"), "Eckpunkt 6 doppelt");
    write(file(kAll));
    cause = "vorher";
    EXPECT_EQ(readConfigFile(cfg, path().wstring(), &cause), L"");
    EXPECT_EQ(cause, "vorher") << "a good file leaves the cause alone";
}

TEST_F(ConfigFile, PathIsTheFolderABackslashAndTheName) {
    write(file(kAll));
    Config cfg;
    EXPECT_EQ(readConfig(cfg, folder_.wstring() + L"\\"), L"") << "folder ending in a separator";

    const fs::path folder = folder_ / fs::path(u8"Prüfstand");
    fs::create_directory(folder);
    fs::rename(path(), folder / "Tarvenix.txt");
    // Built by hand: natively fs::path would convert through the C locale, which knows no "ü".
    const std::wstring wideFolder =
        folder_.wstring() + static_cast<wchar_t>(fs::path::preferred_separator) + L"Prüfstand";
    cfg = Config{};
    EXPECT_EQ(readConfig(cfg, wideFolder), L"") << "folder with an umlaut";
    EXPECT_EQ(cfg, expectedConfig());
}

TEST_F(ConfigFile, ReadingLeavesTheFileAsItWasAndClosed) {
    const std::string bytes = file(kAll) + "rest\n";
    write(bytes);
    const fs::file_time_type written = fs::last_write_time(path());
    Config cfg;
    ASSERT_EQ(read(cfg), L"");
    EXPECT_EQ(fs::last_write_time(path()), written);
    std::string after(bytes.size() + 1, '\0');
    std::ifstream in(path(), std::ios::binary);
    in.read(after.data(), static_cast<std::streamsize>(after.size()));
    after.resize(static_cast<std::size_t>(in.gcount()));
    in.close();
    EXPECT_EQ(after, bytes);
    // On Windows a handle left open would keep the file from going.
    EXPECT_TRUE(fs::remove(path()));
}

TEST_F(ConfigFile, HugeLinesAreStreamedNotHeld) {
    constexpr std::size_t kMiB = 1024 * 1024;
    Config cfg;
    write(std::string(20 * kMiB, 'K') + "\nKopf 2\n" + join(kAll, "\n"));
    cfg = Config{};
    EXPECT_EQ(read(cfg), L"") << "20 MiB first header line";
    EXPECT_EQ(cfg, expectedConfig());

    write(file(itemsWith(15, std::string(10 * kMiB, 'x'))));
    cfg = earlierConfig();
    EXPECT_EQ(read(cfg), kError) << "10 MiB text item";
    EXPECT_EQ(cfg, readUpTo(14));

    std::string tail(20 * kMiB, '\0');
    for (std::size_t i = 0; i < tail.size(); i += 7) {
        tail[i] = static_cast<char>(i % 251);
    }
    // Not read to its end: a corner line behind it stays unread.
    write(file(kAll) + tail + "\nEckpunkt 6 = 0.287\n");
    cfg = Config{};
    EXPECT_EQ(read(cfg), L"") << "20 MiB binary tail";
    EXPECT_EQ(cfg, expectedConfig());
}

// Corner lines are looked for within 64 KiB after the last item, and no further byte is taken:
// a pipe that never ends is left as it is.
TEST_F(ConfigFile, OnlyTheFirst64KiBAfterTheItemsAreReadForCornerLines) {
    const std::string items = file(kAll);
    const std::string corner6 = "Eckpunkt 6 = 0.287\n";
    // The rest of the last item's line, its line end, counts too.
    const std::string filler(kCornerLinesBytes - corner6.size() - 2, 'z');
    Config expected = expectedConfig();
    expected.cfgExtraCornerX[6] = 0.287;

    // The last line that fits, and one beyond.
    write(items + filler + "\n" + corner6 + "Eckpunkt 0 = 0.2694\n");
    Config cfg;
    EXPECT_EQ(read(cfg), L"");
    EXPECT_EQ(cfg, expected);
    // One that the limit cuts in two would be misread: the file is faulty.
    write(items + filler + "\nEckpunkt 6 = 0.28715\n");
    cfg = Config{};
    EXPECT_EQ(read(cfg), kError);

#ifndef _WIN32
    // An endless pipe behind the items: read as a sound file; the writer meets a closed pipe
    // long before it could have written all it offers.
    const fs::path fifo = folder_ / "Tarvenix.txt";
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct sigaction ignore {};
    struct sigaction before {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &before);
    constexpr std::size_t kOffered = 16 * 1024 * 1024;
    std::size_t written = 0;
    std::thread writer([&] {
        const int out = ::open(fifo.c_str(), O_WRONLY);
        const std::string head = items + corner6;
        const std::string chunk(4096, 'z');
        for (const std::string* piece = &head; out >= 0 && written < kOffered; piece = &chunk) {
            const ssize_t put = ::write(out, piece->data(), piece->size());
            if (put <= 0) {
                break;
            }
            written += static_cast<std::size_t>(put);
        }
        ::close(out);
    });
    cfg = Config{};
    EXPECT_EQ(read(cfg), L"");
    writer.join();
    ::sigaction(SIGPIPE, &before, nullptr);
    EXPECT_EQ(cfg, expected);
    EXPECT_LT(written, std::size_t{1024 * 1024}) << "the pipe was read on";
#endif
}

TEST(ShippedSample, ReadsWithACornerPerPaperSizeFromA0DownToA4) {
    Config cfg;
    ASSERT_EQ(readConfig(cfg, TVX_SAMPLES_DIR), L"");
    for (std::size_t i = 1; i < cfg.cfgCornerX.size(); ++i) {
        EXPECT_GT(cfg.cfgCornerX[i - 1], cfg.cfgCornerX[i]) << i;
    }
    EXPECT_GT(cfg.cfgCornerX[4], 0.0);
    // 10 mm inside the right edge, as the A sizes: A4 landscape 297 mm, ANSI A 11 in and so on.
    const std::pair<std::size_t, double> landscapeAndAnsi[] = {
        {6, 0.287}, {0, 0.2694}, {1, 0.2059}, {2, 0.4218}, {3, 0.5488}, {4, 0.8536}, {5, 1.1076}};
    for (const auto& [code, x] : landscapeAndAnsi) {
        EXPECT_EQ(cfg.cfgExtraCornerX[code], x) << "paper code " << code;
    }
    EXPECT_FALSE(cfg.cfgExtraCornerX[12]) << "a user-defined size has no one width";
    EXPECT_EQ(cfg.cfgKeepSymbolFont, 0);
    EXPECT_EQ(cfg.cfgSymbolFont, L"ISOCP");
    EXPECT_EQ(cfg.cfgNoteFont, L"ISOCP");
    EXPECT_GT(cfg.cfgSymbolHeight, 0);
    EXPECT_GT(cfg.cfgNotePoints, 0);
}


}  // namespace
}  // namespace tvx
