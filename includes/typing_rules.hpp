// What the player's keys mean while a text is typed on a terminal, and how
// the typewriter's waits are timed there. Plain rules, the same on every
// system; each system's terminal code applies them.
#pragma once

#include <chrono>
#include <string_view>

namespace typing_rules {

using Clock = std::chrono::steady_clock;

// Enter finishes the text being typed. A terminal sends it as CR, or as LF
// when it translates CR; every other byte is a stray key, dropped unseen.
constexpr bool finishes_text(char byte) { return byte == '\r' || byte == '\n'; }

// Tab switches every later text to instant display, and back. It is one
// byte that no escape sequence holds, that the terminal's line discipline,
// tmux, screen and screen readers (whose commands use Insert, Caps Lock and
// the keypad) all pass on untouched, and that means nothing else here.
inline constexpr char switch_pace_key = '\t';
constexpr bool switches_pace(char byte) { return byte == switch_pace_key; }

// A line typed at a prompt that holds only that key, blanks aside, asks the
// same: that is how instant display is left, since no text is then typed
// long enough to press a key in it. Such a line answers nothing anyway.
constexpr bool asks_pace_switch(std::string_view line) {
    bool has_key = false;
    for (const char byte : line) {
        if (switches_pace(byte)) {
            has_key = true;
        } else if (byte != ' ' && byte != '\r' && byte != '\n') {
            return false;
        }
    }
    return has_key;
}

// A key as consoles that report key events (the Windows console) give it.
struct KeyEvent {
    bool key_down;
    unsigned virtual_key;
};

inline constexpr unsigned enter_virtual_key = 0x0D;
inline constexpr unsigned tab_virtual_key = 0x09;

// Only pressing Enter counts: its release would otherwise finish the next text too.
constexpr bool finishes_text(KeyEvent key) { return key.key_down && key.virtual_key == enter_virtual_key; }
constexpr bool switches_pace(KeyEvent key) { return key.key_down && key.virtual_key == tab_virtual_key; }

// A single wait lasts at most this long; the caller waits again if need be.
inline constexpr int longest_wait_ms = 60'000;

// The timeout, in whole milliseconds, for a wait with `left` to go: rounded
// up, so that a wait never ends before its deadline and then spins through
// zero timeouts for the last fraction of a millisecond.
constexpr int wait_timeout_ms(Clock::duration left) {
    if (left <= Clock::duration::zero()) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms < longest_wait_ms ? static_cast<int>(ms) : longest_wait_ms;
}

// After the game was stopped (Ctrl-Z, then fg), how much of the stop the
// typing clock leaves out: the byte that fell due meanwhile comes at the
// moment of continuing and the next ones at their usual pace after it,
// instead of everything overdue at once. Nothing when the byte is not due yet.
constexpr Clock::duration time_lost_to_stop(Clock::time_point due, Clock::time_point continued_at) {
    return continued_at > due ? continued_at - due : Clock::duration::zero();
}

}  // namespace typing_rules
