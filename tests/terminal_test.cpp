// The real orlimar program on a terminal: a pseudo-terminal, with the
// program started the way a shell starts a job (its own process group, in
// the foreground, its parent waiting in the same session). Keys are written
// as a player types them; Ctrl-C, Ctrl-\ and Ctrl-Z go through the terminal
// itself.
//
// Timings are checked with wide margins only: a narration here takes about
// 16 s to type, and what must come "at once" is given several seconds.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "screen_text.hpp"
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

// What a terminal of `width` columns does with the bytes shown: how many
// characters it folded onto a new row (automatic wrap on) and how many it
// clipped at the right edge (wrap off, "\033[?7l" to "\033[?7h"). Every
// character here takes one column.
struct Rows {
    int folded = 0;
    int clipped = 0;
};

Rows lay_out(std::string_view shown, int width) {
    Rows rows;
    bool wrap = true;
    int column = 0;
    for (std::size_t at = 0; at < shown.size(); ++at) {
        const auto byte = static_cast<unsigned char>(shown[at]);
        if (byte == '\033' && at + 1 < shown.size() && shown[at + 1] == '[') {
            const std::size_t end = shown.find_first_of("ABCDHJKhlm", at + 2);
            if (end == std::string_view::npos) break;
            const std::string_view sequence = shown.substr(at, end + 1 - at);
            if (sequence == "\033[?7l") wrap = false;
            if (sequence == "\033[?7h") wrap = true;
            at = end;
        } else if (byte == '\n') {
            column = 0;
        } else if ((byte & 0xC0) != 0x80 && byte >= ' ') {
            if (column < width) {
                ++column;
            } else if (wrap) {
                ++rows.folded;
                column = 1;
            } else {
                ++rows.clipped;
            }
        }
    }
    return rows;
}

// A text typed on the tests' terminal of 100 columns, with its line ends
// where words would have been folded.
std::string as_shown(const std::string& text) { return screen_text::wrap_words(text, 0, 100); }

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
        for (const int number : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGUSR1, SIGALRM, SIGTSTP, SIGTTIN, SIGTTOU}) {
            signal(number, SIG_DFL);
        }
        const rlimit no_core_file{0, 0};  // Ctrl-\ dumps core
        setrlimit(RLIMIT_CORE, &no_core_file);
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
    pid_t game = -1;  // the game's process and group, while it runs
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
            if (const pid_t group = game_group(); group > 0) kill(-group, SIGKILL);
            kill(job, SIGKILL);
            waitpid(job, nullptr, 0);
        }
        close(master);
        close(slave);
    }

    // The terminal's foreground process group, the game's while it runs; -1
    // once the game's session is gone (the terminal then has none: 0) and for
    // the tests' own group: a signal for either would end the test runner.
    pid_t game_group() const {
        const pid_t group = tcgetpgrp(master);
        return group > 0 && group != getpgrp() ? group : -1;
    }

    termios settings() const {
        termios now{};
        tcgetattr(slave, &now);
        return now;
    }

    bool typing_settings_on() const { return (settings().c_lflag & (ECHO | ICANON)) == 0; }

    void resize(unsigned short columns) const {
        winsize size{.ws_row = 24, .ws_col = columns, .ws_xpixel = 0, .ws_ypixel = 0};
        ioctl(master, TIOCSWINSZ, &size);
    }

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
        game = game_group();
        ASSERT_GT(game, 0) << "the game is not the terminal's foreground job";
        type(keys);
    }

    // Starts the game and waits until the first narration is being typed.
    void start_typing() {
        ASSERT_NO_FATAL_FAILURE(start("1\r"));
        ASSERT_TRUE(wait_for("Nouvelle partie commencée.\nvague vague"));
        ASSERT_TRUE(read_until([this] { return typing_settings_on(); }));
    }

    // Waits for the game to end, by `signal` or (0) with `exit_status`, and
    // for the terminal to be as it was found.
    void expect_end(int signal, int exit_status = 0) {
        int status = -1;
        ASSERT_TRUE(read_until([&] { return waitpid(job, &status, WNOHANG) != 0; }));
        job = -1;
        game = -1;
        read_for(50ms);
        const bool as_asked = signal == 0 ? WIFEXITED(status) && WEXITSTATUS(status) == exit_status
                                          : WIFSIGNALED(status) && WTERMSIG(status) == signal;
        EXPECT_TRUE(as_asked) << "wait status " << status;
        EXPECT_TRUE(same_settings(settings(), found)) << "the terminal is not given back";
    }
};

TEST_F(OnATerminal, EnterShowsTheRestAtOnceAndStrayKeysAreNeitherShownNorKept) {
    ASSERT_NO_FATAL_FAILURE(start("1\r1\r"));  // the second line is typed ahead for the first menu
    const std::string menu_prompt = "Votre choix : ";
    std::size_t seen = 0;  // where the current section's text starts on the screen
    const char* enters[] = {"\r", "#\r%", "\r#"};  // Enter alone in its read, then amid stray keys
    for (int section = 0; const std::string word : words) {
        ASSERT_TRUE(wait_for(word + word, seen)) << word;
        type("#%7");
        read_for(300ms);
        const auto enter = Clock::now();
        type(enters[section++]);
        ASSERT_TRUE(wait_for(menu_prompt, seen)) << word;
        EXPECT_LT(Clock::now() - enter, 5s) << "the rest of the narration is typed instead of shown at once: " << word;
        EXPECT_NE(screen.find(as_shown(narration(word, " ")) + "\n\n\n--- Vos Choix", seen), std::string::npos) << word;
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
    for (const int signal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGUSR1, SIGALRM}) {
        SCOPED_TRACE(strsignal(signal));
        screen.clear();
        tcsetattr(slave, TCSANOW, &found);  // whatever a failed case left
        ASSERT_NO_FATAL_FAILURE(start_typing());
        if (signal == SIGINT) type("\x03");  // Ctrl-C
        if (signal == SIGQUIT) type("\x1c");  // Ctrl-\ (a core dump)
        if (signal != SIGINT && signal != SIGQUIT) kill(game, signal);
        ASSERT_NO_FATAL_FAILURE(expect_end(signal));
        EXPECT_TRUE(screen.ends_with("\033[?7h\033[0m")) << "the wrap or the colour is not given back";
    }
}

TEST_F(OnATerminal, StoppedTwiceThenTheNextTextComesAtItsPaceThenEndOfInput) {
    ASSERT_NO_FATAL_FAILURE(start_typing());
    for (const int stop : {1, 2}) {
        SCOPED_TRACE(stop);
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
    }

    // The 6 s stopped are left out of the next text's clock too.
    type("\r");
    ASSERT_TRUE(wait_for("Votre choix : "));
    const std::size_t menu = screen.size();
    const auto answered = Clock::now();
    type("1\r");
    ASSERT_TRUE(wait_for("houle houle", menu));
    EXPECT_LT(Clock::now() - answered, 3s) << "the next text starts late";
    read_for(1s);
    EXPECT_LT(screen.size() - menu, 200u) << "the next text is not typed at its pace";

    type("\r");
    ASSERT_TRUE(wait_for("Votre choix : ", menu));
    type("\x04");  // Ctrl-D: end of input at the menu ends the game
    ASSERT_TRUE(wait_for("Merci d'avoir joué ./stories/mer.txt !\n"));
    expect_end(0);
}

TEST_F(OnATerminal, ACtrlDTypedAheadOfATextEndsTheGameAtTheNextPrompt) {
    dir.write("stories/mer.txt", "# Section\n[Narration]\nCourt.\n[/Narration]\n[Choix]\nSuivre -> Section : 1\n\n"
                                 "# Section\n[Narration]\nFin.\n[/Narration]\n[Fin]\n");
    ASSERT_NO_FATAL_FAILURE(start("1\r\x04"));  // Ctrl-D at the start of the line after the answer
    ASSERT_TRUE(wait_for("Court. \n")) << "the game stopped before the text";
    ASSERT_TRUE(wait_for("Votre choix : \n\n=== GAME OVER ===\nVoulez-vous rejouer ? (o/n) : \n"
                         "Merci d'avoir joué ./stories/mer.txt !\n"))
        << "the end of input was forgotten";
    expect_end(0);
}

TEST_F(OnATerminal, BannersAreClippedInANarrowWindowAndWrapComesBackAfter) {
    resize(80);
    ASSERT_NO_FATAL_FAILURE(start("\x04"));  // Ctrl-D at the story menu: the game ends there
    expect_end(0, 1);
    const Rows rows = lay_out(screen, 80);
    EXPECT_EQ(rows.folded, 0) << screen;
    EXPECT_GT(rows.clipped, 0);
    EXPECT_LT(screen.find("\033[?7l"), screen.find("███████╗███████╗"));
    EXPECT_GT(screen.rfind("\033[?7h"), screen.rfind("███████╗███████╗"));
    EXPECT_EQ(screen.rfind("\033[?7h"), screen.rfind("\033[?7")) << "the wrap is left off";
}

TEST_F(OnATerminal, NarrationWrapsAtBlanksCountingColumnsNotBytes) {
    // 4 columns a word; in bytes the accented ones are 8 and colour codes more.
    dir.write("stories/mer.txt",
              "# Section\n[Narration]\n\033[31maaaa\033[0m éééé îîîî ôôôô ùùùù\n[/Narration]\n[Fin]\n");
    resize(20);
    ASSERT_NO_FATAL_FAILURE(start("1\r"));
    ASSERT_TRUE(wait_for("=== Fin de l'histoire ===\n"));
    ASSERT_TRUE(wait_for("Voulez-vous rejouer ? (o/n) : "));
    const std::string shown = "\033[31maaaa\033[0m éééé îîîî ôôôô\nùùùù \n";  // the loader ends each line with a blank
    EXPECT_NE(screen.find("commencée.\n" + shown), std::string::npos) << screen;
    EXPECT_EQ(lay_out(shown, 20).folded, 0);
    type("n\r");
    ASSERT_TRUE(wait_for("\n=== GAME OVER ===\nVoulez-vous rejouer ? (o/n) : "));
    type("n\r");
    expect_end(0);
}

TEST_F(OnATerminal, EachCharacterIsWrittenWholeAtTheUsualPace) {
    dir.write("stories/mer.txt", "# Section\n[Narration]\n" + repeat("é", 40) + "\n[/Narration]\n[Fin]\n");
    ASSERT_NO_FATAL_FAILURE(start("1\r"));
    ASSERT_TRUE(wait_for("Nouvelle partie commencée.\n"));
    const auto begun = Clock::now();
    int cut_reads = 0;
    int reads = 0;
    while (screen.find("=== Fin") == std::string::npos && Clock::now() - begun < patience) {
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) continue;
        char bytes[4096];
        const ssize_t count = read(master, bytes, sizeof bytes);
        if (count <= 0) continue;
        ++reads;
        if (static_cast<unsigned char>(bytes[count - 1]) == 0xC3) ++cut_reads;  // a read ending on the lead byte
        screen.append(bytes, static_cast<std::size_t>(count));
    }
    const auto typed = Clock::now() - begun;
    EXPECT_EQ(cut_reads, 0);
    EXPECT_GT(reads, 20) << "typed in one go";
    EXPECT_GT(typed, 1400ms) << "80 bytes at 20 ms each";
    ASSERT_TRUE(wait_for("Voulez-vous rejouer ? (o/n) : "));
    type("\x04");
    expect_end(0);
}

TEST_F(OnATerminal, TabSwitchesToInstantTextAndATabLineAtAPromptSwitchesBack) {
    ASSERT_NO_FATAL_FAILURE(start("1\r"));
    ASSERT_TRUE(wait_for("vague vague"));
    read_for(300ms);
    type("\t");
    ASSERT_TRUE(wait_for("Votre choix : "));
    const std::size_t first_menu = screen.size();
    const auto answered = Clock::now();
    type("1\r");
    ASSERT_TRUE(wait_for("Votre choix : ", first_menu));
    EXPECT_LT(Clock::now() - answered, 3s) << "the next section was typed";
    EXPECT_NE(screen.find(as_shown(narration("houle ", " ")), first_menu), std::string::npos);

    const std::size_t second_menu = screen.size();
    type("\t\r");  // back to typing
    type("1\r");
    ASSERT_TRUE(wait_for("ressac ressac", second_menu));
    read_for(1s);
    EXPECT_EQ(screen.find("Votre choix : ", second_menu), std::string::npos) << "still instant";
    EXPECT_EQ(screen.find("Choix invalide", second_menu), std::string::npos);
    type("\r");  // Enter still finishes the text
    ASSERT_TRUE(wait_for("Votre choix : ", second_menu));
    type("\x04");
    ASSERT_TRUE(wait_for("Merci d'avoir joué"));
    expect_end(0);
}

}  // namespace
