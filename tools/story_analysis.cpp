#include "story_analysis.hpp"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <unordered_set>
#include <utility>

#include "console.hpp"
#include "decimal.hpp"
#include "game_engine.hpp"
#include "inventor.hpp"
#include "near_miss.hpp"
#include "text_excerpt.hpp"
#include "wording.hpp"
#include "item_search.hpp"
#include "story_graph.hpp"

namespace {

// Diagnostics over the loaded sections

std::string section_range(int section_count) {
    return "0 à " + std::to_string(section_count - 1) + ", ou -1 pour finir";
}

void check_targets(const SectionTable& sections, int section_count, const StoryPlaces& lines,
                   std::vector<Diagnostic>& out) {
    for (int id = 0; id < section_count; ++id) {
        const Section& section = section_at(sections, id);
        const std::span<const Choice> options = section_options(section);
        for (std::size_t c = 0; c < options.size(); ++c) {
            const int target = options[c].next_section_id;
            if (target == end_section_id || is_loaded_section(target, section_count)) continue;
            out.push_back(error_at(lines.choice[static_cast<std::size_t>(id)][c],
                                   "le choix mène à la section " + std::to_string(target) +
                                       ", qui n'existe pas (" + section_range(section_count) +
                                       ") : la partie s'arrêterait sur une erreur"));
        }
    }
}

void check_sections(const SectionTable& sections, int section_count, const StoryPlaces& lines,
                    std::vector<Diagnostic>& out) {
    const std::vector<bool> reachable = reachable_sections(sections, section_count);
    const std::vector<bool> can_end = sections_that_can_end(sections, section_count);
    for (int id = 0; id < section_count; ++id) {
        const auto at = static_cast<std::size_t>(id);
        const Section& section = section_at(sections, id);
        const std::string name = "la section " + std::to_string(id);
        if (!reachable[at]) {
            out.push_back(warning_at(lines.header[at], name + " est inaccessible : aucun chemin depuis la section 0 n'y mène"));
        }
        if (section_end(section) == SectionEnd::stop) {
            out.push_back(warning_at(lines.header[at], name + " n'a ni choix ni [Fin] : la partie s'y arrête "
                                                              "sans écran de fin"));
        }
        if (section_end(section) == SectionEnd::choice_menu && section.is_ending != 0) {
            const int line = lines.ending[at] != 0 ? lines.ending[at] : lines.header[at];
            out.push_back(warning_at(line, name + " porte [Fin] mais a des choix : son écran de fin "
                                                  "ne s'affiche jamais"));
        }
        if (!can_end[at]) {
            out.push_back(error_at(lines.header[at], "aucune fin n'est accessible depuis " + name +
                                                         " : le joueur y tourne en rond sans pouvoir finir"));
        }
    }
}

int item_line(const StoryPlaces& lines, int section, int index) {
    return lines.item[static_cast<std::size_t>(section)][static_cast<std::size_t>(index)];
}

const Item& item_at(const SectionTable& sections, int section, int index) {
    return section_at(sections, section).items[static_cast<std::size_t>(index)];
}

// For a lost item: a gained one spelt the same but for case or accents.
std::string near_gain_hint(const SectionTable& sections, int section_count, const StoryPlaces& lines,
                           std::string_view lost) {
    const std::string folded = fold_spelling(lost);
    for (int id = 0; id < section_count; ++id) {
        const std::span<const Item> items = section_items(section_at(sections, id));
        for (std::size_t i = 0; i < items.size(); ++i) {
            const Item& item = items[i];
            if (item.type != item_gain || item.name.view() == lost || fold_spelling(item.name.view()) != folded) continue;
            return " ; vouliez-vous dire " + quote(item.name.view()) + ", gagné ligne " +
                   std::to_string(item_line(lines, id, static_cast<int>(i))) +
                   " ? Les noms d'objets doivent être identiques, majuscules et accents compris";
        }
    }
    return {};
}

std::string resume_message(const MissingItem& missing, std::string_view item) {
    const std::string save = std::to_string(missing.path.front());
    std::string message =
        missing.path.size() == 1
            ? "une partie reprise depuis une sauvegarde faite dans cette section (la " + save +
                  ") rejoue cette ligne sans l'objet " + quote(item)
            : "une partie reprise depuis une sauvegarde faite dans la section " + save +
                  " arrive ici sans l'objet " + quote(item) + " (chemin " + format_path(missing.path) + ")";
    return message + " : une reprise commence avec un inventaire vide, le joueur verrait l'erreur REMOVE_ITEM";
}

// Once per item: the first line, in the file, where some resumed game lacks
// it, unless a new game already can.
void check_resumed_items(const SectionTable& sections, int section_count, const StoryPlaces& lines,
                         const std::vector<MissingItem>& new_game, std::vector<Diagnostic>& out) {
    const MissingItemSearch search =
        find_missing_items_on_resume(sections, section_count, save_points(sections, section_count), new_game);
    std::map<std::string_view, const MissingItem*> first_per_item;
    for (const MissingItem& missing : search.missing) {
        const std::string_view name = item_at(sections, missing.section, missing.item_index).name.view();
        const MissingItem*& first = first_per_item[name];
        if (first == nullptr || item_line(lines, missing.section, missing.item_index) <
                                    item_line(lines, first->section, first->item_index)) {
            first = &missing;
        }
    }
    for (const auto& [name, missing] : first_per_item) {
        out.push_back(remark_at(item_line(lines, missing->section, missing->item_index),
                                resume_message(*missing, name) + near_gain_hint(sections, section_count, lines, name)));
    }
    if (!search.complete) {
        out.push_back(remark_at(0, "analyse des reprises interrompue après " + std::to_string(max_item_search_states) +
                                       " états : des objets manquants après une reprise peuvent ne pas être signalés"));
    }
}

void check_items(const SectionTable& sections, int section_count, const StoryPlaces& lines,
                 std::vector<Diagnostic>& out) {
    const MissingItemSearch search = find_missing_items(sections, section_count);
    for (const MissingItem& missing : search.missing) {
        const std::string_view name = item_at(sections, missing.section, missing.item_index).name.view();
        out.push_back(warning_at(item_line(lines, missing.section, missing.item_index),
                                 "l'objet " + quote(name) + " peut manquer quand cette ligne le retire"
                                 " (chemin " + format_path(missing.path) +
                                     ") : le joueur verrait l'erreur REMOVE_ITEM" +
                                     near_gain_hint(sections, section_count, lines, name)));
    }
    if (!search.complete) {
        out.push_back(warning_at(0, "analyse des objets interrompue après " +
                                        std::to_string(max_item_search_states) +
                                        " états : des objets manquants peuvent ne pas être signalés"));
    }
    check_resumed_items(sections, section_count, lines, search.missing, out);
}

}  // namespace

std::vector<Diagnostic> analyse_story(const SectionTable& sections, int section_count, const StoryPlaces& lines) {
    std::vector<Diagnostic> result;
    const int count = loaded_count(section_count);
    if (count == 0) return result;
    check_targets(sections, count, lines, result);
    check_sections(sections, count, lines, result);
    check_items(sections, count, lines, result);
    return result;
}
