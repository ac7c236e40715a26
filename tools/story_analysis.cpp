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
#include "lookalikes.hpp"
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

// What the player reads when a line loses an item not held.
std::string what_the_player_reads(std::string_view item) {
    return "le joueur lirait " + exact_quote(missing_item_message(item));
}

// A name as far as a reader can tell: accents composed, look-alike signs
// plain, case and accents folded.
std::string name_as_read(std::string_view name) { return fold_spelling(plain_signs(compose_accents(name))); }

// Why two names that read alike are not the same to the game.
std::string why_names_differ(std::string_view lost, std::string_view gained, int gained_line) {
    if (compose_accents(lost) == compose_accents(gained)) {
        return "Les deux noms ne diffèrent que par un accent décomposé (une lettre suivie d'un accent combinant, "
               "qui s'affiche pareil)";
    }
    const std::string composed_lost = compose_accents(lost), composed_gained = compose_accents(gained);
    if (plain_signs(composed_lost) == plain_signs(composed_gained)) {
        const auto here = first_lookalike(composed_lost);
        const auto there = first_lookalike(composed_gained);
        const bool here_first = here && (!there || here->at <= there->at);
        const auto& found = here_first ? here : there;
        return (here_first ? std::string("Cette ligne écrit ") : "La ligne " + std::to_string(gained_line) + " écrit ") +
               describe_lookalike(*found->sign);
    }
    return "Les noms d'objets doivent être identiques, majuscules et accents compris";
}

// For a lost item: a gained one that reads the same but for case, accents
// or look-alike signs, and the lose line spelt as that one.
struct GainHint {
    std::string text;  // " ; vouliez-vous dire « … », gagné ligne N ? …", or empty
    std::string fix;
};

// The gained items of a story, each name read once: a story of a thousand
// lose lines compares each of them with every gained name.
class GainedItems {
public:
    GainedItems(const SectionTable& sections, int section_count, const StoryPlaces& lines) {
        for (int id = 0; id < section_count; ++id) {
            const std::span<const Item> items = section_items(section_at(sections, id));
            for (std::size_t i = 0; i < items.size(); ++i) {
                if (items[i].type != item_gain) continue;
                const std::string_view name = items[i].name.view();
                names_.insert(name);
                by_reading_[name_as_read(name)].push_back({name, item_line(lines, id, static_cast<int>(i))});
            }
        }
    }

    // Whether some line gains an item of exactly this name.
    [[nodiscard]] bool contains(std::string_view name) const { return names_.contains(name); }

    // The first gained item, in the file, whose name reads like `lost` but is not it.
    [[nodiscard]] GainHint hint_for(std::string_view lost) const {
        const auto alike = by_reading_.find(name_as_read(lost));
        if (alike == by_reading_.end()) return {};
        for (const auto& [name, line] : alike->second) {
            if (name == lost) continue;
            return {" ; vouliez-vous dire " + quote(name) + ", gagné ligne " + std::to_string(line) + " ? " +
                        why_names_differ(lost, name, line),
                    "<" + std::string(name) + ">"};
        }
        return {};
    }

private:
    struct Gained {
        std::string_view name;
        int line;
    };
    std::set<std::string_view> names_;
    std::map<std::string, std::vector<Gained>> by_reading_;  // in file order
};

// The diagnostic with the hint, and the line to write when there is one.
Diagnostic with_hint(Diagnostic diagnostic, const GainHint& hint) {
    if (hint.text.empty()) return diagnostic;
    diagnostic.message += hint.text;
    return with_fix(std::move(diagnostic), hint.fix);
}

// "0 → 1 → 2", or for a long path its ends and its length.
std::string brief_path(const std::vector<int>& path) {
    constexpr std::size_t shown_at_each_end = 4;
    if (path.size() <= 3 * shown_at_each_end) return format_path(path);
    const std::vector<int> head(path.begin(), path.begin() + shown_at_each_end);
    const std::vector<int> tail(path.end() - shown_at_each_end, path.end());
    return format_path(head) + " → … → " + format_path(tail) + ", " + count_of(static_cast<long long>(path.size()), "section");
}

// Why a lose-item line can be reached without the item.
std::string lost_item_message(const GainedItems& gained, const StoryPlaces& lines, const MissingItem& missing,
                              std::string_view name, bool hinted) {
    if (!gained.contains(name)) {
        return "l'objet " + quote(name) + " n'est donné nulle part" + (hinted ? " sous ce nom" : "") +
               " : cette ligne le retire, mais aucune ligne ne le fait gagner ; " + what_the_player_reads(name);
    }
    const std::string start = "l'objet " + quote(name) + " peut manquer quand cette ligne le retire";
    const std::optional<ItemPlace>& refused = missing.refused;
    if (!refused) return start + " (chemin " + brief_path(missing.path) + ") ; " + what_the_player_reads(name);
    return start + " : sur le chemin " + brief_path(missing.path) + ", l'inventaire est déjà plein (" +
           count_of(max_inventory_items, "objet") + ") quand la ligne " +
           std::to_string(item_line(lines, refused->section, refused->item_index)) +
           " le donne, et le jeu ne le prend pas (" + exact_quote(inventory_full_message) + ") ; ensuite, " +
           what_the_player_reads(name);
}

std::string resume_message(const MissingItem& missing, std::string_view item) {
    const std::string save = std::to_string(missing.path.front());
    std::string message =
        missing.path.size() == 1
            ? "une partie reprise depuis une sauvegarde faite dans cette section (la " + save +
                  ") rejoue cette ligne sans l'objet " + quote(item)
            : "une partie reprise depuis une sauvegarde faite dans la section " + save +
                  " arrive ici sans l'objet " + quote(item) + " (chemin " + brief_path(missing.path) + ")";
    return message + " : une reprise commence avec un inventaire vide, " + what_the_player_reads(item);
}

// Once per item: the first line, in the file, where some resumed game lacks
// it, unless a new game already can.
void check_resumed_items(const SectionTable& sections, int section_count, const StoryPlaces& lines,
                         const GainedItems& gained, const std::vector<MissingItem>& new_game,
                         std::size_t item_states, std::vector<Diagnostic>& out) {
    const MissingItemSearch search = find_missing_items_on_resume(sections, section_count,
                                                                  save_points(sections, section_count), new_game, item_states);
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
        out.push_back(with_hint(remark_at(item_line(lines, missing->section, missing->item_index),
                                          resume_message(*missing, name)),
                                gained.hint_for(name)));
    }
    if (!search.complete) {
        out.push_back(remark_at(0, "analyse des reprises interrompue après " + std::to_string(item_states) +
                                       " états : des objets manquants après une reprise peuvent ne pas être signalés"));
    }
}

void check_items(const SectionTable& sections, int section_count, const StoryPlaces& lines, std::size_t item_states,
                 std::vector<Diagnostic>& out) {
    const MissingItemSearch search = find_missing_items(sections, section_count, item_states);
    const GainedItems gained(sections, section_count, lines);
    for (const MissingItem& missing : search.missing) {
        const std::string_view name = item_at(sections, missing.section, missing.item_index).name.view();
        const GainHint hint = gained.hint_for(name);
        out.push_back(with_hint(warning_at(item_line(lines, missing.section, missing.item_index),
                                           lost_item_message(gained, lines, missing, name, !hint.text.empty())),
                                hint));
    }
    if (!search.complete) {
        out.push_back(warning_at(0, "analyse des objets interrompue après " +
                                        std::to_string(item_states) +
                                        " états : des objets manquants peuvent ne pas être signalés"));
    }
    check_resumed_items(sections, section_count, lines, gained, search.missing, item_states, out);
}

}  // namespace

std::vector<Diagnostic> analyse_story(const SectionTable& sections, int section_count, const StoryPlaces& lines,
                                      std::size_t item_states) {
    std::vector<Diagnostic> result;
    const int count = loaded_count(section_count);
    if (count == 0) return result;
    check_targets(sections, count, lines, result);
    check_sections(sections, count, lines, result);
    check_items(sections, count, lines, item_states, result);
    return result;
}
