// What keys mean while a text is typed on a terminal, and the timing of the
// typewriter's waits there.
#include <gtest/gtest.h>

#include <chrono>
#include <string_view>
#include <utility>

#include "typing_rules.hpp"

namespace {

using namespace std::chrono_literals;
using namespace typing_rules;

TEST(TypingRules, OnlyEnterFinishesTheText) {
    for (const char byte : {'\r', '\n'}) EXPECT_TRUE(finishes_text(byte)) << int(byte);
    for (const char byte : {' ', '1', 'z', '\x1b', '\x04', '\x7f', '\0', '\xc3'}) {
        EXPECT_FALSE(finishes_text(byte)) << int(byte);
    }
    constexpr unsigned space_key = 0x20;
    EXPECT_TRUE(finishes_text(KeyEvent{true, enter_virtual_key}));
    EXPECT_FALSE(finishes_text(KeyEvent{false, enter_virtual_key}));  // its release
    EXPECT_FALSE(finishes_text(KeyEvent{true, space_key}));
}

TEST(TypingRules, TabAloneSwitchesThePace) {
    EXPECT_TRUE(switches_pace('\t'));
    for (const char byte : {'\r', ' ', '\x1b', 'i'}) EXPECT_FALSE(switches_pace(byte)) << int(byte);
    EXPECT_TRUE(switches_pace(KeyEvent{true, tab_virtual_key}));
    EXPECT_FALSE(switches_pace(KeyEvent{false, tab_virtual_key}));
    const std::pair<std::string_view, bool> lines[] = {
        {"\t\n", true}, {" \t \r\n", true}, {"\n", false}, {"\t1\n", false}, {"2\t\n", false},
    };
    for (const auto& [line, asks] : lines) EXPECT_EQ(asks_pace_switch(line), asks) << line;
}

TEST(TypingRules, WaitsNeverEndEarlyNorSpin) {
    const std::pair<Clock::duration, int> cases[] = {
        {-5ms, 0}, {0ms, 0}, {1ns, 1}, {999us, 1}, {1ms, 1}, {1001us, 2}, {20ms, 20}, {19'999us, 20},
        {24h, longest_wait_ms},
    };
    for (const auto& [left, timeout_ms] : cases) EXPECT_EQ(wait_timeout_ms(left), timeout_ms) << left.count();
}

TEST(TypingRules, AfterAStopTypingGoesOnFromTheMomentOfContinuing) {
    const auto due = Clock::time_point(100s);
    EXPECT_EQ(time_lost_to_stop(due, due - 15ms), 0ms);  // continued before the byte was due: its wait goes on
    EXPECT_EQ(time_lost_to_stop(due, due), 0ms);
    EXPECT_EQ(time_lost_to_stop(due, due + 1ms), 1ms);  // the overdue byte comes now, the next one a delay later
    EXPECT_EQ(time_lost_to_stop(due, due + 30s), 30s);  // a long stop: no burst of 1500 overdue bytes
}

}  // namespace
