#include "drawing/messages.h"
#include "drawing/session.h"
#include "drawing/sim/sim_host.h"
#include "drawing_builders.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

struct SessionCase {
    sim::SimHost sim;
    HostSession session;
    std::vector<std::wstring> shown;

    explicit SessionCase(sim::HostData data) : sim(std::move(data)) {}

    bool open() {
        return openSession(session, sim.connector(),
                           [this](const std::wstring& message) { shown.push_back(message); });
    }
};

TEST(OpenSession, ADrawingGivesTheReferencesAndTheCurrentSheetsName) {
    sim::HostData data = testing::drawingWith({});
    data.activeDoc->sheets.push_back(sim::makeSheet(L"Blatt2"));
    data.activeDoc->currentSheet = 1;
    SessionCase s(data);
    EXPECT_TRUE(s.open());
    EXPECT_TRUE(s.shown.empty());
    EXPECT_EQ(s.session.sheetName, L"Blatt2");
    EXPECT_EQ(s.session.title, L"Zeichnung1");
    EXPECT_NE(s.session.hostView, nullptr);

    releaseHost(s.session);
    EXPECT_EQ(s.session.hostApp, nullptr);
    EXPECT_EQ(s.session.hostDoc, nullptr);
    EXPECT_EQ(s.session.hostView, nullptr);
}

TEST(OpenSession, FailuresAroundTheDrawingArePassedOverButNotTheTypeQuery) {
    SessionCase noName(testing::drawingWith({}));
    noName.sim.failOperation("GetName");
    EXPECT_TRUE(noName.open());
    EXPECT_TRUE(noName.session.sheetName.empty());

    SessionCase noTitle(testing::drawingWith({}));
    noTitle.sim.failOperation("GetTitle");
    EXPECT_TRUE(noTitle.open());
    EXPECT_FALSE(noTitle.session.title.has_value());
    EXPECT_EQ(noTitle.session.sheetName, L"Blatt1");

    SessionCase noView(testing::drawingWith({}));
    noView.sim.failOperation("GetFirstView");
    EXPECT_TRUE(noView.open());
    EXPECT_EQ(noView.session.hostView, nullptr);
    EXPECT_EQ(noView.session.sheetName, L"Blatt1");

    SessionCase noDoc(testing::drawingWith({}));
    noDoc.sim.failOperation("ActiveDoc");
    EXPECT_FALSE(noDoc.open());
    EXPECT_EQ(noDoc.shown, std::vector<std::wstring>{msg::kNoDocument});

    SessionCase noType(testing::drawingWith({}));
    noType.sim.failOperation("GetType");
    EXPECT_THROW(noType.open(), host::HostError);
    EXPECT_TRUE(noType.shown.empty());
}

} // namespace
} // namespace tvx
