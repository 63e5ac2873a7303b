#include "drawing/run_log.h"

#include <gtest/gtest.h>

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

TEST(RunLog, a_file_stays_under_its_cap_by_becoming_the_older_one) {
    struct Row {
        const char* name;
        std::uintmax_t size;
        std::size_t record;
        bool rotateFirst;
        std::size_t bytes;
    };
    const Row rows[] = {
        {"no file yet", 0, 5, false, 5},
        {"fits exactly", 5, 5, false, 5},
        {"one byte over", 6, 5, true, 5},
        {"too big alone, no file", 0, 13, false, 10},
        {"too big alone, after a record", 2, 13, true, 10},
        {"empty record", 10, 0, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CappedAppend plan = planAppend(row.size, row.record, 10);
        EXPECT_EQ(plan.rotateFirst, row.rotateFirst);
        EXPECT_EQ(plan.bytes, row.bytes);
    }
}

} // namespace
} // namespace tvx
