// --hasard: many playthroughs with choices drawn at random, reproducible on
// every platform from a seed, and what they met.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
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

// Most playthroughs one run of the mode plays.
inline constexpr int max_random_playthroughs = 1'000'000;

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

struct RandomPlayReport {
    std::uint64_t seed = 0;
    int playthroughs = 0;
    std::vector<long long> section_visits;                         // per section
    std::vector<std::array<long long, max_choices>> option_picks;  // per section and option
    std::map<ErrorPlace, ErrorRecord> errors;
    long long loops = 0;                            // playthroughs stopped
    std::map<std::vector<int>, LoopRecord> cycles;  // by the cycle they went round last
};

// Plays `playthroughs` games of the loaded story through the engine,
// playthrough i from the seed `seed` + i, with the save in memory and the
// output dropped.
RandomPlayReport play_at_random(const SectionTable& sections, int section_count, std::string_view story_path,
                                std::uint64_t seed, int playthroughs);

// The report, in file line order. Returns the exit status: 1 when the
// playthroughs met an error or a loop, else 0.
int print_random_report(std::ostream& out, const PlayableStory& story, const RandomPlayReport& report);

// The whole mode; without a seed one is drawn (and printed, as always).
int random_mode(const std::string& file, int playthroughs, std::optional<std::uint64_t> seed, std::ostream& out,
                std::ostream& err);
