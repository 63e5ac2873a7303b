// A host busy for a moment at any one call of a whole run: the client on the stand-in's dispatch
// objects in process, the call rejected once, then taken. Each run must end as the run without
// rejection did: no message, the same drawing, every call run once and in the same order.
#include "tests/support/run_fixture.h"
#include "drawing/sim/drawing_file.h"
#include "drawing/sim/sim_host.h"
#include "tests/com/in_process_run.h"
#include "tests/com/server_process.h"
#include "tools/hostserver/dispatch_objects.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tvx {
namespace {

struct BusyRun {
    bool ended = false;
    std::vector<std::wstring> messages;
    std::vector<std::string> calls; // what the host ran
    int rejected = 0;
    std::string drawing;
};

// Start-up and Ok with the dialog's choice, call `rejectAt` rejected once (0: none).
BusyRun runRejectingOnce(const std::filesystem::path& programFolder, const sim::HostData& drawing,
                         std::uint64_t rejectAt) {
    BusyRun r;
    sim::SimHost simHost(drawing);
    simHost.setTracing(false);
    const auto context = std::make_shared<hostserver::DispatchContext>();
    context->setTraceSink([&r](const std::string& line) { r.calls.push_back(line); });
    context->setGate([&r, rejectAt](std::uint64_t next, const std::string&) {
        if (next != rejectAt || r.rejected > 0) {
            return S_OK;
        }
        ++r.rejected;
        return RPC_E_SERVERCALL_RETRYLATER;
    });
    const com::testing::InProcessRun run = com::testing::runInProcess(
        programFolder, hostserver::makeAppDispatch(context, simHost.connector().attach(host::kHostClassName)),
        {0, L"geschliffen", L"6,4"});
    r.ended = run.ended;
    r.messages = run.messages;
    r.drawing = sim::drawingToJson(simHost.data());
    return r;
}

TEST(BusyAtEveryCall, EachRejectedCallIsTakenLaterAndTheRunEndsAsWithoutIt) {
    const com::ComApartment apartment;
    const com::testing::ScratchFolder folder("com-busy-every-call");
    std::ofstream(folder.path() / "Tarvenix.txt", std::ios::binary) << testing::configText();
    const sim::HostData drawing =
        sim::loadDrawingFile(com::testing::windowsPath(TVX_SOURCE_DIR) / "tests" / "e2e" / "fault-drawing.json");

    const BusyRun base = runRejectingOnce(folder.path(), drawing, 0);
    ASSERT_TRUE(base.ended);
    ASSERT_TRUE(base.messages.empty());
    ASSERT_GT(base.calls.size(), 50u) << "not a whole run";
    for (std::uint64_t n = 1; n <= base.calls.size(); ++n) {
        SCOPED_TRACE("rejected once: call " + std::to_string(n) + " " + base.calls[n - 1]);
        const BusyRun busy = runRejectingOnce(folder.path(), drawing, n);
        EXPECT_EQ(busy.rejected, 1);
        EXPECT_TRUE(busy.ended);
        EXPECT_TRUE(busy.messages.empty());
        EXPECT_EQ(busy.calls, base.calls);
        EXPECT_EQ(busy.drawing, base.drawing);
    }
}

} // namespace
} // namespace tvx
