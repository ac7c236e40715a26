// Where the loaded sections, endings, narrations, dialogues, choices and
// items stand in a story file, as the checker and the author tools point at
// them.
#pragma once

#include <array>

#include "story.hpp"

// Where the loaded things stand in the file (1-based lines, 0 when unknown).
struct StoryPlaces {
    std::array<int, max_sections> header{};
    std::array<int, max_sections> ending{};
    std::array<int, max_sections> narration{};  // the "[Narration]" line of the block kept
    std::array<std::array<int, max_dialogues>, max_sections> dialogue{};
    std::array<std::array<int, max_choices>, max_sections> choice{};
    std::array<std::array<int, max_section_items>, max_sections> item{};
};

// The former name, kept for the play modes.
using StoryLines = StoryPlaces;
