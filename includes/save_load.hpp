// The one-slot save of a story: the id of the section to resume at, in a file
// beside the story named after it.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::size_t save_path_capacity = 256;  // at most 255 bytes

// The save path of a story: its path followed by "_save.json", cut to 255 bytes.
std::string save_path_for(std::string_view story_filename);

// Writes the save of a story and says so; on failure prints an error and
// leaves any earlier save untouched.
void save_current_section(std::string_view story_filename, int current_section_id);

// The saved section id of a story, or 0 when it has no (readable) save.
int load_current_section(std::string_view story_filename);
