// What a run owes the drawing is taken back the latest first, so that a step owed before every
// change (finishing a recording, say) comes last; a host that stops taking calls ends the attempt.
#include "drawing/owed_steps.h"

#include "drawing/host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tvx {
namespace {

TEST(OwedSteps, SettleTakesBackTheLatestFirstAndStopsWhereTheHostStops) {
    std::vector<std::string> done;
    OwedSteps owed;
    owed.owe("first", [&] { done.push_back("first"); });
    const auto paidOff = owed.owe("paid", [&] { done.push_back("paid"); });
    owed.owe("refused", [&] {
        done.push_back("refused");
        throw host::HostError("Select2", "refused");
    });
    owed.owe("busy", [&] {
        done.push_back("busy");
        throw host::HostError("DeleteSelection", "rejected", host::HostFailure::Busy);
    });
    owed.paid(paidOff);

    owed.settle();
    EXPECT_EQ(done, std::vector<std::string>{"busy"});
    EXPECT_EQ(owed.owed(), (std::vector<std::string>{"first", "refused", "busy"})) << "all still owed";

    // A host that answers: a step paid at once goes, a step it refuses cannot be done and is
    // dropped, and the rest go on.
    done.clear();
    OwedSteps again;
    again.owe("first", [&] { done.push_back("first"); });
    again.owe("refused", [&] {
        done.push_back("refused");
        throw host::HostError("Select2", "refused");
    });
    const auto now = again.owe("now", [&] { done.push_back("now"); });
    again.payNow(now);
    again.settle();
    EXPECT_EQ(done, (std::vector<std::string>{"now", "refused", "first"}));
    EXPECT_TRUE(again.empty());
}

} // namespace
} // namespace tvx
