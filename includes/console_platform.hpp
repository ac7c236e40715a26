// The player's terminal as each system offers it: console_posix.cpp,
// console_windows.cpp and console_web.cpp implement this, and the build
// picks one. Only the console calls it, but for use_binary_standard_streams
// and program_path, which the author tools use.
#pragma once

#include <chrono>
#include <filesystem>
#include <streambuf>

namespace console_platform {

using Clock = std::chrono::steady_clock;

// Prepares the process's console for the run (on Windows: UTF-8 code pages
// and escape sequences). True when standard input and standard output are
// both the player's terminal: only then are the calls below made.
bool open();

// Gives back everything that open() and typing changed.
void close();

// Where the player's answers are read from on the terminal; null to read
// them from std::cin as everywhere else.
std::streambuf* answers();

// Around a typed text: keys are not shown, Enter is listened for, and the
// keys that arrived meanwhile are dropped at the end. What the player typed
// before the text began stays for the prompts.
void begin_typing();
void end_typing();

// How a wait for Enter ended.
enum class EnterWaitEnd {
    due,    // the deadline has come
    enter,  // the player pressed Enter
    switch_pace,  // the player pressed the key that switches instant display on or off
    again,  // woken early (a signal, a stray key): wait again
};

// Waits for the deadline or a key, whichever comes first.
EnterWaitEnd wait_for_enter(Clock::time_point deadline);

// How many times the player asked at a prompt to switch instant display on
// or off (a line holding only that key); stays 0 where prompts cannot tell.
unsigned long pace_switches_at_prompts();

// The terminal's width in columns at this moment, 0 when unknown.
int columns();

// Columns the system's terminal gives `character` (wcwidth), -1 when the
// system cannot tell.
int display_columns(char32_t character);

// How many times the process was continued after being stopped; stays 0
// where processes are not stopped.
unsigned long continue_count();

// Standard input and output carry bytes as they are, with no line-end
// translation (Windows' text mode turns LF into CR LF): for tools that speak
// a byte-counted protocol on them. Nothing to do on POSIX systems.
void use_binary_standard_streams();

// The running program's own file, for tools that find files shipped beside
// it; empty where the system does not tell.
std::filesystem::path program_path();

}  // namespace console_platform
