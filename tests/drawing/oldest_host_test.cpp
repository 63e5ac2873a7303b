#include "drawing/oldest_host.h"

#include <gtest/gtest.h>

#include <string>

namespace tvx::host {
namespace {

TEST(OldestHost, ReadsOnlyPlainRevisionsAndNamesTheFirstCallAnOlderHostLacks) {
    EXPECT_EQ(parseHostRevision(L"31.2.0"), (HostRevision{31, 2, 0}));
    EXPECT_EQ(parseHostRevision(L"24.0"), (HostRevision{24, 0, 0}));
    EXPECT_EQ(parseHostRevision(L"25"), (HostRevision{25, 0, 0}));
    for (const wchar_t* notOne : {L"", L"0.0.0 stand-in", L"31..0", L"31.2.", L".2", L"1.2.3.4", L"31.2.0\n", L"123456"}) {
        EXPECT_FALSE(parseHostRevision(notOne)) << std::wstring(notOne).size();
    }

    // The newest call the connection needs sets the oldest host: anything older lacks it, and
    // the first call missing is the first the connection would have made.
    EXPECT_EQ(oldestAddinHost(), (HostRevision{24, 0, 0}));
    EXPECT_EQ(firstMissingAddinCall({24, 0, 0}), nullptr);
    EXPECT_EQ(firstMissingAddinCall({31, 2, 0}), nullptr);
    ASSERT_NE(firstMissingAddinCall({23, 9, 9}), nullptr);
    EXPECT_STREQ(firstMissingAddinCall({23, 9, 9})->name, "AddMenuItem5");
    ASSERT_NE(firstMissingAddinCall({22, 0, 0}), nullptr);
    EXPECT_STREQ(firstMissingAddinCall({22, 0, 0})->name, "SetAddinCallbackInfo2");
    for (const NeededCall& call : addinNeededCalls()) {
        EXPECT_FALSE(oldestAddinHost() < call.since) << call.name;
    }
}

} // namespace
} // namespace tvx::host
