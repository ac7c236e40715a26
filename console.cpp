#include "console.hpp"

#include <array>
#include <iostream>
#include <thread>

#include "console_platform.hpp"
#include "decimal.hpp"
#include "screen_text.hpp"
#include "terminal_layout.hpp"
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
//
// The pace key switches instant display on for every later text (and the
// rest of this one comes at once), or back off; so does a line holding only
// that key at a prompt.
class TerminalPacer final : public Pacer {
public:
    Clock::time_point now() override { return Clock::now() - left_out_; }

    void begin_text() override {
        const unsigned long switches = console_platform::pace_switches_at_prompts();
        if ((switches - prompt_switches_seen_) % 2 != 0) instant_ = !instant_;
        prompt_switches_seen_ = switches;
        console_platform::begin_typing();
    }
    void end_text() override { console_platform::end_typing(); }

    ByteWaitEnd wait_for_byte(Clock::time_point deadline) override {
        if (instant_) return ByteWaitEnd::rest_asked;
        for (;;) {
            leave_out_stops(deadline);
            switch (console_platform::wait_for_enter(deadline + left_out_)) {
                case console_platform::EnterWaitEnd::due:
                    return ByteWaitEnd::due;
                case console_platform::EnterWaitEnd::enter:
                    return ByteWaitEnd::rest_asked;
                case console_platform::EnterWaitEnd::switch_pace:
                    instant_ = !instant_;
                    if (instant_) return ByteWaitEnd::rest_asked;
                    break;
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
    bool instant_ = false;
    unsigned long prompt_switches_seen_ = 0;
};

// The game's output on the player's terminal, over the standard output's
// buffer. The bytes of one UTF-8 character are handed on together, in one
// write once the last of them comes, so that no screen reader or console
// ever sees half a character; every other byte goes on as it comes. It also
// follows the cursor's column, for laying out the texts to be typed.
class TerminalOutput final : public std::streambuf {
public:
    void attach(std::streambuf* downstream) { downstream_ = downstream; }
    screen_text::ColumnTracker& cursor() { return cursor_; }

    // Hands on a character left incomplete, as it is.
    void hand_on_held() {
        if (held_count_ > 0) pass(std::string_view(held_.data(), held_count_));
        held_count_ = 0;
    }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        take(traits_type::to_char_type(c));
        return c;
    }

    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        for (std::streamsize i = 0; i < count; ++i) take(bytes[i]);
        return count;
    }

    int sync() override { return downstream_->pubsync(); }  // a character still incomplete stays held

private:
    void take(char byte) {
        const auto value = static_cast<unsigned char>(byte);
        if (held_count_ > 0) {
            if (screen_text::is_continuation(value)) {
                held_[held_count_++] = byte;
                if (held_count_ == held_length_) hand_on_held();
                return;
            }
            hand_on_held();  // cut short: it goes as it is
        }
        held_length_ = screen_text::utf8_length(value);
        if (held_length_ > 1) {
            held_[0] = byte;
            held_count_ = 1;
            return;
        }
        pass(std::string_view(&byte, 1));
    }

    void pass(std::string_view bytes) {
        downstream_->sputn(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        cursor_.feed(bytes);
    }

    std::streambuf* downstream_ = nullptr;
    screen_text::ColumnTracker cursor_{console_platform::display_columns};
    std::array<char, 4> held_{};
    std::size_t held_count_ = 0;
    std::size_t held_length_ = 0;
};

constexpr std::string_view clip_lines = "\033[?7l";  // the terminal's automatic wrap off
constexpr std::string_view fold_lines = "\033[?7h";  // and back on

RealPacer real_pacer;
TerminalPacer* terminal_pacer = nullptr;
TerminalOutput terminal_output;
std::ostream terminal_out(&terminal_output);

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

namespace {

// The console in use is the game's own on the player's terminal (a tool's
// console swapped in over it is not).
bool on_the_terminal() { return console_in_use.out == &terminal_out; }

// At a prompt the player ends the answer with Enter: the cursor is back at
// the start of a line.
void answer_read() {
    if (on_the_terminal()) terminal_output.cursor().at_line_start();
}

}  // namespace

ConsoleSession::ConsoleSession() : saved_(console_in_use) {
    if (!console_platform::open()) return;
    static TerminalPacer pacer;
    terminal_pacer = &pacer;
    static std::istream terminal_answers(nullptr);
    std::streambuf* answers = console_platform::answers();
    if (answers != nullptr) terminal_answers.rdbuf(answers);
    terminal_output.attach(saved_.out->rdbuf());
    console_in_use = Console{answers != nullptr ? &terminal_answers : saved_.in, &terminal_out, terminal_pacer};
}

ConsoleSession::~ConsoleSession() {
    if (on_the_terminal()) {
        terminal_output.hand_on_held();
        terminal_out.flush();
    }
    console_in_use = saved_;
    console_platform::close();
}

std::string fit_to_screen(std::string_view text) {
    if (!on_the_terminal()) return std::string(text);
    screen_text::ColumnTracker& cursor = terminal_output.cursor();
    cursor.set_width(console_platform::columns());  // read at every text: the window may have been resized
    return screen_text::wrap_words(text, cursor.column(), cursor.width(), console_platform::display_columns);
}

BannerOnScreen::BannerOnScreen() : clipping_(on_the_terminal()) {
    if (clipping_) console_out() << clip_lines;
}

BannerOnScreen::~BannerOnScreen() {
    if (clipping_) console_out() << fold_lines;
}

bool output_lost() { return console_out().fail(); }

NumberAnswer read_number() {
    console_out().flush();  // the prompt must be on screen before waiting
    std::streambuf* in = console_in().rdbuf();
    if (in == nullptr || output_lost()) return {NumberStatus::end_of_input};
    const DecimalScan scan = scan_decimal(*in);
    answer_read();
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
    if (in == nullptr || output_lost()) return std::nullopt;
    const int c = skip_scan_blanks(*in);
    answer_read();
    if (c == std::char_traits<char>::eof()) {
        close_prompt();
        return std::nullopt;
    }
    in->sbumpc();
    discard_line(*in);
    return static_cast<char>(c);
}
