// The client's line to a busy or hung host, against scripted fakes in process: only rejected
// calls are repeated, a host rejecting past the bound or not answering is asked nothing more.
#include "drawing/com/com_host.h"
#include "drawing/com/host_line.h"
#include "drawing/com/retry_filter.h"
#include "tests/com/fake_dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tvx::com {
namespace {

using testing::FakeDispatch;

class BusyHost : public ::testing::Test {
protected:
    ComApartment apartment;
    FakeDispatch host;
    int ran = 0; // GetType calls the host actually ran
    std::vector<HRESULT> script;
    std::size_t next = 0;

    // GetType answers the script's codes in turn (S_OK runs it), then S_OK for good.
    void SetUp() override {
        host.returnsSelf(L"ActiveDoc");
        host.on(L"GetType", [this](const DISPPARAMS&, VARIANT* result, EXCEPINFO* error, UINT*) {
            const HRESULT hr = next < script.size() ? script[next++] : S_OK;
            if (hr == DISP_E_EXCEPTION) {
                error->scode = E_FAIL;
            }
            if (hr == S_OK) {
                ++ran;
                result->vt = VT_I4;
                result->lVal = 3;
            }
            return hr;
        });
    }
    void answerInTurn(std::vector<HRESULT> codes) {
        script = std::move(codes);
        next = 0;
    }
};

TEST_F(BusyHost, OnlyARejectedCallIsRepeatedAndTheHostRunsItOnce) {
    answerInTurn({RPC_E_SERVERCALL_RETRYLATER, RPC_E_CALL_REJECTED, RPC_E_SERVERCALL_RETRYLATER});
    auto line = std::make_shared<HostLine>();
    const host::DocRef doc = wrapApp(ComPtr<IDispatch>::borrow(&host), line)->ActiveDoc();
    EXPECT_EQ(doc->GetType(), 3);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(line->retries(), 3u);
    EXPECT_FALSE(line->lost());

    // A call the host refused for another reason may have done part of its work: never again.
    for (const HRESULT refused : {DISP_E_EXCEPTION, E_FAIL, RPC_E_DISCONNECTED}) {
        SCOPED_TRACE(refused);
        answerInTurn({refused});
        const std::size_t before = host.calls.size();
        try {
            doc->GetType();
            ADD_FAILURE() << "a refused call went through";
        } catch (const host::HostError& e) {
            EXPECT_EQ(e.code(), static_cast<std::int32_t>(refused));
            EXPECT_EQ(e.kind(), refused == RPC_E_DISCONNECTED ? host::HostFailure::Gone : host::HostFailure::Refused);
        }
        EXPECT_EQ(host.calls.size(), before + 1);
    }
    EXPECT_EQ(line->retries(), 3u);
}

TEST_F(BusyHost, RejectedPastTheBoundTheHostIsBusyAndAskedNothingMoreButGetsItsReferencesBack) {
    answerInTurn(std::vector<HRESULT>(100000, RPC_E_CALL_REJECTED));
    auto line = std::make_shared<HostLine>(CallBounds{Millis(300), Millis(600'000)});
    LONG held = 0;
    {
        const host::AppRef app = wrapApp(ComPtr<IDispatch>::borrow(&host), line);
        const host::DocRef doc = app->ActiveDoc();
        try {
            doc->GetType();
            ADD_FAILURE() << "a host rejecting every call was taken as answering";
        } catch (const host::HostError& e) {
            EXPECT_EQ(e.kind(), host::HostFailure::Busy);
            EXPECT_TRUE(e.stopsRun());
            EXPECT_EQ(e.code(), static_cast<std::int32_t>(RPC_E_CALL_REJECTED));
            EXPECT_EQ(e.operation(), "GetType");
        }
        EXPECT_EQ(ran, 0);
        EXPECT_GT(line->retries(), 1u);
        const std::size_t attempts = host.calls.size();
        try {
            app->ActiveDoc();
            ADD_FAILURE() << "the host was asked again";
        } catch (const host::HostError& e) {
            EXPECT_EQ(e.kind(), host::HostFailure::Busy);
        }
        EXPECT_EQ(host.calls.size(), attempts);
        held = host.refs;
    }
    // A host that only rejects calls still takes releases: the app and the document went back.
    EXPECT_GT(held, 1);
    EXPECT_EQ(host.refs, 1);
}

// A host call that blocks while its thread still takes messages, as COM waits for another
// process's answer, until the watch has reported it.
TEST_F(BusyHost, ACallPastTheAnswerBoundIsReportedFromInsideItAndTheHostIsAskedNothingMore) {
    std::vector<std::string> reported;
    host.on(L"EditRebuild", [&reported](const DISPPARAMS&, VARIANT* result, EXCEPINFO*, UINT*) {
        const ULONGLONG giveUp = GetTickCount64() + 20'000;
        while (reported.empty() && GetTickCount64() < giveUp) {
            MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_SENDMESSAGE, 0);
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        static_cast<void>(result);
        return S_OK;
    });
    auto line = std::make_shared<HostLine>(CallBounds{Millis(30'000), Millis(200)});
    line->onHung([&reported](const char* operation) { reported.emplace_back(operation); });
    const host::AppRef app = wrapApp(ComPtr<IDispatch>::borrow(&host), line);
    const host::DocRef doc = app->ActiveDoc();
    try {
        doc->EditRebuild();
        ADD_FAILURE() << "the answer that came after the report was used";
    } catch (const host::HostError& e) {
        EXPECT_EQ(e.kind(), host::HostFailure::Hung);
    }
    EXPECT_EQ(reported, std::vector<std::string>{"EditRebuild"});
    const std::size_t calls = host.calls.size();
    EXPECT_THROW(app->ActiveDoc(), host::HostError);
    EXPECT_EQ(host.calls.size(), calls);
}

// Giving a reference back is a call into the host's process too. One the host does not answer is
// reported from inside it like any call, and what is left is dropped without asking. Only a busy
// line is tried again when the run asks; a hung one never is.
TEST_F(BusyHost, AReleaseIsWatchedLikeACallAndOnlyABusyHostIsAskedAgain) {
    std::vector<std::string> reported;
    auto line = std::make_shared<HostLine>(CallBounds{Millis(300), Millis(200)});
    line->onHung([&reported](const char* operation) { reported.emplace_back(operation); });
    host::AppRef app = wrapApp(ComPtr<IDispatch>::borrow(&host), line);
    host::DocRef doc = app->ActiveDoc();

    answerInTurn(std::vector<HRESULT>(100000, RPC_E_CALL_REJECTED));
    EXPECT_THROW(doc->GetType(), host::HostError);
    ASSERT_TRUE(line->lost());
    line->takeCallsAgain();
    answerInTurn({});
    EXPECT_EQ(doc->GetType(), 3) << "a host that answers again is asked again";

    host.whileReleasing = [&reported] {
        const ULONGLONG giveUp = GetTickCount64() + 20'000;
        while (reported.empty() && GetTickCount64() < giveUp) {
            MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_SENDMESSAGE, 0);
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    };
    const LONG before = host.refs;
    doc.reset();
    EXPECT_EQ(reported, std::vector<std::string>{"Release"});
    EXPECT_EQ(host.refs, before - 1);
    app.reset();
    EXPECT_EQ(host.refs, before - 1) << "the host was asked again after it hung";
    line->takeCallsAgain();
    EXPECT_TRUE(line->lost());
}

TEST(CallBounds, ATestMayOnlyShortenThem) {
    const CallBounds defaults;
    struct Case {
        const char* text;
        long long busy;
        long long answer;
    };
    for (const Case& c : {Case{nullptr, 30'000, 600'000}, Case{"", 30'000, 600'000}, Case{"1500,3000", 1500, 3000},
                          Case{"99999999,3000", 30'000, 3000}, Case{"1500,0", 1500, 600'000},
                          Case{"1500", 30'000, 600'000}, Case{"1500,3000x", 30'000, 600'000},
                          Case{"-5,3000", 30'000, 600'000}}) {
        SCOPED_TRACE(c.text == nullptr ? "(unset)" : c.text);
        const CallBounds b = parseCallBounds(c.text);
        EXPECT_EQ(b.busy.count(), c.busy);
        EXPECT_EQ(b.answer.count(), c.answer);
    }
    EXPECT_EQ(defaults.busy.count(), 30'000);
}

TEST(RetryFilter, WaitsLongerTheLongerTheHostRejectsAndStopsAtTheBound) {
    const Millis bound(30'000);
    EXPECT_EQ(retryAnswer(0, bound), 100u);
    EXPECT_EQ(retryAnswer(2'000, bound), 500u);
    EXPECT_EQ(retryAnswer(20'000, bound), 1000u);
    EXPECT_EQ(retryAnswer(29'950, bound), 100u);
    EXPECT_EQ(retryAnswer(30'000, bound), static_cast<DWORD>(-1));
    EXPECT_EQ(retryPause(0).count(), 50);
    EXPECT_EQ(retryPause(3).count(), 400);
    EXPECT_EQ(retryPause(40).count(), 1000);
}

} // namespace
} // namespace tvx::com
