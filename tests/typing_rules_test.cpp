// What keys mean while a text is typed on a terminal, and the timing of the
// typewriter's waits there.
#include <gtest/gtest.h>

#include <chrono>

#include "typing_rules.hpp"

namespace {

using namespace std::chrono_literals;
using typing_rules::Clock;

TEST(TypingRules, OnlyEnterFinishesTheText) {
    struct Case {
        char byte;
        bool finishes;
    } cases[] = {{'\r', true}, {'\n', true}, {' ', false}, {'1', false}, {'z', false},
                 {'\x1b', false}, {'\x04', false}, {'\x7f', false}, {'\0', false}, {'\xc3', false}};
    for (const Case& c : cases) EXPECT_EQ(typing_rules::finishes_text(c.byte), c.finishes) << int(c.byte);

    using typing_rules::KeyEvent;
    constexpr unsigned space_key = 0x20;
    EXPECT_TRUE(typing_rules::finishes_text(KeyEvent{true, typing_rules::enter_virtual_key}));
    EXPECT_FALSE(typing_rules::finishes_text(KeyEvent{false, typing_rules::enter_virtual_key}));  // its release
    EXPECT_FALSE(typing_rules::finishes_text(KeyEvent{true, space_key}));
}

TEST(TypingRules, WaitsNeverEndEarlyNorSpin) {
    struct Case {
        Clock::duration left;
        int timeout_ms;
    } cases[] = {
        {-5ms, 0}, {0ms, 0}, {1ns, 1}, {999us, 1}, {1ms, 1}, {1001us, 2}, {20ms, 20}, {19'999us, 20},
        {24h, typing_rules::longest_wait_ms},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(typing_rules::wait_timeout_ms(c.left), c.timeout_ms) << c.left.count();
    }
}

TEST(TypingRules, AfterAStopTypingGoesOnFromTheMomentOfContinuing) {
    const Clock::time_point due = Clock::time_point(100s);
    struct Case {
        Clock::time_point continued_at;
        Clock::duration left_out;
    } cases[] = {
        {due - 15ms, 0ms},     // continued before the byte was due: its wait goes on
        {due, 0ms},            //
        {due + 1ms, 1ms},      // the overdue byte comes now, the next one a delay later
        {due + 30s, 30s},      // a long stop: no burst of 1500 overdue bytes
    };
    for (const Case& c : cases) {
        EXPECT_EQ(typing_rules::time_lost_to_stop(due, c.continued_at), c.left_out)
            << (c.continued_at - due).count();
    }
}

}  // namespace
