// orlimar-check on the generated benchmark story: the default check (the
// resume analysis included), every walkthrough (with and without the game's
// transcripts) and 1000 random playthroughs. Each must take well under a
// second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "benchmark_story.hpp"
#include "check_command.hpp"

namespace fs = std::filesystem;

namespace {

// The story in a file of the temporary folder, removed at the end.
class StoryFile {
public:
    StoryFile() : path_(fs::temp_directory_path() / "orlimar-play-bench.txt") {
        std::ofstream(path_, std::ios::binary) << benchmark_story();
    }
    ~StoryFile() { fs::remove(path_); }
    StoryFile(const StoryFile&) = delete;
    StoryFile& operator=(const StoryFile&) = delete;
    [[nodiscard]] std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

void run_command(benchmark::State& state, std::vector<std::string> args, int expected_status) {
    std::istringstream in;
    for (auto _ : state) {
        std::ostringstream out, err;
        const int status = run_check_command(args, in, out, err);
        if (status != expected_status) state.SkipWithError(("unexpected status; " + err.str()).c_str());
        benchmark::DoNotOptimize(out.str().size());
    }
}

void BM_DefaultCheck(benchmark::State& state) {
    const StoryFile story;
    // The random items make some losses possible: warnings (status 1).
    run_command(state, {story.path()}, 1);
}
BENCHMARK(BM_DefaultCheck)->Unit(benchmark::kMillisecond);

void BM_Walkthroughs(benchmark::State& state) {
    const StoryFile story;
    run_command(state, {"--parcours", story.path()}, 0);
}
BENCHMARK(BM_Walkthroughs)->Unit(benchmark::kMillisecond);

void BM_WalkthroughsWithTranscripts(benchmark::State& state) {
    const StoryFile story;
    const fs::path folder = fs::temp_directory_path() / "orlimar-play-bench-transcripts";
    run_command(state, {"--parcours", story.path(), "--transcription", folder.string()}, 0);
    fs::remove_all(folder);
}
BENCHMARK(BM_WalkthroughsWithTranscripts)->Unit(benchmark::kMillisecond);

void BM_ThousandRandomPlaythroughs(benchmark::State& state) {
    const StoryFile story;
    // The story loses items it may not hold: the report says so (status 1).
    run_command(state, {"--hasard", "1000", "--graine", "1", story.path()}, 1);
}
BENCHMARK(BM_ThousandRandomPlaythroughs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
