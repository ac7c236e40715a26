// Paths through the loaded sections: which are reached, which can still end,
// where a player can save.
#pragma once

#include <string>
#include <vector>

#include "story.hpp"

// Which of the loaded sections some path from one of `starts` reaches.
std::vector<bool> reached_from(const SectionTable& sections, int section_count, const std::vector<int>& starts);

// Which of the loaded sections some path from section 0 reaches.
std::vector<bool> reachable_sections(const SectionTable& sections, int section_count);

// Which of the loaded sections can still reach the end of a playthrough: a
// section without choices, or a choice that leads to -1 or to no section.
std::vector<bool> sections_that_can_end(const SectionTable& sections, int section_count);

// Where a player can save, so where a resumed game starts, with an empty
// inventory: the sections with choices that some path from section 0
// reaches, but section 0 itself, since a save there reads back as no save.
std::vector<int> save_points(const SectionTable& sections, int section_count);

// "0 → 3 → 5"
std::string format_path(const std::vector<int>& path);
