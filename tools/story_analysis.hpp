// The checks that need only the loaded sections.
#pragma once

#include <cstddef>
#include <vector>

#include "diagnostics.hpp"
#include "item_search.hpp"
#include "story_places.hpp"

// The checks that need only the loaded sections: choice targets,
// reachability, endings, loops, and lost items in new and resumed games.
// Unsorted. Each item search visits at most `item_states` states.
std::vector<Diagnostic> analyse_story(const SectionTable& sections, int section_count, const StoryPlaces& lines,
                                      std::size_t item_states = max_item_search_states);
