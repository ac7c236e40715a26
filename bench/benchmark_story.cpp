#include "benchmark_story.hpp"

#include <random>

namespace {

constexpr int narration_lines = 3;  // lines of 100 bytes: none is split by the reader

int pick(std::mt19937_64& generator, int bound) { return static_cast<int>(generator() % static_cast<std::uint64_t>(bound)); }

std::string narration_line(int section, int line) {
    std::string text = "Section " + std::to_string(section) + ", ligne " + std::to_string(line) + " :";
    const std::string_view words = " le vent souffle sur la lande";
    for (std::size_t i = 0; text.size() < benchmark_story_narration_bytes / narration_lines; ++i) {
        text += words[i % words.size()];
    }
    return text;
}

}  // namespace

std::string benchmark_story(std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    std::string story;
    for (int id = 0; id < benchmark_story_sections; ++id) {
        story += "# Section " + std::to_string(id) + "\n[Narration]\n";
        for (int line = 0; line < narration_lines; ++line) story += narration_line(id, line) + "\n";
        story += "[/Narration]\n\n";
        const std::string item = "objet " + std::to_string(pick(generator, benchmark_story_items));
        story += pick(generator, 2) == 0 ? "\"" + item + "\"\n\n" : "<" + item + ">\n\n";
        story += "[Choix]\n";
        for (int option = 1; option <= benchmark_story_options; ++option) {
            const int target = pick(generator, benchmark_story_end_odds) == 0 ? -1 : pick(generator, benchmark_story_sections);
            story += "Option " + std::to_string(option) + " -> Section : " + std::to_string(target) + "\n";
        }
        story += "\n";
    }
    return story;
}
