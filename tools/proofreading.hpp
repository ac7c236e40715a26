// --relecture: every text a player can read in a story, with its line in the
// story file, as plain UTF-8 lines for a spell or grammar checker.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "story.hpp"
#include "story_places.hpp"

// One text as the player reads it: the bytes the story holds without the
// blanks and line end around them, line ends inside turned into blanks,
// bytes that are not UTF-8 replaced by U+FFFD.
struct ReadableText {
    int line = 0;  // where it is written; a narration's first line, after its "[Narration]"
    std::string text;
};

// `text` as a player reads it, or empty when nothing is left to read.
std::string readable(std::string_view text);

// Every text of the loaded sections a player can read, section by section
// and in file order within a section: the narration (the ending screen types
// it again, so it is listed once), the item names, each speaker and what they
// say, the options as the menu shows them. Texts with nothing to read are
// left out.
std::vector<ReadableText> readable_texts(const SectionTable& sections, int section_count, const StoryPlaces& places);

// The whole mode: one "LINE<TAB>text" line per text on `out`. Returns the
// exit status.
int proofreading_mode(const std::string& file, std::ostream& out, std::ostream& err);
