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
#include "story.hpp"

namespace {

std::string maximal_story() {
    const std::string long_line(254, 'n');
    std::string text;
    for (int s = 0; s < max_sections; ++s) {
        text += "# Section " + std::to_string(s) + "\n[Narration]\n";
        for (int l = 0; l < 5; ++l) text += long_line + "\n";  // more than 999 bytes: cut
        text += "[/Narration]\n[Dialogue]\n";
        for (int d = 0; d < max_dialogues; ++d) text += "- " + std::string(48, 'P') + " : " + std::string(200, 't') + "\n";
        text += "[Choix]\n";
        for (int c = 0; c < max_choices; ++c) {
            text += std::string(220, 'o') + " ID_Conséquence : 1 -> Section : " + std::to_string((s + c) % 100) + "\n";
        }
        for (int i = 0; i < max_section_items; ++i) text += "\"" + std::string(60, 'i') + "\"\n";
        text += std::string(300, 'x') + "\n[Fin]\n";
    }
    return text;
}

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
