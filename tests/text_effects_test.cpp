// The typewriter effect and the two banners.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "game_engine.hpp"
#include "support.hpp"

namespace {

// Counts the flushes asked of the stream it stands behind, and what had been
// written at each.
class FlushCountingBuffer : public std::stringbuf {
public:
    std::vector<std::string> written_at_flush;

protected:
    int sync() override {
        written_at_flush.push_back(str());
        return 0;
    }
};

TEST(Typewriter, PausesBeforeEveryByteButNeverForNothing) {
    FakeConsole console;
    typewriter_effect("é!", 50);  // é is two bytes in UTF-8
    EXPECT_EQ(console.pacer.pauses_ms, (std::vector<long long>{50, 50, 50}));
    typewriter_effect("", 50);
    typewriter_effect("abc", 0);
    typewriter_effect("d", -5);
    EXPECT_EQ(console.output(), "é!\n\nabc\nd\n");
    EXPECT_EQ(console.pacer.pauses_ms.size(), 3u);
}

TEST(Typewriter, FlushesAfterEveryByte) {
    FlushCountingBuffer buffer;
    std::ostream out(&buffer);
    RecordingPacer pacer;
    ConsoleOverride console({&console_in(), &out, &pacer});
    typewriter_effect("abc", 20);
    buffer.written_at_flush.resize(3);
    EXPECT_EQ(buffer.written_at_flush, (std::vector<std::string>{"a", "ab", "abc"}));
    EXPECT_EQ(buffer.str(), "abc\n");
}

// A pacer whose sleeps overshoot and whose clock moves while writing: the
// deadlines must stay on the grid start + k × delay.
class SlowPacer final : public Pacer {
public:
    Clock::time_point now() override { return now_; }
    void sleep_until(Clock::time_point deadline) override {
        deadlines.push_back(deadline);
        now_ = std::max(now_, deadline) + std::chrono::milliseconds(3);  // oversleep
    }
    std::vector<Clock::time_point> deadlines;

private:
    Clock::time_point now_{std::chrono::seconds(100)};
};

TEST(Typewriter, DeadlinesDoNotDrift) {
    std::ostringstream out;
    SlowPacer pacer;
    ConsoleOverride console({&console_in(), &out, &pacer});
    typewriter_effect(std::string(999, 'x'), 20);
    ASSERT_EQ(pacer.deadlines.size(), 999u);
    const auto start = Pacer::Clock::time_point(std::chrono::seconds(100));
    EXPECT_EQ(pacer.deadlines.front(), start + std::chrono::milliseconds(20));
    EXPECT_EQ(pacer.deadlines.back(), start + std::chrono::milliseconds(20 * 999));
}

// A pacer whose player asks for the rest of the text during the wait
// before byte number `rest_at` (from 0).
class HurriedPacer final : public Pacer {
public:
    explicit HurriedPacer(int rest_at) : rest_at_(rest_at) {}
    Clock::time_point now() override { return {}; }
    void sleep_until(Clock::time_point) override {}
    void begin_text() override { events += "<"; }
    void end_text() override { events += ">"; }
    Wake wait_for_byte(Clock::time_point) override {
        events += "w";
        return waits_++ == rest_at_ ? Wake::rest_asked : Wake::due;
    }
    std::string events;

private:
    int rest_at_;
    int waits_ = 0;
};

TEST(Typewriter, TheRestComesAtOnceWhenAsked) {
    std::ostringstream out;
    HurriedPacer pacer(2);
    ConsoleOverride console({&console_in(), &out, &pacer});
    typewriter_effect("abcdef", 20);
    EXPECT_EQ(out.str(), "abcdef\n");
    EXPECT_EQ(pacer.events, "<www>");  // no wait after the rest was asked for

    // Texts typed without pauses have nothing to listen for.
    typewriter_effect("", 20);
    typewriter_effect("gh", 0);
    EXPECT_EQ(pacer.events, "<www>");
    EXPECT_EQ(out.str(), "abcdef\n\ngh\n");
}

TEST(Banners, GameOverIsExact) {
    FakeConsole console;
    display_game_over_ascii();
    EXPECT_EQ(console.output(),
              "\n"
              "  ██████╗  █████╗ ███╗   ███╗███████╗     ██████╗ ██╗   ██╗███████╗██████╗ \n"
              " ██╔════╝ ██╔══██╗████╗ ████║██╔════╝    ██╔═══██╗██║   ██║██╔════╝██╔══██╗\n"
              " ██║  ███╗███████║██╔████╔██║█████╗      ██║   ██║██║   ██║█████╗  ██████╔╝\n"
              " ██║   ██║██╔══██║██║╚██╔╝██║██╔══╝      ██║   ██║██║   ██║██╔══╝  ██╔═══╝ \n"
              " ╚██████╔╝██║  ██║██║ ╚═╝ ██║███████╗    ╚██████╔╝╚██████╔╝███████╗██║     \n"
              "  ╚═════╝ ╚═╝  ╚═╝╚═╝     ╚═╝╚══════╝     ╚═════╝  ╚═════╝ ╚══════╝╚═╝     \n"
              "\n"
              "                            === GAME OVER ===\n"
              "   Merci d'avoir joué !\n"
              "\n");
}

TEST(Banners, TitleBannerStructure) {
    FakeConsole console;
    display_orlimar();
    std::vector<std::string> lines;
    std::istringstream in(console.output());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0] + lines[1] + lines[8] + lines[16], "\033[33m\033[32m\033[0m");
    for (int i = 2; i < 8; ++i) EXPECT_EQ(lines[i].find_first_not_of(' '), lines[i].starts_with("   ") ? 3u : 2u) << i;
    for (int i = 9; i < 15; ++i) EXPECT_EQ(lines[i].find_first_not_of(' '), 26u) << i;
    EXPECT_EQ(lines[15], "                              === ORLIMAR ===             ");
}

}  // namespace
