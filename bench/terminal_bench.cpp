// The typewriter on a terminal, with the real clock: a child process types
// into a pseudo-terminal through the game's own console session, and this
// process reads and types on the other side like the player's terminal.
//
// - BM_EnterToRest: from Enter typed during a 999-byte narration to its line
//   end on the screen (goal: under 30 ms).
// - BM_TypingOnTerminal: 999 bytes at 20 ms each, waiting on the terminal's
//   input between bytes: drift from the 19.98 s due (goal: at most 0.2 %) and
//   the child's CPU time over its wall time (goal: at most 1 %). Takes 20 s.
#include <benchmark/benchmark.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
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

    explicit TypingChild(int texts) {
        int slave = -1;
        int pipe_ends[2];
        if (openpty(&terminal, &slave, nullptr, nullptr, nullptr) != 0 || pipe(pipe_ends) != 0) return;
        std::fflush(nullptr);
        pid = fork();
        if (pid == 0) {
            close(terminal);
            close(pipe_ends[0]);
            setsid();
            dup2(slave, STDIN_FILENO);
            dup2(slave, STDOUT_FILENO);
            type_narrations(texts, pipe_ends[1]);
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

    static void type_narrations(int texts, int report) {
        const ConsoleSession console;
        const std::string narration(narration_bytes, 'x');
        for (int i = 0; i < texts; ++i) {
            const auto start = Clock::now();
            const double cpu_start = process_cpu_seconds();
            typewriter_effect(narration, narration_delay_ms);
            const std::string line = std::to_string(seconds_between(start, Clock::now())) + " " +
                                     std::to_string(process_cpu_seconds() - cpu_start) + "\n";
            if (write(report, line.data(), line.size()) < 0) return;
        }
    }

    // Reads the screen until `count` bytes of the text have shown (or, with
    // count 0, until the text's line end); false if the child went away.
    bool read_until(int count) const {
        int seen = 0;
        char bytes[4096];
        for (;;) {
            const ssize_t got = read(terminal, bytes, sizeof bytes);
            if (got <= 0) return false;
            for (const char byte : std::string_view(bytes, static_cast<std::size_t>(got))) {
                if (byte == 'x' && ++seen == count && count > 0) return true;
                if (byte == '\n' && count == 0) return true;
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
