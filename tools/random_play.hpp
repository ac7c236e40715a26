// --hasard: many playthroughs with choices drawn at random, reproducible on
// every platform from a seed, and what they met.
#pragma once

#include <array>
#include <atomic>
#include <compare>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "play_session.hpp"

// A playthrough that has made this many choices without ending is stopped
// and counted as a loop.
inline constexpr int max_choices_per_playthrough = 10'000;

// Most playthroughs one run of the mode is asked for.
inline constexpr int max_random_playthroughs = 1'000'000;

// No new playthrough starts once the playthroughs of a run have entered this
// many sections in all: a section costs the engine a few microseconds at
// most, so that a run ends within about a second whatever the story. The
// playthrough under way plays on to its end (at most
// max_choices_per_playthrough more choices). A count, not a clock, so that a
// seed gives the same report on every machine.
inline constexpr long long random_play_section_budget = 250'000;

// A number in [0, bound) from `generator`, bound > 0. The standard
// distributions differ between standard libraries; this does not.
std::uint64_t draw_below(std::mt19937_64& generator, std::uint64_t bound);

enum class RandomErrorKind {
    item_missing,     // a lose-item line for an item not held
    inventory_full,   // a gain-item line refused by a full inventory
    section_missing,  // a choice that leads to no section
};

// Where an error happened: an item line (section, item index), or for a
// missing section the choice that led there (section, option index).
struct ErrorPlace {
    RandomErrorKind kind;
    int section;
    int index;

    friend auto operator<=>(const ErrorPlace&, const ErrorPlace&) = default;
};

struct ErrorRecord {
    long long count = 0;
    int missing_section = -1;  // section_missing: the id that names no section
    std::uint64_t first_seed = 0;
    std::vector<int> first_keys;  // typed before its first occurrence
};

// The playthroughs stopped in one loop, and the first of them.
struct LoopRecord {
    long long count = 0;
    std::uint64_t first_seed = 0;
};

// The cycle a playthrough went round last, from the sections it entered in
// order: walking back from the last one to the first section met twice. It
// starts and ends at its smallest section ("3 → 5 → 3"), so that one loop
// has one name whichever section play stopped at. Empty when no section was
// entered twice.
std::vector<int> last_cycle(std::span<const int> entered);

// Why a run ended.
enum class RandomPlayEnd {
    all_played,    // every playthrough asked for was played
    budget_spent,  // the section budget ran out first
    interrupted,   // the author interrupted the run (Ctrl-C)
};

struct RandomPlayReport {
    std::uint64_t seed = 0;
    int asked = 0;         // the playthroughs asked for
    int playthroughs = 0;  // those played: all of them unless the run ended early
    RandomPlayEnd end = RandomPlayEnd::all_played;
    long long section_budget = 0;                                  // the run's (RandomPlayBounds)
    long long sections_entered = 0;                                // by all playthroughs
    std::vector<long long> section_visits;                         // per section
    std::vector<std::array<long long, max_choices>> option_picks;  // per section and option
    std::map<ErrorPlace, ErrorRecord> errors;
    long long loops = 0;                            // playthroughs stopped
    std::map<std::vector<int>, LoopRecord> cycles;  // by the cycle they went round last
};

// What may end a run before every playthrough asked for is played: no new
// playthrough starts once `section_budget` sections have been entered, or
// once `interrupted` is set (by a signal handler, say). `between_playthroughs`,
// when given, is shown the report so far before each new one starts.
struct RandomPlayBounds {
    long long section_budget = random_play_section_budget;
    const std::atomic<bool>* interrupted = nullptr;
    std::function<void(const RandomPlayReport& so_far)> between_playthroughs;
};

// Plays up to `playthroughs` games of the loaded story through the engine,
// playthrough i from the seed `seed` + i, with the save in memory and the
// output dropped, within `bounds`.
RandomPlayReport play_at_random(const SectionTable& sections, int section_count, std::string_view story_path,
                                std::uint64_t seed, int playthroughs, const RandomPlayBounds& bounds = {});

// The report, in file line order, and what was not played when the run
// ended early. Returns the exit status: 1 when the playthroughs met an error
// or a loop, or when some of those asked for were not played; else 0.
int print_random_report(std::ostream& out, const PlayableStory& story, const RandomPlayReport& report);

// The whole mode; without a seed one is drawn (and printed, as always).
// Ctrl-C ends the run early, with the report of what was played; when `err`
// is the standard error and a terminal, it shows how far the run has got.
int random_mode(const std::string& file, int playthroughs, std::optional<std::uint64_t> seed, std::ostream& out,
                std::ostream& err);
