#include "drawing/run_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tvx {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

RunLog collecting(std::string& written) {
    RunLog log;
    log.writeTo([&written](std::string_view piece) { written += piece; });
    return log;
}

TEST(RunLog, a_small_run_gets_a_line_per_call_in_order_and_each_piece_is_written_once) {
    std::string written;
    RunLog log = collecting(written);
    log.note("Konfiguration", std::wstring_view(L"C:\\Stände\\Tarvenix.txt"));
    log.hostCall("ActiveDoc", CallOutcome::Answered, 0, microseconds(420));
    log.answer("Objekt");
    log.hostCall("GetType", CallOutcome::Answered, 0, microseconds(1'234'560), 2);
    log.answer("Zahl");
    log.hostCall("InsertNote", CallOutcome::Failed, static_cast<std::int32_t>(0x80020009u), microseconds(90));
    log.note("Meldung", std::wstring_view(L"Fehler beim Einfügen der Symbole !"));
    log.flush();
    EXPECT_EQ(written, "Konfiguration: C:\\St\xC3\xA4nde\\Tarvenix.txt\r\n"
                       "  #1 ActiveDoc: Objekt, 0,42 ms\r\n"
                       "  #2 GetType: Zahl, nach 2 Wiederholungen, 1234,56 ms\r\n"
                       "  #3 InsertNote: Fehler 0x80020009, 0,09 ms\r\n"
                       "Meldung: Fehler beim Einf\xC3\xBCgen der Symbole !\r\n");

    // The end comes as a piece of its own; calls go on counting across pieces.
    written.clear();
    log.hostCall("Release", CallOutcome::Unanswered, 0, microseconds(600'000'000));
    log.note("Ende", std::string_view("nach der Meldung (Ok)"));
    log.flush();
    log.flush();
    EXPECT_EQ(written, "  #4 Release: keine Antwort binnen der Grenze, 600000,00 ms\r\nEnde: nach der Meldung (Ok)\r\n");
}

TEST(RunLog, a_big_run_sums_up_its_answered_calls_per_name_but_keeps_failed_and_slow_ones) {
    std::string written;
    RunLog log = collecting(written);
    for (int i = 0; i < 400; ++i) {
        log.hostCall("GetNext", CallOutcome::Answered, 0, microseconds(100 + i));
        log.hostCall("GetText", CallOutcome::Answered, 0, microseconds(50));
    }
    log.hostCall("GetText", CallOutcome::Failed, static_cast<std::int32_t>(0x80010108u), microseconds(7));
    log.hostCall("EditRebuild", CallOutcome::Answered, 0, RunLog::kSlowCall);
    log.hostCall("GetNext", CallOutcome::Busy, static_cast<std::int32_t>(0x8001010Au), milliseconds(30'000), 40);
    log.flush();
    EXPECT_EQ(written, "  GetNext: 400 Aufrufe beantwortet, zusammen 119,80 ms, längster 0,49 ms\r\n"
                       "  GetText: 400 Aufrufe beantwortet, zusammen 20,00 ms, längster 0,05 ms\r\n"
                       "  #801 GetText: Fehler 0x80010108, 0,00 ms\r\n"
                       "  #802 EditRebuild: beantwortet, 100,00 ms\r\n"
                       "  #803 GetNext: abgewiesen bis zur Grenze, 0x8001010A, 40 Wiederholungen, 30000,00 ms\r\n");
}

TEST(RunLog, switched_off_it_collects_nothing) {
    RunLog log;
    log.note("Meldung", std::string_view("x"));
    log.hostCall("GetType", CallOutcome::Failed, 1, microseconds(1));
    EXPECT_EQ(log.takePiece(), "");
}

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(RunLog, the_file_stays_under_its_cap_with_one_older_file_kept) {
    const auto folder = std::filesystem::temp_directory_path() / ("tvx-run-log-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto file = folder / "Tarvenix.log";
    const auto older = folder / "Tarvenix.1.log";

    EXPECT_TRUE(appendCapped(file, older, "aaaa\n", 10));
    EXPECT_TRUE(appendCapped(file, older, "bbbb\n", 10));
    EXPECT_EQ(contents(file), "aaaa\nbbbb\n");
    EXPECT_FALSE(std::filesystem::exists(older));
    // One more byte would pass the cap: the file becomes the older one.
    EXPECT_TRUE(appendCapped(file, older, "c\n", 10));
    EXPECT_EQ(contents(file), "c\n");
    EXPECT_EQ(contents(older), "aaaa\nbbbb\n");
    // And the older one before it is gone.
    EXPECT_TRUE(appendCapped(file, older, "dddddddddd", 10));
    EXPECT_EQ(contents(file), "dddddddddd");
    EXPECT_EQ(contents(older), "c\n");
    // A record bigger than the cap alone is cut to it.
    EXPECT_TRUE(appendCapped(file, older, "0123456789xyz", 10));
    EXPECT_EQ(contents(file), "0123456789");

    // A folder that cannot hold the file: no log, no exception.
    EXPECT_FALSE(appendCapped(folder / "missing" / "Tarvenix.log", folder / "missing" / "old.log", "x", 10));
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace tvx
