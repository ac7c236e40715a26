// --parcours: the shortest walkthrough from section 0 to every ending of a
// story, and the game's own output along each one.
#pragma once

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "game_engine.hpp"
#include "play_session.hpp"

enum class EndingKind {
    ending_screen,  // a section marked [Fin] without choices
    no_choices,     // a section without choices nor [Fin]: the game just stops
    end_option,     // an option whose target is -1
};

struct Ending {
    EndingKind kind = EndingKind::ending_screen;
    int line = 0;       // the section's header line, or the option's line
    int section = 0;    // the ending section, or the section holding the option
    int option = -1;    // end_option: the option's index, from 0
    bool reachable = false;
    std::vector<int> keys;      // the numbers to type at the choice menus
    std::vector<int> sections;  // the sections passed, from 0; -1 last for an end option
};

// Every ending in line order, with its shortest walkthrough: fewest choices,
// then the smallest keys. Items never change where a choice leads, so the
// search runs over sections alone.
std::vector<Ending> find_endings(const SectionTable& sections, int section_count, const StoryLines& lines);

// "fin : section 7 atteinte avec les choix « 1 2 1 » (0 → 3 → 5 → 7)"
std::string describe_ending(const Ending& ending);

// A walkthrough played: the keys the game read and what it wrote.
struct Transcript {
    std::string keys;
    std::string output;
};

// The walkthrough played as the game plays it when the story is the only
// one in ./stories, its output what the game writes to a pipe: each prompt
// answered as the engine asks it, the story menu with 1, each choice menu
// with the next of `keys`, each replay question with "n". `also`, when
// given, hears the engine's events too.
Transcript transcript(const PlayableStory& story, std::span<const int> keys, PlayObserver* also = nullptr);

struct WalkthroughOptions {
    std::optional<std::string> transcripts;  // folder for the fin-LINE.txt recordings
    bool plain = false;                      // recordings without colour escapes
};

// The whole mode: one line per ending on `out`. Returns the exit status.
int walkthrough_mode(const std::string& file, const WalkthroughOptions& options, std::ostream& out,
                     std::ostream& err);
