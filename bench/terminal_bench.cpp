// The typewriter on a terminal, with the real clock: a child process types
// into a pseudo-terminal through the game's own console session, and this
// process reads and types on the other side like the player's terminal.
//
// - BM_EnterToRest: from Enter typed during a 999-byte narration to its line
//   end on the screen (goal: under 30 ms).
// - BM_InstantNextText: once Tab has switched to instant display, from the
//   answer typed at a prompt to the whole next 999-byte text on the screen
//   (goal: under 30 ms).
// - BM_TypingOnTerminal: 999 bytes at 20 ms each, waiting on the terminal's
//   input between bytes: drift from the 19.98 s due (goal: at most 0.2 %) and
//   the child's CPU time over its wall time (goal: at most 1 %). Takes 20 s.
//
// The terminal is 80 columns wide and the text is made of words, so that it
// is wrapped as a player's would be.
#include <benchmark/benchmark.h>

#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "console.hpp"
#include "game_engine.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int narration_bytes = 999;
constexpr unsigned short screen_columns = 80;
constexpr char last_byte = '!';  // ends the text, so its end is seen whatever the line feeds

// 999 bytes of seven-letter words, ending with `last_byte`.
std::string narration() {
    std::string text;
    while (text.size() + 1 < narration_bytes) text += text.size() % 8 == 7 ? ' ' : 'x';
    return text + last_byte;
}

double seconds_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

double process_cpu_seconds() {
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

// A child process typing `texts` narrations into a pseudo-terminal.
struct TypingChild {
    int terminal = -1;  // the player's side
    int report = -1;    // what the child measured, as text
    pid_t pid = -1;

    // With `prompts`, the child reads an answer line after each text.
    explicit TypingChild(int texts, bool prompts = false) {
        int slave = -1;
        int pipe_ends[2];
        winsize size{.ws_row = 24, .ws_col = screen_columns, .ws_xpixel = 0, .ws_ypixel = 0};
        if (openpty(&terminal, &slave, nullptr, nullptr, &size) != 0 || pipe(pipe_ends) != 0) return;
        std::fflush(nullptr);
        pid = fork();
        if (pid == 0) {
            close(terminal);
            close(pipe_ends[0]);
            setsid();
            dup2(slave, STDIN_FILENO);
            dup2(slave, STDOUT_FILENO);
            type_narrations(texts, prompts, pipe_ends[1]);
            _exit(0);
        }
        close(slave);
        close(pipe_ends[1]);
        report = pipe_ends[0];
    }

    ~TypingChild() {
        if (pid > 0) waitpid(pid, nullptr, 0);
        close(terminal);
        close(report);
    }

    static void type_narrations(int texts, bool prompts, int report) {
        const ConsoleSession console;
        const std::string text = narration();
        for (int i = 0; i < texts; ++i) {
            const auto start = Clock::now();
            const double cpu_start = process_cpu_seconds();
            typewriter_effect(text, narration_delay_ms);
            if (prompts && i + 1 < texts) read_answer();  // the prompt between two texts
            const std::string line = std::to_string(seconds_between(start, Clock::now())) + " " +
                                     std::to_string(process_cpu_seconds() - cpu_start) + "\n";
            if (write(report, line.data(), line.size()) < 0) return;
        }
    }

    // Waits until the child reads its answer with line editing on: keys
    // typed before that belong to the text and are dropped.
    void wait_for_prompt() const {
        termios settings{};
        while (tcgetattr(terminal, &settings) == 0 && (settings.c_lflag & ICANON) == 0) usleep(100);
    }

    // Reads the screen until `count` bytes of the text have shown (or, with
    // count 0, until the text's end); false if the child went away.
    bool read_until(int count) const {
        int seen = 0;
        char bytes[4096];
        for (;;) {
            const ssize_t got = read(terminal, bytes, sizeof bytes);
            if (got <= 0) return false;
            for (const char byte : std::string_view(bytes, static_cast<std::size_t>(got))) {
                if (byte == 'x' && ++seen == count && count > 0) return true;
                if (byte == last_byte && count == 0) return true;
            }
        }
    }
};

void BM_EnterToRest(benchmark::State& state) {
    const TypingChild child(static_cast<int>(state.max_iterations));
    if (child.pid < 0) state.SkipWithError("no pseudo-terminal");
    for (auto _ : state) {
        if (!child.read_until(5)) state.SkipWithError("the typing child went away");
        const auto enter = Clock::now();
        if (write(child.terminal, "\r", 1) != 1) state.SkipWithError("cannot type");
        if (!child.read_until(0)) state.SkipWithError("the typing child went away");
        state.SetIterationTime(seconds_between(enter, Clock::now()));
    }
}
BENCHMARK(BM_EnterToRest)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_InstantNextText(benchmark::State& state) {
    const TypingChild child(static_cast<int>(state.max_iterations) + 1, true);
    if (child.pid < 0) state.SkipWithError("no pseudo-terminal");
    if (!child.read_until(5) || write(child.terminal, "\t", 1) != 1 || !child.read_until(0)) {
        state.SkipWithError("Tab did not bring the rest");
    }
    for (auto _ : state) {
        child.wait_for_prompt();
        const auto answer = Clock::now();
        if (write(child.terminal, "1\r", 2) != 2) state.SkipWithError("cannot type");
        if (!child.read_until(0)) state.SkipWithError("the typing child went away");
        state.SetIterationTime(seconds_between(answer, Clock::now()));
    }
}
BENCHMARK(BM_InstantNextText)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_TypingOnTerminal(benchmark::State& state) {
    const TypingChild child(1);
    if (child.pid < 0) state.SkipWithError("no pseudo-terminal");
    for (auto _ : state) {
        if (!child.read_until(0)) state.SkipWithError("the typing child went away");
        char line[128] = {};
        if (read(child.report, line, sizeof line - 1) <= 0) state.SkipWithError("no report");
        double wall = 0;
        double cpu = 0;
        if (std::sscanf(line, "%lf %lf", &wall, &cpu) != 2) state.SkipWithError("bad report");
        const double due = narration_bytes * narration_delay_ms / 1000.0;
        state.SetIterationTime(wall);
        state.counters["drift_percent"] = (wall - due) / due * 100;
        state.counters["cpu_percent"] = cpu / wall * 100;
    }
}
BENCHMARK(BM_TypingOnTerminal)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
