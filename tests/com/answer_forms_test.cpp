// Every form a host may answer in, across processes: a first run and a re-run leave exactly the
// drawings the runs in memory leave; answers that cannot mean what the run needs are reported
// through the run's own routes and leave the drawing as it was.
#include "drawing/messages.h"
#include "drawing/sim/drawing_file.h"
#include "tests/com/automation_run.h"
#include "tests/com/server_process.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

using com::testing::ServerProcess;
using testing::AutomationRun;
using testing::fileBytes;

const testing::UserChoice kChoice{0, L"geschliffen", L"6,4"};

struct Form {
    const char* name;
    std::vector<std::wstring> options;
    // What the trace shows going over the wire, so a form the server failed to send is caught.
    std::vector<std::string> traced;
};

std::vector<std::wstring> answerForms(std::initializer_list<const wchar_t*> rules) {
    std::vector<std::wstring> options;
    for (const wchar_t* rule : rules) {
        options.insert(options.end(), {L"--answer-form", rule});
    }
    return options;
}

bool traceHas(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& line : lines) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

class AnswerForms : public ::testing::Test {
protected:
    // Serves the drawing with the options, runs start-up and OK; the drawing the server saved.
    std::string runOver(const std::string& drawingJson, const Form& form, std::vector<std::wstring>* shown,
                        std::vector<std::string>* trace) {
        const auto dir = folder.path() / std::to_string(++runs);
        std::filesystem::create_directories(dir / "program");
        ServerProcess server(dir, sim::parseDrawing(drawingJson, "drawing"), form.options);
        AutomationRun run(dir / "program");
        run.startAndOk(kChoice);
        EXPECT_EQ(run.terminator.ended, 1) << "the run ends once";
        for (const auto& message : run.gef.shown) {
            shown->push_back(message.text);
        }
        EXPECT_EQ(server.stop("save"), 0u);
        const auto lines = server.traceLines();
        trace->insert(trace->end(), lines.begin(), lines.end());
        return fileBytes(server.drawingFile());
    }

    com::ComApartment apartment;
    com::testing::ScratchFolder folder{"answer-forms"};
    int runs = 0;
};

TEST_F(AnswerForms, EveryPlausibleFormGivesTheDrawingsOfTheRunsInMemory) {
    const sim::HostData sample = sim::loadDrawingFile(com::testing::windowsPath(TVX_SAMPLES_DIR) / "sample-drawing.json");
    testing::RunFixture first(sample);
    first.start();
    first.ok(kChoice);
    testing::RunFixture second(first.drawing());
    second.start();
    second.ok(kChoice);
    ASSERT_TRUE(first.messages().empty() && second.messages().empty());
    const std::string expectedFirst = sim::drawingToJson(first.drawing());
    const std::string expectedSecond = sim::drawingToJson(second.drawing());

    const std::vector<Form> forms{
        {"whole numbers as I2", answerForms({L"int=i2"}), {"GetType() -> I2 3", "GetSymbolType() -> I2 1"}},
        {"whole numbers as R8", answerForms({L"int=r8"}), {"GetType() -> R8 3", "GetSymbolType() -> R8 1"}},
        {"Booleans as I4 0 and 1", answerForms({L"bool=i4"}),
         {"GetUserPreferenceToggle(I4 24) -> I4 1", "SetName(BSTR \"ZyrSymbol_99\") -> I4 1"}},
        {"the empty string as a null BSTR", answerForms({L"text=null"}), {"GetText(I4 2) -> BSTR null"}},
        {"the empty string as VT_EMPTY", answerForms({L"text=empty"}), {"GetText(I4 2) -> EMPTY"}},
        {"properties as VARIANTs, whole numbers as I2", answerForms({L"GetProperties:array=variant", L"GetProperties:int=i2"}),
         {"GetProperties() -> ARRAY[I2 8, I2 8, I2 1, I2 1, I2 1, R8 0.42, R8 0.297]"}},
        {"properties as I4", answerForms({L"array=i4"}), {"GetProperties() -> ARRAY[I4 8, I4 8, I4 1, I4 1, I4 1, I4 0, I4 0]"}},
        {"objects as IUnknown", answerForms({L"object=unknown"}),
         {"ActiveDoc() -> UNKNOWN Doc", "gettextformat(I2 0) -> UNKNOWN TextFormat"}},
        {"all of them, the empty reference as VT_NULL",
         [] {
             auto o = answerForms({L"int=r8", L"bool=i4", L"text=empty", L"array=variant", L"object=unknown"});
             o.insert(o.end(), {L"--empty-as", L"null"});
             return o;
         }(),
         {"GetNext() -> NULL", "GetProperties() -> ARRAY[R8 8, R8 8, R8 1, R8 1, R8 1, R8 0.42, R8 0.297]"}},
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        std::vector<std::wstring> shown;
        std::vector<std::string> trace;
        const std::string afterFirst = runOver(sim::drawingToJson(sample), form, &shown, &trace);
        EXPECT_EQ(afterFirst, expectedFirst);
        const std::string afterSecond = runOver(afterFirst, form, &shown, &trace);
        EXPECT_EQ(afterSecond, expectedSecond);
        EXPECT_TRUE(shown.empty()) << "a message was shown";
        for (const auto& text : form.traced) {
            EXPECT_TRUE(traceHas(trace, text)) << "not sent: " << text;
        }
    }
}

TEST_F(AnswerForms, AnswersThatCannotMeanWhatTheRunNeedsAreReportedAndChangeNothing) {
    const std::string sample = sim::drawingToJson(
        sim::loadDrawingFile(com::testing::windowsPath(TVX_SAMPLES_DIR) / "sample-drawing.json"));
    const std::wstring unexpected = msg::kUnexpectedError;
    const struct {
        Form form;
        std::wstring report; // the start of it
    } cases[] = {
        {{"the document type as text", answerForms({L"GetType:int=bstr"}), {"GetType() -> BSTR \"3\""}}, unexpected},
        {{"a symbol type as text", answerForms({L"GetSymbolType:int=bstr"}), {"GetSymbolType() -> BSTR \"1\""}},
         unexpected},
        {{"no sheet properties at all", answerForms({L"array=empty"}), {"GetProperties() -> ARRAY[]"}}, msg::kCalcError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.form.name);
        std::vector<std::wstring> shown;
        std::vector<std::string> trace;
        EXPECT_EQ(runOver(sample, c.form, &shown, &trace), sample);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_TRUE(shown[0].starts_with(c.report));
        for (const auto& text : c.form.traced) {
            EXPECT_TRUE(traceHas(trace, text)) << "not sent: " << text;
        }
    }
}

} // namespace
} // namespace tvx
