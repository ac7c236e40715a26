#include "console.hpp"

#include <cctype>
#include <climits>
#include <iostream>
#include <thread>

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

// The white space that "%d" and " %c" skip.
bool is_blank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips white space; returns the next byte without taking it, or EOF.
int skip_blanks(std::streambuf& in) {
    int c = in.sgetc();
    while (c != std::char_traits<char>::eof() && is_blank(c)) {
        c = in.snextc();
    }
    return c;
}

// Drops everything up to and including the next line feed, or to the end.
void discard_line(std::streambuf& in) {
    for (int c = in.sbumpc(); c != std::char_traits<char>::eof() && c != '\n'; c = in.sbumpc()) {
    }
}

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
    constexpr int eof = std::char_traits<char>::eof();
    std::streambuf* in = console_in().rdbuf();
    if (in == nullptr) return {NumberStatus::end_of_input};

    int c = skip_blanks(*in);
    if (c == eof) return {NumberStatus::end_of_input};

    bool negative = false;
    if (c == '+' || c == '-') {
        negative = (c == '-');
        c = in->snextc();
    }
    if (c == eof || !std::isdigit(c)) {
        discard_line(*in);
        return {NumberStatus::not_a_number};
    }

    // Accumulate as a negative number so that INT_MIN fits; stop accepting
    // once out of range but keep taking the digits, as "%d" would.
    long long value = 0;
    bool in_range = true;
    while (c != eof && std::isdigit(c)) {
        if (in_range) {
            value = value * 10 - (c - '0');
            if (value < static_cast<long long>(INT_MIN) - 1) in_range = false;
        }
        c = in->snextc();
    }
    if (!negative) value = -value;
    if (!in_range || value < INT_MIN || value > INT_MAX) {
        discard_line(*in);
        return {NumberStatus::not_a_number};
    }
    return {NumberStatus::number, static_cast<int>(value)};
}

std::optional<char> read_answer() {
    std::streambuf* in = console_in().rdbuf();
    if (in == nullptr) return std::nullopt;
    const int c = skip_blanks(*in);
    if (c == std::char_traits<char>::eof()) return std::nullopt;
    in->sbumpc();
    discard_line(*in);
    return static_cast<char>(c);
}
