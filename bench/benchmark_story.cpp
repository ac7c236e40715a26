#include "benchmark_story.hpp"

#include <random>

#include "story.hpp"

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
