// The player's console in a web page (Emscripten, with Asyncify).
//
// The page is always the player's terminal: what the game writes goes to it
// byte for byte as it is written, the answers come from its answer field a
// line at a time, and the typewriter's waits are timers of the page, which
// end early when the player asks for the rest of the text (Enter, a click or
// a tap). The page's speed setting scales the waits of a whole text: its
// bytes are then due sooner by that factor, or all at once.
//
// The page script provides Module.orlimarPage; everything here calls it.
#include <emscripten.h>

#include <array>
#include <iostream>
#include <streambuf>

#include "console_platform.hpp"

// clang-format off
EM_JS(void, page_write, (const char* bytes, int count), {
    Module.orlimarPage.write(HEAPU8.slice(bytes, bytes + count));
});

EM_JS(void, page_typing, (int typing), {
    Module.orlimarPage.typing(typing !== 0);
});

// How much faster than the game's pace the page types: 1 at the game's pace,
// 0 for every text at once.
EM_JS(double, page_speed_factor, (), {
    return Module.orlimarPage.speedFactor();
});

// Waits `ms` milliseconds on the page's clock; 1 when the player asked for
// the rest of the text meanwhile (or before), else 0.
EM_ASYNC_JS(int, page_wait, (double ms), {
    return await Module.orlimarPage.wait(ms);
});

// The next bytes the player sent, at most `capacity`; 0 never comes: the
// page has no end of input and waits for a line.
EM_ASYNC_JS(int, page_read, (char* bytes, int capacity), {
    const line = await Module.orlimarPage.read(capacity);
    HEAPU8.set(line, bytes);
    return line.length;
});
// clang-format on

namespace console_platform {
namespace {

constexpr std::size_t answer_capacity = 4096;  // bytes of answers taken at once

// Hands every write to the page at once: the typewriter flushes after each
// byte, and a page shows what it is given.
class PageOutput final : public std::streambuf {
protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        page_write(&byte, 1);
        return c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        page_write(text, static_cast<int>(count));
        return count;
    }
};

// The answers the player sent from the page, as they come.
class PageAnswers final : public std::streambuf {
protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        const int count = page_read(bytes_.data(), static_cast<int>(bytes_.size()));
        if (count <= 0) return traits_type::eof();
        setg(bytes_.data(), bytes_.data(), bytes_.data() + count);
        return traits_type::to_int_type(*gptr());
    }

private:
    std::array<char, answer_capacity> bytes_{};
};

PageOutput page_output;
PageAnswers page_answers;
std::streambuf* found_output = nullptr;

// The text being typed: when it began and how much faster than its pace.
Clock::time_point text_start;
double speed = 1;

}  // namespace

bool open() {
    found_output = std::cout.rdbuf(&page_output);
    return true;
}

void close() {
    if (found_output != nullptr) std::cout.rdbuf(found_output);
    found_output = nullptr;
}

std::streambuf* answers() { return &page_answers; }

void begin_typing() {
    text_start = Clock::now();
    speed = page_speed_factor();
    page_typing(1);
}

void end_typing() { page_typing(0); }

// The typewriter's deadlines are the text's start plus whole delays; at a
// faster speed each comes sooner by the factor.
EnterWaitEnd wait_for_enter(Clock::time_point deadline) {
    if (speed <= 0) return EnterWaitEnd::enter;
    const auto scaled = text_start + std::chrono::duration_cast<Clock::duration>((deadline - text_start) / speed);
    const std::chrono::duration<double, std::milli> left = scaled - Clock::now();
    if (left.count() <= 0) return EnterWaitEnd::due;
    return page_wait(left.count()) != 0 ? EnterWaitEnd::enter : EnterWaitEnd::again;
}

unsigned long continue_count() { return 0; }

// The page has its own speed setting instead of a key at the prompts.
unsigned long pace_switches_at_prompts() { return 0; }

// The page wraps its text itself, at word boundaries, whatever its width.
int columns() { return 0; }

int display_columns(char32_t) { return -1; }

void use_binary_standard_streams() {}

std::filesystem::path program_path() { return {}; }

}  // namespace console_platform
