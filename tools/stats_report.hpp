// How --stats shows its figures: a table in French for people, or one JSON
// object for scripts and editors (its fields are described in the authors'
// guide).
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>

#include "story_stats.hpp"

void write_stats_text(std::ostream& out, const std::string& file, const StoryStats& stats);
void write_stats_json(std::ostream& out, const std::string& file, const StoryStats& stats);

// "4,130 s", "2 min 03,456 s": a typing time to the millisecond, in French.
std::string typing_time(std::chrono::milliseconds time);
