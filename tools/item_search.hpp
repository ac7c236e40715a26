// Lost items: a breadth-first search over (section, inventory) states for
// lose-item lines that some playthrough reaches without the item in hand.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "story.hpp"

struct ItemPlace {
    int section = 0;
    int item_index = 0;

    friend bool operator==(const ItemPlace&, const ItemPlace&) = default;
};

// A lose-item line that some playthrough reaches without the item in hand.
struct MissingItem {
    int section = 0;
    int item_index = 0;
    std::vector<int> path;  // a shortest path of section ids, from where play started to `section`
    // Along that path, the last line that gained the item, when the game
    // refused it for a full inventory (none when the last gain was taken, or
    // when nothing gained it).
    std::optional<ItemPlace> refused;
};

struct MissingItemSearch {
    std::vector<MissingItem> missing;  // in section, then item order
    bool complete = true;              // false when the state bound cut the search short
};

// Most (section, inventory) states the item search visits. Each holds the
// section and the count of every item that some line loses: with items
// gained on some branches and not others their number grows exponentially,
// and the search stops there, saying so (`complete` false). On the worst
// stories of bench/worst_case_stories.hpp, 200 000 states take about 0.15 s
// and 15 MB.
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
