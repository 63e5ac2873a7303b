#include "drawing/record_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace tvx {
namespace {

using namespace std::chrono_literals;

TEST(RecordQueue, StopsAtItsCapGivesUpOnAHungWriterAndSaysWhatItDropped) {
    RecordQueue queue(100);
    EXPECT_TRUE(queue.push({L"log", std::string(40, 'a')})) << "the first record starts the drain";
    EXPECT_FALSE(queue.push({L"log", std::string(40, 'b')})) << "one drain at a time";
    EXPECT_FALSE(queue.push({L"log", std::string(40, 'c')})) << "past the cap";

    // The drain never comes back (a writer hung on its folder): settling gives up and drops.
    EXPECT_FALSE(queue.settle(10ms));
    EXPECT_FALSE(queue.push({L"log", "d"}));
    const auto first = queue.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->text, "Nicht geschrieben: 3 Einträge davor (das Schreiben kam nicht nach)\r\nd");
    EXPECT_FALSE(queue.next());
    EXPECT_TRUE(queue.settle(0ms));

    // A drain on another thread: settling waits until its last record is written, in order.
    EXPECT_TRUE(queue.push({L"log", "e"}));
    EXPECT_FALSE(queue.push({L"log", "f"}));
    std::vector<std::string> written;
    std::thread drain([&] {
        while (auto record = queue.next()) {
            std::this_thread::sleep_for(20ms);
            written.push_back(record->text);
        }
    });
    EXPECT_TRUE(queue.settle(10s));
    drain.join();
    EXPECT_EQ(written, (std::vector<std::string>{"e", "f"}));
}

} // namespace
} // namespace tvx
