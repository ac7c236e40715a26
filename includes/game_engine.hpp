// Playing a loaded story: the text effects and banners, the game loop, the
// section player and the choice menu.
#pragma once

#include <span>
#include <string_view>

#include "inventor.hpp"
#include "story.hpp"

// Typing speeds, in milliseconds per byte.
inline constexpr int narration_delay_ms = 20;
inline constexpr int dialogue_delay_ms = 50;
inline constexpr int ending_delay_ms = 50;

// --- Text effects and banners ----------------------------------------------

// Types `text` one byte at a time, pausing `delay_ms` before each byte, then
// writes a line feed.
void typewriter_effect(std::string_view text, int delay_ms);

void display_orlimar();
void display_game_over_ascii();

// --- Game loop ---------------------------------------------------------------

// Plays the story until the player declines to play again.
void start_game(const SectionTable& sections, int section_count, std::string_view story_filename);

// --- Section player ----------------------------------------------------------

// Presents one section; returns the next section id, or end_section_id.
int play_section(const Section& section, Inventory& inventory, int current_section_id,
                 std::string_view story_filename);

void narration(std::string_view narration);
void collect_items(const Section& section, Inventory& inventory);
void dialogues(std::span<const Dialogue> dialogues, int dialogue_count);

// Shows the ending screen and asks whether to play again.
bool ending(std::string_view ending_text);

// --- Choice menu and consequences -------------------------------------------

// Shows the choice menu until an option is picked; returns its target, or
// end_section_id when the input runs out.
int process_choices(std::span<const Choice> choices, int choice_count, Inventory& inventory,
                    int current_section_id, std::string_view story_filename);

// Applies one consequence code to the inventory.
void apply_consequence(int consequence_id, Inventory& inventory, std::string_view item_add,
                       std::string_view item_remove);
