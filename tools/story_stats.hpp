// --stats: how much a story has to read, section by section, against what
// the game keeps of each text, how long the player waits while the game
// types it, and how long the shortest way to each ending is.
#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "play_session.hpp"
#include "walkthrough.hpp"

// Words and bytes of one kind of text (narrations, spoken texts or options),
// in a section or in the whole story. Bytes are the ones the story holds,
// which are the ones the game types: a spoken text keeps its line end.
struct TextFigures {
    int texts = 0;
    std::size_t words = 0;
    std::size_t bytes = 0;
    std::size_t longest = 0;  // bytes of the longest text

    void add(std::string_view text);
    void add(const TextFigures& other);
};

struct SectionStats {
    int section = -1;  // -1 for the whole story
    int line = 0;      // the section's header line
    TextFigures narration;
    TextFigures speech;
    TextFigures options;
    std::chrono::milliseconds typing{0};  // what the player waits while the section is typed
};

struct EndingStats {
    Ending ending;                        // with its shortest walkthrough, when reachable
    std::chrono::milliseconds typing{0};  // what the player waits along that walkthrough
};

struct StoryStats {
    std::vector<SectionStats> sections;
    SectionStats total;  // every section once; its typing is the sum of theirs
    std::vector<EndingStats> endings;
};

// The figures of a loaded story. Typing times are measured by the game's own
// engine, playing each section, then each walkthrough, on a clock that jumps
// to every deadline instead of waiting.
StoryStats story_stats(const PlayableStory& story);

enum class StatsFormat {
    text,  // a table for people
    json,  // one JSON object for scripts and editors
};

// The whole mode on `out`. Returns the exit status.
int stats_mode(const std::string& file, StatsFormat format, std::ostream& out, std::ostream& err);
