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
#include "load_notes.hpp"
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

// How far the checker goes before it stops and says what it did not look at.
struct CheckBounds {
    std::size_t item_states = max_item_search_states;  // per item search
    int examined_lines = max_examined_lines;           // of each sort (see load_notes.hpp)
};

// Loads a story the way the game does and runs every check. Nothing is
// printed: the loader's own messages to the player are kept out of the way.
CheckedStory check_story(std::istream& in, std::string_view name, const CheckBounds& bounds = {});
CheckedStory check_story_file(const std::string& path, const CheckBounds& bounds = {});

// Loads a story file the way the game does, quietly, and notes where its
// sections, choices and items stand, without checking anything nor keeping
// any line, so in the time and memory of the game's own loading. Returns the
// number of sections, 0 when the game would refuse the file.
int load_story_lines(const std::string& path, SectionTable& sections, StoryPlaces& places);
