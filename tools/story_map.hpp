// The story map for authors.
#pragma once

#include <iosfwd>
#include <string_view>

#include "story.hpp"

// The story as a Graphviz digraph: a node per section, an edge per choice.
void write_story_map(std::ostream& out, std::string_view title, const SectionTable& sections, int section_count);
