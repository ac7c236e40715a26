// The checks that need only the loaded sections.
#pragma once

#include <vector>

#include "diagnostics.hpp"
#include "story_places.hpp"

// The checks that need only the loaded sections: choice targets,
// reachability, endings, loops, and lost items in new and resumed games.
// Unsorted.
std::vector<Diagnostic> analyse_story(const SectionTable& sections, int section_count, const StoryPlaces& lines);
