// The story checker: loads a story file the way the game does, listens to
// what the loader notices, analyses the loaded sections, and explains the
// problems to the story's author in French, compiler style.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics.hpp"
#include "item_search.hpp"
#include "story.hpp"
#include "story_analysis.hpp"
#include "story_graph.hpp"
#include "story_map.hpp"
#include "story_places.hpp"

// A story file as the checker saw it.
struct CheckedStory {
    std::unique_ptr<SectionTable> sections = std::make_unique<SectionTable>();
    int section_count = 0;                // 0 when the game would refuse the file
    std::vector<Diagnostic> diagnostics;  // sorted by line, file-wide ones first
    StoryPlaces places;                   // where the loaded things stand
};

// Loads a story the way the game does and runs every check. Nothing is
// printed: the loader's own messages to the player are kept out of the way.
CheckedStory check_story(std::istream& in, std::string_view name);
CheckedStory check_story_file(const std::string& path);

// Loads a story file the way the game does, quietly, and notes where its
// sections, choices and items stand, without checking anything. Returns the
// number of sections, 0 when the game would refuse the file.
int load_story_lines(const std::string& path, SectionTable& sections, StoryPlaces& places);
