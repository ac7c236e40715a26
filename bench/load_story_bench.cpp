// Loading a story of the largest shape the format allows: 100 sections, every
// block at its caps, physical lines of 255 bytes and more.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "console.hpp"
#include "benchmark_story.hpp"
#include "story.hpp"

namespace {


void BM_LoadMaximalStory(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() / "orlimar-bench-story.txt";
    {
        std::ofstream out(path, std::ios::binary);
        out << maximal_story();
    }
    auto sections = std::make_unique<SectionTable>();
    for (auto _ : state) {
        const int count = read_story_file(path.string(), *sections).section_count;
        if (count != max_sections) state.SkipWithError("the story did not load");
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadMaximalStory)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
