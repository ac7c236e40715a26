// The real orlimar program on a terminal: a pseudo-terminal, with the
// program started the way a shell starts a job (its own process group, in
// the foreground, its parent waiting in the same session). Keys are written
// as a player types them; Ctrl-C and Ctrl-Z go through the terminal itself.
//
// Timings are checked with wide margins only: a narration here takes about
// 16 s to type, and what must come "at once" is given several seconds.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "support.hpp"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto patience = 20s;  // for anything that should come, even on a loaded machine
constexpr const char* words[] = {"vague ", "houle ", "ressac "};  // one narration each

// About 800 bytes, 16 s to type at 20 ms a byte: four lines of `word`, each
// ending in `end` (a line end in the story, a blank as typed).
std::string narration(const std::string& word, const char* end = "\n") {
    return repeat(repeat(word, 200 / word.size()) + end, 4);
}

// A section per word, each leading to the next, then an ending.
std::string story() {
    std::string text;
    for (int next = 1; const char* word : words) {
        text += "# Section\n[Narration]\n" + narration(word) + "[/Narration]\n[Choix]\nSuivre -> Section : " +
                std::to_string(next++) + "\n\n";
    }
    return text + "# Section\n[Narration]\nFin.\n[/Narration]\n[Fin]\n";
}

bool same_settings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b);
}

// The program's run state letter from /proc: 'T' while stopped.
char run_state(pid_t pid) {
    const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    const auto end_of_name = stat.rfind(')');
    return end_of_name == std::string::npos || end_of_name + 2 >= stat.size() ? '?' : stat[end_of_name + 2];
}

// In the forked child: become a session on the terminal, start the program
// as a foreground job, wait for it and end the same way it did.
[[noreturn]] void run_job(int terminal, const fs::path& folder) {
    setsid();
    ioctl(terminal, TIOCSCTTY, 0);
    for (int fd = 0; fd <= 2; ++fd) dup2(terminal, fd);
    if (terminal > 2) close(terminal);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);  // nothing the test runner blocks
    const pid_t program = fork();
    if (program == 0) {
        setpgid(0, 0);
        signal(SIGTTOU, SIG_IGN);  // a background group may not take the terminal otherwise
        tcsetpgrp(0, getpid());
        // As a shell starts a foreground job: whatever the test runner
        // ignores (one started in the background ignores SIGINT), the game
        // starts with the default dispositions.
        for (const int number : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP, SIGTTIN, SIGTTOU}) signal(number, SIG_DFL);
        if (chdir(folder.c_str()) == 0) execl(ORLIMAR_EXECUTABLE, ORLIMAR_EXECUTABLE, static_cast<char*>(nullptr));
        _exit(127);
    }
    setpgid(program, program);
    int status = 0;
    while (waitpid(program, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
        signal(WTERMSIG(status), SIG_DFL);
        kill(getpid(), WTERMSIG(status));
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 126);
}

class OnATerminal : public ::testing::Test {
protected:
    TempDir dir;
    int master = -1;
    int slave = -1;  // kept open here to read the settings at any time
    pid_t job = -1;
    termios found{};
    std::string screen;  // everything shown, line ends as plain LF

    void SetUp() override {
        fs::create_directory(dir.path() / "stories");
        dir.write("stories/mer.txt", story());
        winsize size{.ws_row = 40, .ws_col = 100, .ws_xpixel = 0, .ws_ypixel = 0};
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, &size), 0);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        ASSERT_EQ(tcgetattr(slave, &found), 0);
    }

    void TearDown() override {
        if (job > 0) {
            kill(-tcgetpgrp(master), SIGKILL);
            kill(job, SIGKILL);
            waitpid(job, nullptr, 0);
        }
        close(master);
        close(slave);
    }

    termios settings() const {
        termios now{};
        tcgetattr(slave, &now);
        return now;
    }

    bool typing_settings_on() const { return (settings().c_lflag & (ECHO | ICANON)) == 0; }

    void type(std::string_view keys) const {
        ASSERT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // Reads what the program shows for up to `time`.
    void read_for(Clock::duration time) {
        const auto until = Clock::now() + time;
        for (auto now = Clock::now(); now < until; now = Clock::now()) {
            pollfd ready{master, POLLIN, 0};
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
            if (poll(&ready, 1, static_cast<int>(left)) <= 0) continue;
            char bytes[4096];
            const ssize_t count = read(master, bytes, sizeof bytes);
            for (ssize_t i = 0; i < count; ++i) {
                if (bytes[i] != '\r') screen += bytes[i];
            }
        }
    }

    // Reads what the program shows until `done`; false if it never is.
    template <typename Condition>
    bool read_until(Condition done) {
        for (const auto until = Clock::now() + patience; !done(); read_for(10ms)) {
            if (Clock::now() > until) return false;
        }
        return true;
    }

    bool wait_for(std::string_view text, std::size_t from = 0) {
        return read_until([&] { return screen.find(text, from) != std::string::npos; });
    }

    // Starts the game and answers the story menu with `keys`.
    void start(std::string_view keys) {
        job = fork();
        if (job == 0) run_job(slave, dir.path());
        ASSERT_GT(job, 0);
        ASSERT_TRUE(wait_for("Choisissez une histoire (1-1) : "));
        type(keys);
    }

    // Starts the game and waits until the first narration is being typed.
    void start_typing() {
        start("1\r");
        ASSERT_TRUE(wait_for("Nouvelle partie commencée.\nvague vague"));
        ASSERT_TRUE(read_until([this] { return typing_settings_on(); }));
    }

    // Waits for the game to end, by `signal` or (0) with status 0, and for
    // the terminal to be as it was found.
    void expect_end(int signal) {
        int status = -1;
        ASSERT_TRUE(read_until([&] { return waitpid(job, &status, WNOHANG) != 0; }));
        job = -1;
        read_for(50ms);
        const bool as_asked = signal == 0 ? WIFEXITED(status) && WEXITSTATUS(status) == 0
                                          : WIFSIGNALED(status) && WTERMSIG(status) == signal;
        EXPECT_TRUE(as_asked) << "wait status " << status;
        EXPECT_TRUE(same_settings(settings(), found)) << "the terminal is not given back";
    }
};

TEST_F(OnATerminal, EnterShowsTheRestAtOnceAndStrayKeysAreNeitherShownNorKept) {
    start("1\r1\r");  // the second line is typed ahead for the first menu
    const std::string menu_prompt = "Votre choix : ";
    std::size_t seen = 0;  // where the current section's text starts on the screen
    for (const std::string word : words) {
        ASSERT_TRUE(wait_for(word + word, seen)) << word;
        type("#%7");
        read_for(300ms);
        const auto enter = Clock::now();
        type("\r");
        ASSERT_TRUE(wait_for(menu_prompt, seen)) << word;
        EXPECT_LT(Clock::now() - enter, 5s) << "the rest of the narration is typed instead of shown at once";
        EXPECT_NE(screen.find(narration(word, " ") + "\n\n\n--- Vos Choix", seen), std::string::npos) << word;
        seen = screen.find(menu_prompt, seen) + menu_prompt.size();
        read_for(300ms);
        EXPECT_EQ(screen.find("Choix invalide"), std::string::npos) << word;
        // The first menu took its answer typed ahead; the second gets "1 1",
        // whose second number answers the third.
        if (word == "houle ") type("1 1\r");
    }
    const std::string replay = "Voulez-vous rejouer ? (o/n) : ";
    ASSERT_TRUE(wait_for(replay));
    read_for(300ms);
    EXPECT_TRUE(screen.ends_with(replay)) << "a stray key answered the ending's question";
    type("n\r");
    ASSERT_TRUE(wait_for("\n=== GAME OVER ===\nVoulez-vous rejouer ? (o/n) : "));
    type("n\r");
    expect_end(0);
    EXPECT_EQ(screen.find_first_of("#%"), std::string::npos) << "a stray key was shown";
}

TEST_F(OnATerminal, SignalsGiveTheTerminalBackThenEndTheGameTheUsualWay) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        screen.clear();
        start_typing();
        if (signal == SIGINT) type("\x03");  // Ctrl-C
        if (signal != SIGINT) kill(tcgetpgrp(master), signal);
        expect_end(signal);
        EXPECT_TRUE(screen.ends_with("\033[0m")) << "the colour is not reset";
    }
}

TEST_F(OnATerminal, StopAndContinueThenEndOfInput) {
    start_typing();
    const pid_t game = tcgetpgrp(master);
    type("\x1a");  // Ctrl-Z
    ASSERT_TRUE(read_until([&] { return run_state(game) == 'T'; }));
    EXPECT_TRUE(same_settings(settings(), found)) << "stopped with echo off";

    // Stopped long enough for 150 bytes to fall due.
    read_for(3s);
    const std::size_t shown_before_continuing = screen.size();
    kill(game, SIGCONT);
    ASSERT_TRUE(read_until([this] { return typing_settings_on(); }));
    read_for(500ms);
    EXPECT_LT(screen.size() - shown_before_continuing, 100u) << "the overdue text came at once";

    type("\r");
    ASSERT_TRUE(wait_for("Votre choix : "));
    type("\x04");  // Ctrl-D: end of input at the menu ends the game
    ASSERT_TRUE(wait_for("Merci d'avoir joué ./stories/mer.txt !\n"));
    expect_end(0);
}

}  // namespace
