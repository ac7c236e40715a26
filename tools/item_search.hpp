// Lost items: a breadth-first search over (section, inventory) states for
// lose-item lines that some playthrough reaches without the item in hand.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "story.hpp"

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

struct ItemPlace {
    int section = 0;
    int item_index = 0;
};

// Along a missing item's path: the last line that gained the item while
// the inventory was full, so that the game did not take it, unless a later
// line gained it with room to spare.
std::optional<ItemPlace> refused_gain(const SectionTable& sections, int section_count, const MissingItem& missing);

// Most (section, inventory) states the item search visits.
inline constexpr std::size_t max_item_search_states = 200'000;

// Breadth-first search over (section, inventory) states from section 0 with
// an empty inventory, applying the item lines in order on every visit and
// following every choice.
MissingItemSearch find_missing_items(const SectionTable& sections, int section_count,
                                     std::size_t state_limit = max_item_search_states);

// The same search started from every section of `starts` at once, each with
// an empty inventory, as resumed games start; the lines of `already_found`
// are not looked for again.
MissingItemSearch find_missing_items_on_resume(const SectionTable& sections, int section_count,
                                               const std::vector<int>& starts,
                                               const std::vector<MissingItem>& already_found,
                                               std::size_t state_limit = max_item_search_states);
