// Stories built to cost the author tools the most that the format allows:
// each one pushes a different analysis to its limits. They are generated, not
// stored, and the same on every run and every machine.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct WorstCaseStory {
    std::string name;     // the file name, "etats.txt"
    std::string purpose;  // one line for the benchmark's report
    std::string text;
};

// Lines of the stray-lines story: ignored lines, legal in any number.
inline constexpr long long worst_case_stray_lines = 10'000'000;

// Every worst case, in the benchmark's order; `stray_lines` is the number of
// ignored lines of the stray-lines stories (smaller in tests).
std::vector<WorstCaseStory> worst_case_stories(long long stray_lines = worst_case_stray_lines);

// The stories one by one.

// 48 layers of two sections, one gaining its own item, the other not, each
// leading to both sections of the next two layers and back to section 0:
// every subset of the items is an inventory, far more than any search visits.
std::string state_explosion_story();

// One loop through 100 sections that gains a pebble per round, each section
// gaining and losing four items of its own: those gains are refused once the
// inventory is full, some 5 000 sections into the game.
std::string deep_paths_story();

// 100 sections, each with 5 choices to sections drawn at random and 10 item
// lines gaining or losing one of 50 names of 48 bytes.
std::string dense_story();

// Every cap reached in every section: narrations past 999 bytes, 5 speakers of
// 49 bytes, 5 options of the longest line, 10 item lines of 48-byte names
// (and longer, cut), [Fin] too; the sections form one long loop.
std::string capped_story();

// Every section a chain link of the longest texts with four options that end
// the game: 401 endings, the farthest 99 choices away.
std::string many_endings_story();

// One section, then `lines` ignored lines.
std::string stray_lines_story(long long lines);

// One section whose narration is never closed and reads the `lines` lines
// that follow as text: one in ten a section header, the others plain text.
std::string endless_narration_story(long long lines);

// One section whose blocks come again and again, `lines` lines in all: each
// block replaces the one before, and each says so.
std::string repeated_blocks_story(long long lines);
