// The console: where the program writes, where it reads the player's keys,
// and how it waits between typed bytes.
//
// Everything the program prints goes through console_out() and everything it
// reads through console_in(); by default they are the process's standard
// streams. Waiting goes through the installed Pacer, by default the real
// clock. Tests and tools install their own streams and pacer with
// ConsoleOverride; the shipped program never does.
#pragma once

#include <chrono>
#include <iosfwd>
#include <optional>

std::ostream& console_out();
std::istream& console_in();

// Time source for paced output: the typewriter waits until deadlines it
// computes from now().
class Pacer {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~Pacer() = default;
    virtual Clock::time_point now() = 0;
    virtual void sleep_until(Clock::time_point deadline) = 0;
};

Pacer& console_pacer();

// Swaps in other streams and/or another pacer for as long as it lives; a null
// argument keeps the current one.
class ConsoleOverride {
public:
    ConsoleOverride(std::istream* in, std::ostream* out, Pacer* pacer = nullptr);
    ~ConsoleOverride();
    ConsoleOverride(const ConsoleOverride&) = delete;
    ConsoleOverride& operator=(const ConsoleOverride&) = delete;

private:
    std::istream* saved_in_;
    std::ostream* saved_out_;
    Pacer* saved_pacer_;
};

// ---------------------------------------------------------------------------
// Reading the player's answers

enum class NumberStatus {
    number,        // `value` holds the number read
    not_a_number,  // no number there, or one out of int range; the rest of that line was discarded
    end_of_input,  // the input is exhausted
};

struct NumberAnswer {
    NumberStatus status;
    int value = 0;
};

// Reads a decimal integer the way "%d" does: skips white space, line ends
// included, then an optional sign and digits. What follows the number stays
// for the next read, so "2 3" answers two prompts. Both readers flush the
// output first, and at end of input they end the waiting prompt's line.
NumberAnswer read_number();

// Reads one non-blank byte the way " %c" does, then discards the rest of its
// line. Empty at end of input.
std::optional<char> read_answer();
