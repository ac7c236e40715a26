#include "story_check.hpp"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <unordered_set>
#include <utility>

#include "console.hpp"
#include "inventor.hpp"
#include "text_excerpt.hpp"

namespace {

// Longest piece of a story line quoted in a message.
constexpr std::size_t quoted_line_characters = 40;

std::string quote(std::string_view text) { return "« " + excerpt(text, quoted_line_characters) + " »"; }

Diagnostic error_at(int line, std::string message) { return {Severity::error, line, std::move(message)}; }
Diagnostic warning_at(int line, std::string message) { return {Severity::warning, line, std::move(message)}; }

bool is_loaded(int id, int section_count) { return id >= 0 && id < section_count; }

const Section& section_at(const SectionTable& sections, int id) { return sections[static_cast<std::size_t>(id)]; }

// ===========================================================================
// Listening to the loader

// Keeps every notice, and where each stored thing was written. The target a
// choice line ends up with is read from the table as soon as the line is
// stored, since a later block of the same section may reuse the entry.
class NoticeCollector final : public LoadListener {
public:
    explicit NoticeCollector(const SectionTable& sections) : sections_(sections) {}

    void notice(const LoadNotice& notice) override {
        const bool in_table = notice.section >= 0 && notice.section < max_sections;
        const auto section = static_cast<std::size_t>(notice.section);
        const auto index = static_cast<std::size_t>(notice.index);
        switch (notice.kind) {
            case LoadNoticeKind::section_opened:
                if (in_table) lines.header[section] = notice.line;
                return;
            case LoadNoticeKind::ending_marked:
                if (in_table && lines.ending[section] == 0) lines.ending[section] = notice.line;
                return;
            case LoadNoticeKind::choice_stored:
                if (in_table && index < max_choices) {
                    lines.choice[section][index] = notice.line;
                    target_on_line[notice.line] = sections_[section].choices[index].next_section_id;
                }
                return;
            case LoadNoticeKind::item_stored:
                if (in_table && index < max_section_items) lines.item[section][index] = notice.line;
                return;
            case LoadNoticeKind::dialogue_stored:
                return;
            default:
                problems.push_back(notice);
        }
    }

    StoryLines lines;
    std::vector<LoadNotice> problems;
    std::map<int, int> target_on_line;  // line of a stored choice -> its target

private:
    const SectionTable& sections_;
};

// How a byte is named in a message to an author.
std::string describe_byte(std::string_view bytes) {
    if (bytes.empty()) return "la fin de ligne";
    const char c = bytes.front();
    const auto byte = static_cast<unsigned char>(c);
    if (c == ' ') return "une espace";
    if (c == '\t') return "une tabulation";
    if (c == '\n' || c == '\r') return "la fin de ligne";
    if (byte < 0x20 || byte >= 0x7F) {
        static constexpr char hex[] = "0123456789ABCDEF";
        return std::string("l'octet 0x") + hex[byte >> 4] + hex[byte & 0xF];
    }
    return std::string("« ") + c + " »";
}

// What a line swallowed at the end of a block is, as named to an author.
std::string_view describe_swallowed_line(std::string_view line) {
    switch (classify_line(line)) {
        case LineKind::section_header:
            return "un en-tête de section";
        case LineKind::gain_item:
        case LineKind::lose_item:
            return "une ligne d'objet";
        case LineKind::narration_start:
        case LineKind::narration_end:
        case LineKind::dialogue_start:
        case LineKind::choice_start:
        case LineKind::ending:
            return "un marqueur";
        case LineKind::other:
            break;
    }
    return "du texte";
}

// What a line that the main loop ignores looks like it was meant to be.
std::string_view describe_ignored_line(std::string_view line) {
    if (line.find("->") != std::string_view::npos) return "une ligne de choix";
    if (line.starts_with('-')) return "une ligne de dialogue";
    if (classify_line(line) == LineKind::narration_end) return "un marqueur [/Narration]";
    return "du texte";
}

// What happens to a choice whose target could not be read.
std::string kept_target_note(const NoticeCollector& collector, int line) {
    const auto found = collector.target_on_line.find(line);
    if (found == collector.target_on_line.end()) return {};
    return " ; ce choix mène à la section " + std::to_string(found->second);
}

// A header swallowed by a block opens no section: what follows goes on
// filling the current one.
std::string swallowed_header_note(const LoadNotice& notice) {
    if (classify_line(notice.bytes) != LineKind::section_header || notice.section < 0) return {};
    return ", si bien qu'aucune section ne s'ouvre ici et que la suite remplace le contenu de la section " +
           std::to_string(notice.section);
}

// The message for a problem the loader noticed.
std::optional<Diagnostic> describe_notice(const LoadNotice& notice, const NoticeCollector& collector) {
    const int line = notice.line;
    switch (notice.kind) {
        case LoadNoticeKind::file_unopenable:
            return error_at(0, "impossible d'ouvrir le fichier");
        case LoadNoticeKind::too_many_sections:
            return error_at(line, "plus de " + std::to_string(max_sections) +
                                      " sections : le jeu refuse de charger l'histoire");
        case LoadNoticeKind::target_unparsed:
            return error_at(line, "cible du choix illisible : après « -> », le jeu saute " + describe_byte(notice.bytes) +
                                      " puis attend « Section : N »" + kept_target_note(collector, line));
        case LoadNoticeKind::target_missing:
            return error_at(line, "cible du choix absente après « -> »" + kept_target_note(collector, line));
        case LoadNoticeKind::target_out_of_int_range:
            return error_at(line, "numéro de section trop grand pour être lu" + kept_target_note(collector, line));
        case LoadNoticeKind::block_end_swallowed:
            return warning_at(line, "ligne perdue (" + std::string(describe_swallowed_line(notice.bytes)) +
                                        ") : elle termine le bloc de dialogue ou de choix qui la précède "
                                        "sans être lue" + swallowed_header_note(notice) +
                                        " ; laissez une ligne vide avant elle");
        case LoadNoticeKind::dialogue_without_colon:
            return warning_at(line, "ligne de dialogue sans « : » : elle est sautée");
        case LoadNoticeKind::dialogue_past_limit:
            return warning_at(line, "ligne de dialogue au-delà de la " + std::to_string(max_dialogues) +
                                        "e du bloc : elle est ignorée");
        case LoadNoticeKind::choice_past_limit:
            return warning_at(line, "choix au-delà du " + std::to_string(max_choices) +
                                        "e du bloc : il est ignoré");
        case LoadNoticeKind::item_past_limit:
            return warning_at(line, "ligne d'objet au-delà de la " + std::to_string(max_section_items) +
                                        "e de la section : elle est ignorée");
        case LoadNoticeKind::narration_cut:
            return warning_at(line, "narration coupée à " + std::to_string(LongText::max_size) + " octets");
        case LoadNoticeKind::name_cut:
            return warning_at(line, "nom du personnage coupé à " + std::to_string(NameText::max_size) + " octets");
        case LoadNoticeKind::item_name_cut:
            return warning_at(line, "nom d'objet coupé à " + std::to_string(max_item_name_bytes) + " octets");
        case LoadNoticeKind::line_split:
            return warning_at(line, "ligne trop longue : le jeu en lit " + std::to_string(line_buffer_size - 1) +
                                        " octets (fin de ligne comprise) et prend la suite pour une autre ligne");
        case LoadNoticeKind::byte_order_mark:
            return warning_at(line, "marque d'ordre des octets (BOM) en tête du fichier : "
                                    "la première ligne n'est pas reconnue");
        case LoadNoticeKind::indented_marker:
            return warning_at(line, "ligne indentée ignorée : " + quote(notice.bytes) +
                                        " doit commencer au début de la ligne");
        case LoadNoticeKind::outside_section:
            return warning_at(line, "contenu avant le premier en-tête « # Section » : il est ignoré");
        case LoadNoticeKind::narration_unterminated:
            return warning_at(line, "bloc [Narration] sans « [/Narration] » : il prend toute la suite du fichier");
        case LoadNoticeKind::consequence_after_arrow:
            return warning_at(line, "« ID_Conséquence : » après « -> » n'est pas lu : il doit précéder la flèche");
        case LoadNoticeKind::player_name_without_blank:
            return warning_at(line, "« Vous: » sans espace avant le deux-points : la réplique s'affiche comme "
                                    "celle d'un autre personnage, en rouge ; écrivez « Vous : »");
        case LoadNoticeKind::line_ignored:
            return warning_at(line, "ligne ignorée : " + std::string(describe_ignored_line(notice.bytes)) + " hors de tout bloc");
        case LoadNoticeKind::section_opened:
        case LoadNoticeKind::dialogue_stored:
        case LoadNoticeKind::choice_stored:
        case LoadNoticeKind::item_stored:
        case LoadNoticeKind::ending_marked:
            break;
    }
    return std::nullopt;
}

// Messages for the loader's notices. Everything before the first header is
// ignored alike, so only the first such line is reported.
std::vector<Diagnostic> describe_notices(const NoticeCollector& collector) {
    std::vector<Diagnostic> result;
    bool outside_reported = false;
    for (const LoadNotice& notice : collector.problems) {
        if (notice.kind == LoadNoticeKind::outside_section) {
            if (outside_reported) continue;
            outside_reported = true;
        }
        if (auto diagnostic = describe_notice(notice, collector)) result.push_back(std::move(*diagnostic));
    }
    return result;
}

bool has_notice(const NoticeCollector& collector, LoadNoticeKind kind) {
    return std::any_of(collector.problems.begin(), collector.problems.end(),
                       [kind](const LoadNotice& notice) { return notice.kind == kind; });
}

// Sorted by line, file-wide first, keeping the order of discovery within a
// line; the same message twice on one line (pieces of one long line) once.
void sort_and_merge(std::vector<Diagnostic>& diagnostics) {
    std::stable_sort(diagnostics.begin(), diagnostics.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
    std::vector<Diagnostic> merged;
    std::size_t line_start = 0;
    for (Diagnostic& diagnostic : diagnostics) {
        if (!merged.empty() && merged.back().line != diagnostic.line) line_start = merged.size();
        const auto same_line = merged.begin() + static_cast<std::ptrdiff_t>(line_start);
        if (std::find(same_line, merged.end(), diagnostic) == merged.end()) merged.push_back(std::move(diagnostic));
    }
    diagnostics = std::move(merged);
}

// ===========================================================================
// Lost items: search over (section, inventory)

// Only the items that some line loses need their own count; every other item
// only takes room in the inventory.
struct ItemStep {
    enum class Kind { gain, lose, none } kind = Kind::none;
    int tracked = -1;  // index of a lost item's name, -1 for an untracked one
};

using SectionSteps = std::vector<std::vector<ItemStep>>;

SectionSteps item_steps(const SectionTable& sections, int section_count) {
    std::map<std::string_view, int> tracked;
    for (int id = 0; id < section_count; ++id) {
        const Section& section = section_at(sections, id);
        for (int i = 0; i < section.item_count; ++i) {
            const Item& item = section.items[static_cast<std::size_t>(i)];
            if (item.type == item_lose) tracked.emplace(item.name.view(), static_cast<int>(tracked.size()));
        }
    }
    SectionSteps steps(static_cast<std::size_t>(section_count));
    for (int id = 0; id < section_count; ++id) {
        const Section& section = section_at(sections, id);
        for (int i = 0; i < section.item_count; ++i) {
            const Item& item = section.items[static_cast<std::size_t>(i)];
            const auto found = tracked.find(item.name.view());
            const int index = found != tracked.end() ? found->second : -1;
            // One step per item line, so that step i is item line i.
            const ItemStep::Kind kind = item.type == item_gain   ? ItemStep::Kind::gain
                                        : item.type == item_lose ? ItemStep::Kind::lose
                                                                 : ItemStep::Kind::none;
            steps[static_cast<std::size_t>(id)].push_back({kind, index});
        }
    }
    return steps;
}

// What the inventory holds, as far as lost items are concerned: how many
// items in all, and how many of each tracked name (sorted, none at 0).
struct HeldItems {
    int total = 0;
    std::vector<std::pair<int, int>> tracked;

    // add_item: refused when the inventory is full.
    void gain(int name) {
        if (total >= max_inventory_items) return;
        ++total;
        if (name < 0) return;
        const auto it = std::lower_bound(tracked.begin(), tracked.end(), std::pair{name, 0});
        if (it != tracked.end() && it->first == name) {
            ++it->second;
        } else {
            tracked.insert(it, {name, 1});
        }
    }

    // remove_item: false when the item is not held.
    bool lose(int name) {
        const auto it = std::lower_bound(tracked.begin(), tracked.end(), std::pair{name, 0});
        if (it == tracked.end() || it->first != name) return false;
        --total;
        if (--it->second == 0) tracked.erase(it);
        return true;
    }
};

// A search state as a compact key: section, total, then (name, count) pairs.
std::string state_key(int section, const HeldItems& held) {
    std::string key;
    key.reserve(2 + 3 * held.tracked.size());
    key += static_cast<char>(section);
    key += static_cast<char>(held.total);
    for (const auto& [name, count] : held.tracked) {
        key += static_cast<char>(name & 0xFF);
        key += static_cast<char>(name >> 8);
        key += static_cast<char>(count);
    }
    return key;
}

int key_section(std::string_view key) { return static_cast<unsigned char>(key[0]); }

HeldItems key_items(std::string_view key) {
    HeldItems held;
    held.total = static_cast<unsigned char>(key[1]);
    for (std::size_t i = 2; i + 2 < key.size(); i += 3) {
        const int name = static_cast<unsigned char>(key[i]) | (static_cast<unsigned char>(key[i + 1]) << 8);
        held.tracked.emplace_back(name, static_cast<unsigned char>(key[i + 2]));
    }
    return held;
}

class ItemSearch {
public:
    ItemSearch(const SectionTable& sections, int section_count, std::size_t state_limit)
        : sections_(sections), section_count_(section_count), state_limit_(state_limit),
          steps_(item_steps(sections, section_count)) {
        for (const auto& section_steps : steps_) {
            for (const ItemStep& step : section_steps) lose_lines_ += step.kind == ItemStep::Kind::lose ? 1 : 0;
        }
    }

    MissingItemSearch run() {
        MissingItemSearch result;
        if (section_count_ <= 0 || lose_lines_ == 0) return result;
        result.complete = visit(state_key(0, HeldItems{}), -1);
        for (std::size_t next = 0; next < states_.size() && found_.size() < lose_lines_; ++next) {
            if (!expand(next)) {
                result.complete = false;
                break;
            }
        }
        for (auto& [where, path] : found_) result.missing.push_back({where.first, where.second, std::move(path)});
        return result;
    }

private:
    struct State {
        const std::string* key;
        int parent;
    };

    // Plays the items of one state's section, then follows its choices.
    // False when the state bound is reached.
    bool expand(std::size_t index) {
        const std::string_view key = *states_[index].key;
        const int id = key_section(key);
        HeldItems held = key_items(key);
        const auto& section_steps = steps_[static_cast<std::size_t>(id)];
        for (std::size_t i = 0; i < section_steps.size(); ++i) {
            const ItemStep& step = section_steps[i];
            if (step.kind == ItemStep::Kind::gain) {
                held.gain(step.tracked);
            } else if (step.kind == ItemStep::Kind::lose && !held.lose(step.tracked)) {
                // The first time is the shortest path: states come in BFS order.
                const std::pair line{id, static_cast<int>(i)};
                if (!found_.contains(line)) found_.emplace(line, path_to(index));
            }
        }
        if (found_.size() == lose_lines_) return true;  // nothing left to look for
        const Section& section = section_at(sections_, id);
        for (int c = 0; c < section.choice_count; ++c) {
            const int target = section.choices[static_cast<std::size_t>(c)].next_section_id;
            if (!is_loaded(target, section_count_)) continue;  // the playthrough ends there
            if (!visit(state_key(target, held), static_cast<int>(index))) return false;
        }
        return true;
    }

    // Queues a state unless it was seen; false when the bound is reached.
    bool visit(std::string key, int parent) {
        if (seen_.contains(key)) return true;
        if (states_.size() >= state_limit_) return false;
        const auto it = seen_.insert(std::move(key)).first;
        states_.push_back({&*it, parent});
        return true;
    }

    std::vector<int> path_to(std::size_t index) const {
        std::deque<int> path;
        for (int at = static_cast<int>(index); at >= 0; at = states_[static_cast<std::size_t>(at)].parent) {
            path.push_front(key_section(*states_[static_cast<std::size_t>(at)].key));
        }
        return {path.begin(), path.end()};
    }

    const SectionTable& sections_;
    int section_count_;
    std::size_t state_limit_;
    SectionSteps steps_;
    std::size_t lose_lines_ = 0;
    std::unordered_set<std::string> seen_;  // node-based: keys stay put
    std::vector<State> states_;
    std::map<std::pair<int, int>, std::vector<int>> found_;  // (section, item index) -> path
};

// ===========================================================================
// Diagnostics over the loaded sections

std::string section_range(int section_count) {
    return "0 à " + std::to_string(section_count - 1) + ", ou -1 pour finir";
}

void check_targets(const SectionTable& sections, int section_count, const StoryLines& lines,
                   std::vector<Diagnostic>& out) {
    for (int id = 0; id < section_count; ++id) {
        const Section& section = section_at(sections, id);
        for (int c = 0; c < section.choice_count; ++c) {
            const int target = section.choices[static_cast<std::size_t>(c)].next_section_id;
            if (target == end_section_id || is_loaded(target, section_count)) continue;
            out.push_back(error_at(lines.choice[static_cast<std::size_t>(id)][static_cast<std::size_t>(c)],
                                   "le choix mène à la section " + std::to_string(target) +
                                       ", qui n'existe pas (" + section_range(section_count) +
                                       ") : la partie s'arrêterait sur une erreur"));
        }
    }
}

void check_sections(const SectionTable& sections, int section_count, const StoryLines& lines,
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
        if (section.choice_count == 0 && section.is_ending == 0) {
            out.push_back(warning_at(lines.header[at], name + " n'a ni choix ni [Fin] : la partie s'y arrête "
                                                              "sans écran de fin"));
        }
        if (section.choice_count > 0 && section.is_ending != 0) {
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

void check_items(const SectionTable& sections, int section_count, const StoryLines& lines,
                 std::vector<Diagnostic>& out) {
    const MissingItemSearch search = find_missing_items(sections, section_count);
    for (const MissingItem& missing : search.missing) {
        const auto at = static_cast<std::size_t>(missing.section);
        const Item& item = section_at(sections, missing.section).items[static_cast<std::size_t>(missing.item_index)];
        out.push_back(warning_at(lines.item[at][static_cast<std::size_t>(missing.item_index)],
                                 "l'objet " + quote(item.name.view()) + " peut manquer quand cette ligne le retire"
                                 " (chemin " + format_path(missing.path) +
                                     ") : le joueur verrait l'erreur REMOVE_ITEM"));
    }
    if (!search.complete) {
        out.push_back(warning_at(0, "analyse des objets interrompue après " +
                                        std::to_string(max_item_search_states) +
                                        " états : des objets manquants peuvent ne pas être signalés"));
    }
}

}  // namespace

// ===========================================================================
// Path analysis

std::vector<bool> reachable_sections(const SectionTable& sections, int section_count) {
    const int count = std::clamp(section_count, 0, max_sections);
    std::vector<bool> reached(static_cast<std::size_t>(count), false);
    if (count == 0) return reached;
    std::vector<int> pending{0};
    reached[0] = true;
    while (!pending.empty()) {
        const Section& section = section_at(sections, pending.back());
        pending.pop_back();
        for (int c = 0; c < section.choice_count; ++c) {
            const int target = section.choices[static_cast<std::size_t>(c)].next_section_id;
            if (is_loaded(target, count) && !reached[static_cast<std::size_t>(target)]) {
                reached[static_cast<std::size_t>(target)] = true;
                pending.push_back(target);
            }
        }
    }
    return reached;
}

std::vector<bool> sections_that_can_end(const SectionTable& sections, int section_count) {
    const int count = std::clamp(section_count, 0, max_sections);
    std::vector<bool> can_end(static_cast<std::size_t>(count), false);
    // Grow the set until no section joins it: at most one pass per section.
    for (bool grew = true; grew;) {
        grew = false;
        for (int id = 0; id < count; ++id) {
            if (can_end[static_cast<std::size_t>(id)]) continue;
            const Section& section = section_at(sections, id);
            bool ends = section.choice_count == 0;
            for (int c = 0; c < section.choice_count && !ends; ++c) {
                const int target = section.choices[static_cast<std::size_t>(c)].next_section_id;
                ends = !is_loaded(target, count) || can_end[static_cast<std::size_t>(target)];
            }
            if (ends) {
                can_end[static_cast<std::size_t>(id)] = true;
                grew = true;
            }
        }
    }
    return can_end;
}

MissingItemSearch find_missing_items(const SectionTable& sections, int section_count, std::size_t state_limit) {
    return ItemSearch(sections, std::clamp(section_count, 0, max_sections), state_limit).run();
}

std::string format_path(const std::vector<int>& path) {
    std::string text;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (i > 0) text += " → ";
        text += std::to_string(path[i]);
    }
    return text;
}

// ===========================================================================
// Checking a file

std::vector<Diagnostic> analyse_story(const SectionTable& sections, int section_count, const StoryLines& lines) {
    std::vector<Diagnostic> result;
    const int count = std::clamp(section_count, 0, max_sections);
    if (count == 0) return result;
    check_targets(sections, count, lines, result);
    check_sections(sections, count, lines, result);
    check_items(sections, count, lines, result);
    return result;
}

namespace {

// Runs `load` (one of the loader's entry points) with a listener, then every
// check. The loader's own messages to the player are kept out of the way:
// the diagnostics say the same, for the author.
template <typename Load>
CheckedStory check_loaded(Load load) {
    CheckedStory checked;
    NoticeCollector collector(*checked.sections);
    std::ostringstream messages_to_the_player;
    {
        Console quiet = current_console();
        quiet.out = &messages_to_the_player;
        const ConsoleOverride guard(quiet);
        checked.section_count = load(*checked.sections, &collector);
    }
    checked.diagnostics = describe_notices(collector);
    const bool refused = has_notice(collector, LoadNoticeKind::file_unopenable) ||
                         has_notice(collector, LoadNoticeKind::too_many_sections);
    if (checked.section_count == 0 && !refused) {
        checked.diagnostics.push_back(error_at(0, "aucun en-tête « # Section » : le jeu refuse de charger l'histoire"));
    }
    std::vector<Diagnostic> analysis = analyse_story(*checked.sections, checked.section_count, collector.lines);
    checked.diagnostics.insert(checked.diagnostics.end(), std::make_move_iterator(analysis.begin()),
                               std::make_move_iterator(analysis.end()));
    sort_and_merge(checked.diagnostics);
    return checked;
}

}  // namespace

CheckedStory check_story(std::istream& in, std::string_view name) {
    return check_loaded([&](SectionTable& sections, LoadListener* listener) {
        return load_story(in, name, sections, listener);
    });
}

int load_story_lines(const std::string& path, SectionTable& sections, StoryLines& lines) {
    NoticeCollector collector(sections);
    std::ostringstream messages_to_the_player;
    Console quiet = current_console();
    quiet.out = &messages_to_the_player;
    const ConsoleOverride guard(quiet);
    const int section_count = load_story(path, sections, &collector);
    lines = collector.lines;
    return section_count;
}

CheckedStory check_story_file(const std::string& path) {
    return check_loaded([&](SectionTable& sections, LoadListener* listener) {
        return load_story(path, sections, listener);
    });
}

// ===========================================================================
// Reporting

int exit_status(const std::vector<Diagnostic>& diagnostics) {
    if (diagnostics.empty()) return status_clean;
    const bool any_error = std::any_of(diagnostics.begin(), diagnostics.end(),
                                       [](const Diagnostic& d) { return d.severity == Severity::error; });
    return any_error ? status_errors : status_warnings;
}

namespace {

// "0 erreur", "1 erreur", "2 erreurs": in French, 0 and 1 take the singular.
std::string count_of(std::size_t count, std::string_view word) {
    return std::to_string(count) + " " + std::string(word) + (count > 1 ? "s" : "");
}

}  // namespace

void print_diagnostics(std::ostream& out, std::string_view file, const std::vector<Diagnostic>& diagnostics) {
    std::size_t errors = 0;
    for (const Diagnostic& diagnostic : diagnostics) {
        const bool is_error = diagnostic.severity == Severity::error;
        errors += is_error ? 1 : 0;
        out << file;
        if (diagnostic.line > 0) out << ':' << diagnostic.line;
        out << ": " << (is_error ? "erreur" : "avertissement") << ": " << diagnostic.message << '\n';
    }
    out << file << ": " << count_of(errors, "erreur") << ", "
        << count_of(diagnostics.size() - errors, "avertissement") << '\n';
}
