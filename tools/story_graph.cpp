#include "story_graph.hpp"

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

// Which of the loaded sections some path from one of `starts` reaches.
std::vector<bool> reached_from(const SectionTable& sections, int section_count, const std::vector<int>& starts) {
    const int count = loaded_count(section_count);
    std::vector<bool> reached(static_cast<std::size_t>(count), false);
    std::vector<int> pending;
    for (const int start : starts) {
        if (is_loaded_section(start, count) && !reached[static_cast<std::size_t>(start)]) {
            reached[static_cast<std::size_t>(start)] = true;
            pending.push_back(start);
        }
    }
    while (!pending.empty()) {
        const Section& section = section_at(sections, pending.back());
        pending.pop_back();
        for (const Choice& choice : section_options(section)) {
            const int target = choice.next_section_id;
            if (is_loaded_section(target, count) && !reached[static_cast<std::size_t>(target)]) {
                reached[static_cast<std::size_t>(target)] = true;
                pending.push_back(target);
            }
        }
    }
    return reached;
}

std::vector<bool> reachable_sections(const SectionTable& sections, int section_count) {
    return reached_from(sections, section_count, {0});
}

std::vector<bool> sections_that_can_end(const SectionTable& sections, int section_count) {
    const int count = loaded_count(section_count);
    std::vector<bool> can_end(static_cast<std::size_t>(count), false);
    // Grow the set until no section joins it: at most one pass per section.
    for (bool grew = true; grew;) {
        grew = false;
        for (int id = 0; id < count; ++id) {
            if (can_end[static_cast<std::size_t>(id)]) continue;
            const Section& section = section_at(sections, id);
            // A section ends the playthrough unless it shows a menu; a menu
            // can end it through an option leading to -1 or to no section.
            bool ends = section_end(section) != SectionEnd::choice_menu;
            for (const Choice& choice : section_options(section)) {
                const int target = choice.next_section_id;
                ends = ends || !is_loaded_section(target, count) || can_end[static_cast<std::size_t>(target)];
            }
            if (ends) {
                can_end[static_cast<std::size_t>(id)] = true;
                grew = true;
            }
        }
    }
    return can_end;
}

std::vector<int> save_points(const SectionTable& sections, int section_count) {
    const std::vector<bool> reachable = reachable_sections(sections, section_count);
    std::vector<int> points;
    for (int id = 1; id < static_cast<int>(reachable.size()); ++id) {
        const bool has_menu = section_end(section_at(sections, id)) == SectionEnd::choice_menu;
        if (reachable[static_cast<std::size_t>(id)] && has_menu) points.push_back(id);
    }
    return points;
}

std::string format_path(const std::vector<int>& path) {
    std::string text;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (i > 0) text += " → ";
        text += std::to_string(path[i]);
    }
    return text;
}
