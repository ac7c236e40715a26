#include "console.hpp"

#include <iostream>
#include <thread>

#include "console_platform.hpp"
#include "decimal.hpp"
#include "typing_rules.hpp"

namespace {

class RealPacer final : public Pacer {
public:
    Clock::time_point now() override { return Clock::now(); }
    ByteWaitEnd wait_for_byte(Clock::time_point deadline) override {
        std::this_thread::sleep_until(deadline);
        return ByteWaitEnd::due;
    }
};

// The real clock on the player's terminal: while a text is typed, a wait
// ends early when the player presses Enter. Its clock leaves out the time
// the game spent stopped past a byte's deadline, so that typing resumes at
// its pace after a stop instead of catching up at once.
class TerminalPacer final : public Pacer {
public:
    Clock::time_point now() override { return Clock::now() - left_out_; }

    void begin_text() override { console_platform::begin_typing(); }
    void end_text() override { console_platform::end_typing(); }

    ByteWaitEnd wait_for_byte(Clock::time_point deadline) override {
        for (;;) {
            leave_out_stops(deadline);
            switch (console_platform::wait_for_enter(deadline + left_out_)) {
                case console_platform::EnterWaitEnd::due:
                    return ByteWaitEnd::due;
                case console_platform::EnterWaitEnd::enter:
                    return ByteWaitEnd::rest_asked;
                case console_platform::EnterWaitEnd::again:
                    break;
            }
        }
    }

private:
    // Called before every wait, so a stop is noticed whether it came during
    // a wait (which the continue interrupts) or while a byte was written.
    void leave_out_stops(Clock::time_point due) {
        const unsigned long continues = console_platform::continue_count();
        if (continues == continues_seen_) return;
        continues_seen_ = continues;
        left_out_ += typing_rules::time_lost_to_stop(due, now());
    }

    Clock::duration left_out_{};
    unsigned long continues_seen_ = console_platform::continue_count();
};

RealPacer real_pacer;

Console console_in_use{&std::cin, &std::cout, &real_pacer};

// Drops everything up to and including the next line feed, or to the end.
void discard_line(std::streambuf& in) {
    for (int c = in.sbumpc(); c != std::char_traits<char>::eof() && c != '\n'; c = in.sbumpc()) {
    }
}

// The input ended while a prompt waits for its answer: end the prompt's line
// so that whatever is printed next starts on a line of its own.
void close_prompt() { console_out() << '\n'; }

}  // namespace

const Console& current_console() { return console_in_use; }
std::ostream& console_out() { return *console_in_use.out; }
std::istream& console_in() { return *console_in_use.in; }
Pacer& console_pacer() { return *console_in_use.pacer; }

ConsoleOverride::ConsoleOverride(const Console& replacement) : saved_(console_in_use) {
    console_in_use = replacement;
}

ConsoleOverride::~ConsoleOverride() { console_in_use = saved_; }

ConsoleSession::ConsoleSession() : saved_(console_in_use) {
    if (!console_platform::open()) return;
    static TerminalPacer terminal_pacer;
    static std::istream terminal_answers(nullptr);
    std::streambuf* answers = console_platform::answers();
    if (answers != nullptr) terminal_answers.rdbuf(answers);
    console_in_use = Console{answers != nullptr ? &terminal_answers : saved_.in, saved_.out, &terminal_pacer};
}

ConsoleSession::~ConsoleSession() {
    console_in_use = saved_;
    console_platform::close();
}

NumberAnswer read_number() {
    console_out().flush();  // the prompt must be on screen before waiting
    std::streambuf* in = console_in().rdbuf();
    if (in == nullptr) return {NumberStatus::end_of_input};
    const DecimalScan scan = scan_decimal(*in);
    switch (scan.status) {
        case DecimalStatus::ok:
            return {NumberStatus::number, scan.value};
        case DecimalStatus::end_of_input:
            close_prompt();
            return {NumberStatus::end_of_input};
        case DecimalStatus::no_number:
        case DecimalStatus::out_of_range:
            break;
    }
    discard_line(*in);
    return {NumberStatus::not_a_number};
}

std::optional<char> read_answer() {
    console_out().flush();
    std::streambuf* in = console_in().rdbuf();
    if (in == nullptr) return std::nullopt;
    const int c = skip_scan_blanks(*in);
    if (c == std::char_traits<char>::eof()) {
        close_prompt();
        return std::nullopt;
    }
    in->sbumpc();
    discard_line(*in);
    return static_cast<char>(c);
}
