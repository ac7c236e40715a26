#include "worst_case_stories.hpp"

#include <algorithm>
#include <cstdint>
#include <random>

#include "story.hpp"

namespace {

// The longest physical line the reader takes whole, line end excluded.
constexpr std::size_t longest_line = line_buffer_size - 2;

std::string header(int id) { return std::string(section_marker) + " " + std::to_string(id) + "\n"; }

std::string option(std::string_view text, int target) {
    return std::string(text) + " " + std::string(choice_arrow) + " " + std::string(target_word) + " : " +
           std::to_string(target) + "\n";
}

// `text` made exactly `size` bytes long, cut or padded with `fill`.
std::string sized(std::string text, std::size_t size, char fill) {
    text.resize(size, fill);
    return text;
}

// An item name of the longest length the loader keeps.
std::string item_name(std::string_view kind, int a, int b = -1) {
    std::string name = std::string(kind) + " " + std::to_string(a);
    if (b >= 0) name += "-" + std::to_string(b);
    return sized(name + " ", max_item_name_bytes, 'o');
}

std::string gain(std::string_view name) { return "\"" + std::string(name) + "\"\n"; }
std::string lose(std::string_view name) { return "<" + std::string(name) + ">\n"; }

std::string short_narration(int id) {
    return std::string(narration_marker) + "\nVous êtes dans la salle " + std::to_string(id) + ".\n" +
           std::string(narration_end_marker) + "\n";
}

// A narration of `lines` lines of the longest length: more than the 999
// bytes kept once there are four of them.
std::string long_narration(int id, int lines) {
    std::string text = std::string(narration_marker) + "\n";
    for (int line = 0; line < lines; ++line) {
        text += sized("Salle " + std::to_string(id) + ", ligne " + std::to_string(line) + " : le vent souffle ",
                      longest_line, 'a') +
                "\n";
    }
    return text + std::string(narration_end_marker) + "\n";
}

// Five spoken lines of the longest speaker names and texts.
std::string long_dialogues(int id) {
    std::string text = std::string(dialogue_marker) + "\n";
    for (int d = 0; d < max_dialogues; ++d) {
        const std::string name = sized("Personnage " + std::to_string(d) + " ", NameText::max_size, 'p');
        const std::string start = "- " + name + ": ";
        text += start + sized("Réplique " + std::to_string(id) + "." + std::to_string(d) + " ",
                              longest_line - start.size(), 'r') +
                "\n";
    }
    return text;
}

// An option line of the longest length, with a consequence marker.
std::string long_option(int id, int c, int target) {
    const std::string tail = " " + std::string(consequence_marker) + "1 " + std::string(choice_arrow) + " " +
                             std::string(target_word) + " : " + std::to_string(target);
    return sized("Option " + std::to_string(id) + "." + std::to_string(c) + " ", longest_line - tail.size(), 'c') +
           tail + "\n";
}

}  // namespace

std::string state_explosion_story() {
    constexpr int layers = 49;  // sections 1 to 98, two per layer; 99 is the ending
    constexpr int ending = 2 * layers + 1;
    const auto first_of = [](int layer) { return 1 + 2 * layer; };
    std::string story = header(0) + short_narration(0) + std::string(choice_marker) + "\n" +
                        option("Gauche", first_of(0)) + option("Droite", first_of(0) + 1) + "\n";
    for (int layer = 0; layer < layers; ++layer) {
        for (int side = 0; side < 2; ++side) {
            const int id = first_of(layer) + side;
            const std::string item = item_name("objet", layer);
            story += header(id) + short_narration(id);
            // One side keeps the layer's item, the other gives it back at once.
            story += side == 0 ? gain(item) : gain(item) + lose(item);
            story += std::string(choice_marker) + "\n";
            for (int ahead = 1; ahead <= 2; ++ahead) {
                for (int next_side = 0; next_side < 2; ++next_side) {
                    const int target = layer + ahead < layers ? first_of(layer + ahead) + next_side : ending;
                    story += option("Vers " + std::to_string(target), target);
                }
            }
            story += option("Retour au début", 0) + "\n";
        }
    }
    return story + header(ending) + short_narration(ending) + lose(item_name("objet", 0)) +
           std::string(ending_marker) + "\n";
}

std::string deep_paths_story() {
    constexpr int pairs = 4;
    std::string story;
    for (int id = 0; id < max_sections; ++id) {
        story += header(id) + short_narration(id);
        if (id == 0) story += gain("caillou");
        for (int pair = 0; pair < pairs; ++pair) {
            const std::string item = item_name("clé", id, pair);
            story += gain(item) + lose(item);
        }
        story += std::string(choice_marker) + "\n" + option("Continuer", (id + 1) % max_sections);
        if (id == max_sections - 1) story += option("Sortir", end_section_id);
        story += "\n";
    }
    return story;
}

std::string dense_story() {
    constexpr int names = 50;
    constexpr int end_odds = 20;  // one option in this many ends the game
    std::mt19937_64 generator(7);
    const auto pick = [&](int bound) { return static_cast<int>(generator() % static_cast<std::uint64_t>(bound)); };
    std::string story;
    for (int id = 0; id < max_sections; ++id) {
        story += header(id) + short_narration(id);
        for (int i = 0; i < max_section_items; ++i) {
            const std::string item = item_name("objet", pick(names));
            story += pick(2) == 0 ? gain(item) : lose(item);
        }
        story += std::string(choice_marker) + "\n";
        for (int c = 0; c < max_choices; ++c) {
            const int target = pick(end_odds) == 0 ? end_section_id : pick(max_sections);
            story += option("Option " + std::to_string(c + 1), target);
        }
        story += "\n";
    }
    return story;
}

std::string capped_story() {
    std::string story;
    for (int id = 0; id < max_sections; ++id) {
        story += header(id) + long_narration(id, 5) + long_dialogues(id) + std::string(choice_marker) + "\n";
        for (int c = 0; c < max_choices; ++c) {
            const bool ends = c == max_choices - 1 && id % 10 == 9;
            story += long_option(id, c, ends ? end_section_id : (id + 1 + c * 7) % max_sections);
        }
        for (int i = 0; i < max_section_items; ++i) {
            // Gains of this section's names, losses of the previous one's;
            // the last name is written too long and cut.
            const int owner = i % 2 == 0 ? id : (id + max_sections - 1) % max_sections;
            std::string item = item_name("objet", owner, i / 2);
            if (i == max_section_items - 1) item += "-trop-long";
            story += i % 2 == 0 ? gain(item) : lose(item);
        }
        story += std::string(300, 'x') + "\n" + std::string(ending_marker) + "\n\n";
    }
    return story;
}

std::string many_endings_story() {
    std::string story;
    for (int id = 0; id < max_sections; ++id) {
        story += header(id) + long_narration(id, 4) + long_dialogues(id);
        if (id == max_sections - 1) {
            story += std::string(ending_marker) + "\n";
            break;
        }
        story += std::string(choice_marker) + "\n" + option("Continuer", id + 1);
        for (int c = 1; c < max_choices; ++c) story += option("Abandonner " + std::to_string(c), end_section_id);
        story += "\n";
    }
    return story;
}

std::string stray_lines_story(long long lines) {
    std::string story = header(0) + short_narration(0) + std::string(choice_marker) + "\n" +
                        option("Finir", end_section_id) + "\n";
    story.reserve(story.size() + 2 * static_cast<std::size_t>(std::max(0LL, lines)));
    for (long long line = 0; line < lines; ++line) story += "x\n";
    return story;
}

std::string endless_narration_story(long long lines) {
    std::string story = header(0) + std::string(narration_marker) + "\n";
    story.reserve(story.size() + 8 * static_cast<std::size_t>(std::max(0LL, lines)));
    for (long long line = 0; line < lines; ++line) {
        story += line % 10 == 9 ? std::string(section_marker) + "\n" : "texte\n";
    }
    return story;
}

std::string repeated_blocks_story(long long lines) {
    const std::string blocks = short_narration(0) + std::string(dialogue_marker) + "\n- Marie : Bonjour\n\n" +
                               std::string(choice_marker) + "\n" + option("Finir", end_section_id) + "\n" +
                               gain("pomme") + lose("pomme");
    const auto block_lines = static_cast<long long>(std::count(blocks.begin(), blocks.end(), '\n'));
    std::string story = header(0);
    for (long long line = 1; line + block_lines <= lines; line += block_lines) story += blocks;
    return story;
}

std::vector<WorstCaseStory> worst_case_stories(long long stray_lines) {
    return {
        {"etats.txt", "items gained on one branch and not the other, 49 layers deep", state_explosion_story()},
        {"profond.txt", "a full inventory refuses gains some 5 000 sections into the game", deep_paths_story()},
        {"dense.txt", "5 random choices and 10 item lines of 50 names in every section", dense_story()},
        {"plafonds.txt", "every cap of every section reached, one long loop", capped_story()},
        {"fins.txt", "397 endings along a chain of the longest texts", many_endings_story()},
        {"lignes-egarees.txt", "one section, then " + std::to_string(stray_lines) + " ignored lines",
         stray_lines_story(stray_lines)},
        {"narration-sans-fin.txt", "a narration never closed, then " + std::to_string(stray_lines) + " lines",
         endless_narration_story(stray_lines)},
        {"blocs-repetes.txt", std::to_string(stray_lines) + " lines of blocks that replace each other",
         repeated_blocks_story(stray_lines)},
    };
}
