// The story the speed benchmarks play and check: generated from a fixed
// seed, so every run and every machine measures the same story.
#pragma once

#include <cstdint>
#include <string>

inline constexpr std::uint64_t benchmark_story_seed = 1;
inline constexpr int benchmark_story_sections = 100;
inline constexpr int benchmark_story_options = 5;          // per section
inline constexpr int benchmark_story_narration_bytes = 300;
inline constexpr int benchmark_story_items = 10;           // item names, each gained and lost here and there
inline constexpr int benchmark_story_end_odds = 10;        // one option in this many leads to -1

// 100 sections of a 300-byte narration, one item line gaining or losing one
// of 10 items, and 5 options leading to random sections or, one in ten, to
// -1. The same seed gives the same bytes everywhere.
std::string benchmark_story(std::uint64_t seed = benchmark_story_seed);

// The largest story the format allows: 100 sections, every block at its
// caps, physical lines of 255 bytes and more.
std::string maximal_story();
