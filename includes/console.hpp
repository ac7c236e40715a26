// The console: where the program writes, where it reads the player's keys,
// and how it waits between typed bytes.
//
// Everything the program prints goes through console_out(), everything it
// reads through console_in(), and every pause of the typewriter through
// console_pacer(). The three come from one Console value: by default the
// process's standard streams and the real clock. Tests and author tools swap
// in their own with a ConsoleOverride; the shipped game never does.
//
// The game opens a ConsoleSession for its whole run. When standard input and
// standard output are both the player's terminal, the session swaps in a
// console that listens while a text is typed (Enter shows the rest of it at
// once, other keys are neither shown nor kept) and gives the terminal back as
// it found it. With a pipe or a file on either side, nothing changes.
#pragma once

#include <chrono>
#include <iosfwd>
#include <optional>
#include <streambuf>

// Time source for paced output: the typewriter waits until deadlines it
// computes from now().
class Pacer {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~Pacer() = default;
    virtual Clock::time_point now() = 0;

    // How a wait before a typed byte ended.
    enum class ByteWaitEnd {
        due,         // the deadline came: type the next byte
        rest_asked,  // the player asked for the rest of the text at once
    };

    // The typewriter brackets each text it types with these, so that a pacer
    // may listen to the player meanwhile.
    virtual void begin_text() {}
    virtual void end_text() {}

    // Waits until `deadline` before a typed byte, or less if the pacer
    // listens to the player and the player asks for the rest.
    virtual ByteWaitEnd wait_for_byte(Clock::time_point deadline) = 0;
};

// A pacer that never waits: its clock jumps to every deadline. Author tools
// play stories with it, so that a walk through a story takes no time.
class InstantPacer final : public Pacer {
public:
    Clock::time_point now() override { return now_; }
    ByteWaitEnd wait_for_byte(Clock::time_point deadline) override {
        if (deadline > now_) now_ = deadline;
        return ByteWaitEnd::due;
    }

private:
    Clock::time_point now_{};
};

// An output that accepts and forgets every byte, for tools that play a story
// without showing it.
class DiscardingBuffer final : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// The streams and the pacer the program talks through. None is owned.
struct Console {
    std::istream* in;
    std::ostream* out;
    Pacer* pacer;
};

// The console in use.
const Console& current_console();

std::ostream& console_out();
std::istream& console_in();
Pacer& console_pacer();

// Makes `replacement` the console for as long as it lives, then puts the
// previous one back. Guards nest.
class ConsoleOverride {
public:
    explicit ConsoleOverride(const Console& replacement);
    ~ConsoleOverride();
    ConsoleOverride(const ConsoleOverride&) = delete;
    ConsoleOverride& operator=(const ConsoleOverride&) = delete;

private:
    Console saved_;
};

// Opens the process's console for a game and gives it back as found when it
// goes out of scope: UTF-8 where the system must be told, and on a terminal
// the typing behaviour described above. One per run, opened first in main.
class ConsoleSession {
public:
    ConsoleSession();
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

private:
    Console saved_;
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

// True once the output can no longer be written (a full disk, a closed
// pipe): nothing written from then on reaches the player. The readers below
// then answer "end of input" without reading, and the typewriter stops
// pausing, so that the game ends at once instead of playing into nothing.
bool output_lost();

// Reads a decimal integer the way "%d" does: skips white space, line ends
// included, then an optional sign and digits. What follows the number stays
// for the next read, so "2 3" answers two prompts. Both readers flush the
// output first, and at end of input they end the waiting prompt's line.
NumberAnswer read_number();

// Reads one non-blank byte the way " %c" does, then discards the rest of its
// line. Empty at end of input.
std::optional<char> read_answer();
