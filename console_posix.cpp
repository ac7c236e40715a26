// The player's terminal on POSIX systems.
//
// At the prompts the terminal stays exactly as the player had it (echo, line
// editing). Only while a text is typed are echo and canonical mode off, so
// that stray keys are not shown and Enter is seen at once; when the text is
// done, the settings come back and what was typed meanwhile is discarded.
// Answers are read through a buffer of our own over standard input, so that
// lines finished before a text begins can be taken in and kept first.
//
// Signals: those that end the process by default and can come from the
// player, the terminal or another process (Ctrl-C, Ctrl-\, kill, a timer, a
// limit reached) give the settings and the colour back, then end the process
// by the same signal, with a core dump where it would have made one; SIGTSTP
// gives the settings back before stopping, and SIGCONT applies the typing
// settings again if a text is being typed. Faults of the program itself
// (SIGSEGV, SIGABRT...) keep their own handling, and SIGKILL cannot be caught.
// The handlers only call async-signal-safe functions.
//
// Widths: the window's from the terminal at each ask; a character's from
// wcwidth under the system's C.UTF-8 character type, loaded for that alone
// (the process's own locale stays "C").
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <wchar.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <streambuf>
#include <string_view>
#include <thread>

#include "console_platform.hpp"
#include "typing_rules.hpp"

namespace console_platform {
namespace {

constexpr int input_fd = STDIN_FILENO;
constexpr int output_fd = STDOUT_FILENO;
constexpr std::size_t answer_capacity = 4096;  // bytes of answers held at once
constexpr std::size_t key_chunk = 64;          // keys read at once while typing
// The automatic wrap back on (a banner may have been clipping lines), then the colour reset.
constexpr std::string_view give_back_screen = "\033[?7h\033[0m";

// Ctrl-C and Ctrl-\ at the terminal; the end asked by another process, a
// hang-up, the user signals and the timers, none of which the game uses;
// the CPU time and file size limits (a save written past the latter).
constexpr std::array fatal_signals = {SIGINT,  SIGQUIT,   SIGTERM, SIGHUP,  SIGUSR1, SIGUSR2,
                                      SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ};

// Written before the handlers are installed, only read by them afterwards.
struct termios found_settings;
struct termios typing_settings;

// Shared with the handlers.
volatile sig_atomic_t typing = 0;          // a text is being typed
volatile sig_atomic_t typing_applied = 0;  // the terminal has the typing settings
volatile sig_atomic_t continues = 0;

bool opened = false;
bool input_gone = false;  // hang-up seen while typing the current text
unsigned long pace_switches = 0;
locale_t utf8_characters = static_cast<locale_t>(0);  // none: the system has no C.UTF-8

struct SavedAction {
    int signal;
    struct sigaction action;
    bool replaced;
};
std::array<SavedAction, fatal_signals.size() + 2> saved_actions{};

// Only what the game changed is put back: a game stopped with Ctrl-Z has
// given the terminal back already, and must not overwrite the settings of
// the shell that holds the terminal meanwhile.
void put_back_found_settings() {
    if (typing_applied == 0) return;
    tcsetattr(input_fd, TCSANOW, &found_settings);
    typing_applied = 0;
}

// From a handler: a game continued in the background is stopped again by
// SIGTTOU inside tcsetattr, and counts as changing the terminal only once
// the settings are on it.
void apply_typing_settings() {
    tcsetattr(input_fd, TCSANOW, &typing_settings);
    typing_applied = 1;
}

void install(int signal, void (*handler)(int), int flags, int blocked = 0) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    if (blocked != 0) sigaddset(&action.sa_mask, blocked);
    sigaction(signal, &action, nullptr);
}

// The handler is reset to the default on entry and the signal is not
// blocked, so raising it again ends the process as it would have. SIGTTOU
// is blocked meanwhile, so that a game in the background is not stopped by
// writing to its terminal instead of ending.
void on_fatal_signal(int signal) {
    put_back_found_settings();
    [[maybe_unused]] const ssize_t written = write(output_fd, give_back_screen.data(), give_back_screen.size());
    raise(signal);
}

// Stops for real (the default action, in force on entry), then, once
// continued, listens for the next stop.
void on_stop(int) {
    const int saved_errno = errno;
    put_back_found_settings();
    raise(SIGTSTP);
    // Continued, or never stopped (an orphaned process group ignores SIGTSTP).
    if (typing != 0) apply_typing_settings();
    install(SIGTSTP, on_stop, SA_RESTART | SA_RESETHAND | SA_NODEFER);
    errno = saved_errno;
}

void on_continue(int) {
    const int saved_errno = errno;
    if (typing != 0) apply_typing_settings();
    continues = continues + 1;
    errno = saved_errno;
}

// Installs `handler` unless the signal was ignored when the game started
// (as for a game started with nohup), and remembers what to put back.
void take_over(std::size_t slot, int signal, void (*handler)(int), int flags, int blocked = 0) {
    SavedAction& saved = saved_actions[slot];
    saved.signal = signal;
    sigaction(signal, nullptr, &saved.action);
    saved.replaced = saved.action.sa_handler != SIG_IGN;
    if (saved.replaced) install(signal, handler, flags, blocked);
}

void install_handlers() {
    std::size_t slot = 0;
    for (const int signal : fatal_signals) {
        take_over(slot++, signal, on_fatal_signal, SA_RESTART | SA_RESETHAND | SA_NODEFER, SIGTTOU);
    }
    take_over(slot++, SIGTSTP, on_stop, SA_RESTART | SA_RESETHAND | SA_NODEFER);
    take_over(slot++, SIGCONT, on_continue, SA_RESTART);
}

void remove_handlers() {
    for (const SavedAction& saved : saved_actions) {
        if (saved.replaced) sigaction(saved.signal, &saved.action, nullptr);
    }
}

// Reads the player's answers from standard input. Its end is final, like
// the end of any other input.
class AnswerBuffer final : public std::streambuf {
public:
    AnswerBuffer() { setg(bytes_.data(), bytes_.data(), bytes_.data()); }

    // Takes in, without waiting, what the terminal already holds for reading:
    // with line editing on, the lines the player finished.
    void take_in_finished_lines() {
        const std::ptrdiff_t unread = egptr() - gptr();
        std::memmove(bytes_.data(), gptr(), static_cast<std::size_t>(unread));
        setg(bytes_.data(), bytes_.data(), bytes_.data() + unread);
        while (!ended_ && egptr() < end()) {
            pollfd ready{input_fd, POLLIN, 0};
            if (poll(&ready, 1, 0) != 1 || (ready.revents & POLLIN) == 0) return;
            const ssize_t count = read(input_fd, egptr(), static_cast<std::size_t>(end() - egptr()));
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) return;
            if (count == 0) ended_ = true;  // Ctrl-D at the start of a line
            setg(eback(), gptr(), egptr() + count);
        }
    }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        if (ended_) return traits_type::eof();
        ssize_t count = 0;
        do {
            count = read(input_fd, bytes_.data(), bytes_.size());
        } while (count < 0 && errno == EINTR);
        if (count <= 0) {
            ended_ = true;
            return traits_type::eof();
        }
        if (typing_rules::asks_pace_switch(std::string_view(bytes_.data(), static_cast<std::size_t>(count)))) {
            ++pace_switches;
            return underflow();
        }
        setg(bytes_.data(), bytes_.data(), bytes_.data() + count);
        return traits_type::to_int_type(*gptr());
    }

private:
    char* end() { return bytes_.data() + bytes_.size(); }

    std::array<char, answer_capacity> bytes_{};
    bool ended_ = false;
};

AnswerBuffer answer_buffer;

// No more keys can come: the rest of this wait is a plain sleep.
EnterWaitEnd sleep_out(Clock::time_point deadline) {
    input_gone = true;
    std::this_thread::sleep_until(deadline);
    return EnterWaitEnd::again;
}

// Reads the keys waiting and tells whether Enter is among them; the others
// are stray keys and go.
EnterWaitEnd read_keys(Clock::time_point deadline) {
    std::array<char, key_chunk> keys{};
    const ssize_t count = read(input_fd, keys.data(), keys.size());
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) return EnterWaitEnd::again;
    if (count <= 0) return sleep_out(deadline);
    for (const char key : std::string_view(keys.data(), static_cast<std::size_t>(count))) {
        if (typing_rules::finishes_text(key)) return EnterWaitEnd::enter;
        if (typing_rules::switches_pace(key)) return EnterWaitEnd::switch_pace;
    }
    return EnterWaitEnd::again;
}

}  // namespace

bool open() {
    if (isatty(input_fd) == 0 || isatty(output_fd) == 0) return false;
    if (tcgetattr(input_fd, &found_settings) != 0) return false;
    typing_settings = found_settings;
    typing_settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON);
    typing_settings.c_cc[VMIN] = 0;  // a read takes what is there and never waits
    typing_settings.c_cc[VTIME] = 0;
    if (utf8_characters == static_cast<locale_t>(0)) {
        utf8_characters = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    }
    install_handlers();
    opened = true;
    return true;
}

void close() {
    if (!opened) return;
    if (typing != 0) end_typing();
    remove_handlers();
    opened = false;
}

unsigned long pace_switches_at_prompts() { return pace_switches; }

int columns() {
    winsize size{};
    if (ioctl(output_fd, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

int display_columns(char32_t character) {
    if (utf8_characters == static_cast<locale_t>(0)) return -1;
    const locale_t before = uselocale(utf8_characters);
    const int columns = wcwidth(static_cast<wchar_t>(character));
    uselocale(before);
    return columns;
}

std::streambuf* answers() { return &answer_buffer; }

void begin_typing() {
    answer_buffer.take_in_finished_lines();
    input_gone = false;
    typing = 1;  // set first: a stop from here on puts the typing settings back on continuing
    typing_applied = 1;  // and a fatal signal from here on the found ones
    tcsetattr(input_fd, TCSANOW, &typing_settings);
}

void end_typing() {
    typing = 0;  // cleared first: a stop from here on leaves the found settings on continuing
    typing_applied = 1;  // whatever a stop did meanwhile, the found settings go back now
    tcsetattr(input_fd, TCSAFLUSH, &found_settings);  // TCSAFLUSH: the keys typed meanwhile go
    typing_applied = 0;
}

EnterWaitEnd wait_for_enter(Clock::time_point deadline) {
    const Clock::duration left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return EnterWaitEnd::due;
    if (input_gone) return sleep_out(deadline);
    pollfd ready{input_fd, POLLIN, 0};
    const int result = poll(&ready, 1, typing_rules::wait_timeout_ms(left));
    if (result < 0) return errno == EINTR ? EnterWaitEnd::again : sleep_out(deadline);
    if (result == 0) return EnterWaitEnd::again;
    if ((ready.revents & POLLIN) != 0) return read_keys(deadline);
    return sleep_out(deadline);  // POLLHUP, POLLERR, POLLNVAL: never keys again
}

unsigned long continue_count() { return static_cast<unsigned long>(continues); }

void use_binary_standard_streams() {}

// Linux names the program's file under /proc; elsewhere nothing is told.
std::filesystem::path program_path() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

}  // namespace console_platform
