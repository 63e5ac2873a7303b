#include "config/config.h"
#include "drawing/messages.h"
#include "stories.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tvx {
namespace {

using testing::RunFixture;
using testing::sfSymbol;
using Names = std::vector<std::string>;

// Only the message was seen, titled and with the icon of the main dialog, then the run ended.
void expectOnlyMessage(const RunFixture& run, const std::wstring& message,
                       RunEnd how = RunEnd::Message) {
    ASSERT_EQ(run.messages(), std::vector<std::wstring>{message});
    EXPECT_EQ(run.terminator.how, how);
    EXPECT_EQ(run.gef.shown[0].title, testing::kMainCaption);
    EXPECT_EQ(run.gef.shown[0].icon.handle, run.form.icon().handle);
    EXPECT_EQ(run.log.names(), (Names{"setAlwaysOnTop", "Raise", "end"}));
    EXPECT_EQ(run.terminator.ended, 1);
    EXPECT_EQ(run.program.session.hostApp, nullptr);
    EXPECT_EQ(run.program.session.hostDoc, nullptr);
}

TEST(StartupFailures, EachShowsItsOneMessageAndNoLaterHostCallIsMade) {
    sim::HostData noHost = testing::drawingWith({});
    noHost.running = false;
    sim::HostData part = testing::drawingWith({});
    part.activeDoc->type = 2;
    const std::string noConfig;
    // Files whose output could never be read: the host would refuse an insertion halfway.
    const std::string good = testing::configText();
    const std::string head = good.substr(0, good.rfind('\n', good.size() - 2) + 1);
    const std::string zeroHeight = head + "\"ISOCP\", 0, \"ISOCP\", 14\n";
    const std::string zeroNote = head + "\"ISOCP\", 14, \"ISOCP\", 0\n";
    const std::string noFont = head + "\"\", 14, \"ISOCP\", 14\n";
    // A corner line for a code the items give, given twice, or with a number that does not read.
    const std::string itemsCode = good + "Eckpunkt 8 = 0.41\n";
    const std::string twice = good + "Eckpunkt 6 = 0.287\nEckpunkt 6 = 0.3\n";
    const std::string decimalComma = good + "Eckpunkt 6 = 0,287\n";
    struct Case {
        sim::HostData data;
        const std::string* config;
        std::wstring message;
        Names calls;
    };
    const Case cases[] = {
        {testing::drawingWith({}), &noConfig, std::wstring(kConfigErrorText), {}},
        {testing::rerunDrawing(), &zeroHeight, std::wstring(kConfigErrorText), {}},
        {testing::rerunDrawing(), &zeroNote, std::wstring(kConfigErrorText), {}},
        {testing::rerunDrawing(), &noFont, std::wstring(kConfigErrorText), {}},
        {testing::rerunDrawing(), &itemsCode, std::wstring(kConfigErrorText), {}},
        {testing::rerunDrawing(), &twice, std::wstring(kConfigErrorText), {}},
        {testing::rerunDrawing(), &decimalComma, std::wstring(kConfigErrorText), {}},
        {noHost, nullptr, msg::kNoHostInstance, {"attach"}},
        {sim::HostData{}, nullptr, msg::kNoDocument, {"attach", "ActiveDoc"}},
        {part, nullptr, msg::kNoDrawing, {"attach", "ActiveDoc", "GetType"}},
    };
    for (const Case& c : cases) {
        RunFixture run(c.data, c.config);
        EXPECT_FALSE(run.start());
        expectOnlyMessage(run, c.message);
        EXPECT_EQ(run.operations(), c.calls);
        EXPECT_EQ(run.drawing(), c.data);
    }
}

TEST(StartupFailures, DrawingsTheRunCannotHandleAreReportedBeforeTheDialogAndLeftAlone) {
    std::vector<sim::SymbolData> six;
    for (int i = 0; i < 6; ++i) {
        six.push_back(sfSymbol(1, std::to_wstring(i), L"", L"F" + std::to_wstring(i)));
    }
    std::vector<sim::SymbolData> ownMany(22, sfSymbol(1, L"", L"", L"ZyrSymbol_01"));
    struct Case {
        sim::HostData data;
        std::wstring report;
        std::int32_t slotCount = 0; // the scan stopped at the symbol beyond the limit
        std::int32_t ownSymbolCount = 0;
    };
    std::vector<Case> cases = {
        {testing::drawingWith({}, {six}), msg::kTooManyForeignSymbols, 5, 0},
        {testing::drawingWith(ownMany), msg::kTooManyOwnSymbols, 0, 21},
    };
    for (const wchar_t* name : {L"ZyrSymbol_x", L"ZyrSymbol_7", L"ZyrSymbol_"}) {
        cases.push_back({testing::drawingWith({sfSymbol(1, L"", L"", name)}),
                         msg::kOwnNameWithoutNumber + std::wstring(name), 0, 1});
    }
    for (const Case& c : cases) {
        RunFixture run(c.data);
        EXPECT_FALSE(run.start());
        expectOnlyMessage(run, c.report);
        EXPECT_EQ(run.drawing(), c.data);
        EXPECT_EQ(run.program.symbols.slotCount, c.slotCount);
        EXPECT_EQ(run.program.symbols.ownSymbolCount, c.ownSymbolCount);
    }
}

TEST(StartupFailures, FailuresWithoutAMessageOfTheirOwnGetAPlainReport) {
    for (const char* operation : {"GetType", "GetNextView"}) {
        RunFixture run(testing::foreignDrawing());
        run.sim.failOperation(operation);
        EXPECT_FALSE(run.start());
        expectOnlyMessage(run, std::wstring(msg::kUnexpectedError) + L": " +
                                   std::wstring(operation, operation + std::strlen(operation)) +
                                   L": injected fault",
                          RunEnd::Unexpected);
    }
}

TEST(StartupFailures, AMainSymbolOfAKindTheListLacksEndsTheRunBeforeTheUserChooses) {
    const sim::HostData data = testing::drawingWith({sfSymbol(5, L"", L"", L"ZyrSymbol_99")});
    RunFixture run(data);
    EXPECT_FALSE(run.start());
    EXPECT_EQ(run.messages(), std::vector<std::wstring>{msg::kUnknownMainKind + std::wstring(L"5")});
    EXPECT_EQ(run.drawing(), data);
}

TEST(Startup, ShowsTheDialogBeforeFillingItAndProposesTheDefaultMainSymbol) {
    RunFixture run(testing::foreignDrawing());
    ASSERT_TRUE(run.start());
    EXPECT_EQ(run.log.names(), (Names{"setAlwaysOnTop", "show", "stdSFSSymbol_Click"}));
    EXPECT_EQ(run.form.kind.listIndex(), 1);
    EXPECT_EQ(run.form.rough.text(), L"1,6");
    EXPECT_EQ(run.form.method.text(), L"");
    EXPECT_EQ(run.program.symbols.slotCount, 3);
    EXPECT_TRUE(run.messages().empty());
    EXPECT_EQ(run.terminator.ended, 0);
}

} // namespace
} // namespace tvx

namespace tvx {
namespace {

TEST(UnexpectedReport, CarriesTheCauseDecodedFromUtf8OrElseAnsi) {
    EXPECT_EQ(unexpectedReport({}), std::wstring(msg::kUnexpectedError) + L".");
    EXPECT_EQ(unexpectedReport("GetType: ung\xC3\xBCltig \xF0\x9F\x94\xA7"),
              std::wstring(msg::kUnexpectedError) + L": GetType: ung\u00FCltig \U0001F527");
    // Not UTF-8: taken as the Windows ANSI text a host message then most likely is.
    EXPECT_EQ(unexpectedReport("GetType: ung\xFCltig \x80"),
              std::wstring(msg::kUnexpectedError) + L": GetType: ung\u00FCltig \u20AC");
}

TEST(UnexpectedReport, HostThatNoLongerAnswersIsSaidInGerman) {
    const host::HostError gone("GetName", "RPC_S_CALL_FAILED (0x800706BE)", true);
    EXPECT_EQ(hostFailureReport(gone), std::wstring(msg::kUnexpectedError) + L": " +
                                           msg::kHostUnreachable + L" (GetName).");
    const host::HostError failed("GetText", "injected fault");
    EXPECT_EQ(hostFailureReport(failed), std::wstring(msg::kUnexpectedError) + L": GetText: injected fault");
}

} // namespace
} // namespace tvx
