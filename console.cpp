#include "console.hpp"

#include <iostream>
#include <thread>

#include "decimal.hpp"

namespace {

class RealPacer final : public Pacer {
public:
    Clock::time_point now() override { return Clock::now(); }
    void sleep_until(Clock::time_point deadline) override { std::this_thread::sleep_until(deadline); }
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
