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

std::istream* current_in = &std::cin;
std::ostream* current_out = &std::cout;
Pacer* current_pacer = &real_pacer;

// Drops everything up to and including the next line feed, or to the end.
void discard_line(std::streambuf& in) {
    for (int c = in.sbumpc(); c != std::char_traits<char>::eof() && c != '\n'; c = in.sbumpc()) {
    }
}

// The input ended while a prompt waits for its answer: end the prompt's line
// so that whatever is printed next starts on a line of its own.
void close_prompt() { console_out() << '\n'; }

}  // namespace

std::ostream& console_out() { return *current_out; }
std::istream& console_in() { return *current_in; }
Pacer& console_pacer() { return *current_pacer; }

ConsoleOverride::ConsoleOverride(std::istream* in, std::ostream* out, Pacer* pacer)
    : saved_in_(current_in), saved_out_(current_out), saved_pacer_(current_pacer) {
    if (in != nullptr) current_in = in;
    if (out != nullptr) current_out = out;
    if (pacer != nullptr) current_pacer = pacer;
}

ConsoleOverride::~ConsoleOverride() {
    current_in = saved_in_;
    current_out = saved_out_;
    current_pacer = saved_pacer_;
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
