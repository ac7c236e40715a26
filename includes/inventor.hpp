// The player's inventory: item names in slot order, gained and lost by the
// item lines of the sections played.
#pragma once

#include <array>
#include <string>
#include <string_view>

inline constexpr int max_inventory_items = 50;

struct Inventory {
    // Slots 0 to item_count - 1 hold the items; each owns its copy of the name.
    std::array<std::string, max_inventory_items> items;
    int item_count = 0;
    int points = 0;
};

// Whether an inventory holding `item_count` items takes one more: the rule
// add_item follows, and the one the checker's item search plays by.
constexpr bool has_room_for_item(int item_count) { return item_count < max_inventory_items; }

// The lines add_item and remove_item print when they refuse, without the
// line feed: what the player reads, for tools that warn an author of them.
inline constexpr std::string_view inventory_full_message = "Erreur : Inventaire plein !";
std::string missing_item_message(std::string_view item);

// Empties the inventory and releases every name it holds.
void init_inventory(Inventory& inv);

// Adds a copy of `item`; false (with a message) when full or out of memory.
bool add_item(Inventory& inv, std::string_view item);

// Removes the first item named exactly `item`; the last item takes its slot.
// False (with a message) when no such item is held.
bool remove_item(Inventory& inv, std::string_view item);

// Prints the inventory.
void display_inventory(const Inventory& inv);
