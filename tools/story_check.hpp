// The story checker: loads a story file the way the game does, listens to
// what the loader notices, analyses the loaded sections, and explains the
// problems to the story's author in French, compiler style. Also draws the
// story map as a Graphviz graph.
#pragma once

#include <array>
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "story.hpp"

// An error: the story does not play as written. A warning: something is lost
// or shown otherwise than written. A remark, like a compiler's note: what a
// player may meet that the story cannot help, such as the empty inventory of
// a resumed game; remarks do not count in the exit status.
enum class Severity { warning, error, remark };

// One problem found in a story file. Line 0 stands for the file as a whole.
struct Diagnostic {
    Severity severity = Severity::warning;
    int line = 0;
    std::string message;

    friend bool operator==(const Diagnostic&, const Diagnostic&) = default;
};

// A story file as the checker saw it.
struct CheckedStory {
    std::unique_ptr<SectionTable> sections = std::make_unique<SectionTable>();
    int section_count = 0;                // 0 when the game would refuse the file
    std::vector<Diagnostic> diagnostics;  // sorted by line, file-wide ones first
};

// Loads a story the way the game does and runs every check. Nothing is
// printed: the loader's own messages to the player are kept out of the way.
CheckedStory check_story(std::istream& in, std::string_view name);
CheckedStory check_story_file(const std::string& path);

// Loads a story file the way the game does, quietly, and notes where its
// sections, choices and items stand, without checking anything. Returns the
// number of sections, 0 when the game would refuse the file.
struct StoryLines;
int load_story_lines(const std::string& path, SectionTable& sections, StoryLines& lines);

// Where the loaded things stand in the file (1-based lines, 0 when unknown).
struct StoryLines {
    std::array<int, max_sections> header{};
    std::array<int, max_sections> ending{};
    std::array<std::array<int, max_choices>, max_sections> choice{};
    std::array<std::array<int, max_section_items>, max_sections> item{};
};

// The checks that need only the loaded sections: choice targets,
// reachability, endings, loops, and lost items in new and resumed games.
// Unsorted.
std::vector<Diagnostic> analyse_story(const SectionTable& sections, int section_count, const StoryLines& lines);

// --- Path analysis -----------------------------------------------------------

// Which of the loaded sections some path from section 0 reaches.
std::vector<bool> reachable_sections(const SectionTable& sections, int section_count);

// Which of the loaded sections can still reach the end of a playthrough: a
// section without choices, or a choice that leads to -1 or to no section.
std::vector<bool> sections_that_can_end(const SectionTable& sections, int section_count);

// A lose-item line that some playthrough reaches without the item in hand.
struct MissingItem {
    int section = 0;
    int item_index = 0;
    std::vector<int> path;  // a shortest path of section ids, from where play started to `section`
};

struct MissingItemSearch {
    std::vector<MissingItem> missing;  // in section, then item order
    bool complete = true;              // false when the state bound cut the search short
};

// Most (section, inventory) states the item search visits.
inline constexpr std::size_t max_item_search_states = 200'000;

// Breadth-first search over (section, inventory) states from section 0 with
// an empty inventory, applying the item lines in order on every visit and
// following every choice.
MissingItemSearch find_missing_items(const SectionTable& sections, int section_count,
                                     std::size_t state_limit = max_item_search_states);

// Where a player can save, so where a resumed game starts, with an empty
// inventory: the sections with choices that some path from section 0
// reaches, but section 0 itself, since a save there reads back as no save.
std::vector<int> save_points(const SectionTable& sections, int section_count);

// The same search started from every section of `starts` at once, each with
// an empty inventory, as resumed games start; the lines of `already_found`
// are not looked for again.
MissingItemSearch find_missing_items_on_resume(const SectionTable& sections, int section_count,
                                               const std::vector<int>& starts,
                                               const std::vector<MissingItem>& already_found,
                                               std::size_t state_limit = max_item_search_states);

// "0 → 3 → 5"
std::string format_path(const std::vector<int>& path);

// --- Reporting ---------------------------------------------------------------

inline constexpr int status_clean = 0;
inline constexpr int status_warnings = 1;
inline constexpr int status_errors = 2;

// 0 without errors or warnings (remarks do not count), 1 with warnings
// only, 2 with an error.
int exit_status(const std::vector<Diagnostic>& diagnostics);

// "FILE:LINE: erreur: message" lines (or "FILE: ..." for line 0; severities
// "erreur", "avertissement", "remarque"), then the one-line summary
// "FILE: 1 erreur, 2 avertissements", followed by " et 3 remarques" when
// there are remarks.
void print_diagnostics(std::ostream& out, std::string_view file, const std::vector<Diagnostic>& diagnostics);

// --- Story map -----------------------------------------------------------------

// The story as a Graphviz digraph: a node per section, an edge per choice.
void write_story_map(std::ostream& out, std::string_view title, const SectionTable& sections, int section_count);

// --- Command line --------------------------------------------------------------

// The orlimar-check command on its arguments (program name excluded);
// returns the exit status.
int run_check_command(std::span<const std::string> args, std::ostream& out, std::ostream& err);
