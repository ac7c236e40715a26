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
// writes a line feed. When the console's pacer reports that the player asked
// for the rest, the rest comes at once.
void typewriter_effect(std::string_view text, int delay_ms);

void display_orlimar();
void display_game_over_ascii();

// --- What happens in play ------------------------------------------------------
// The engine tells an observer what it does and what goes wrong, so that
// author tools learn it as facts instead of reading the printed text. The
// game itself observes nothing.

enum class PlayEventKind {
    section_entered,  // section: the id about to be played
    choice_picked,    // section, index: the option picked, from 0
    item_missing,     // section, index: a lose-item line whose item is not held
    inventory_full,   // section, index: a gain-item line refused by a full inventory
    section_missing,  // section: an id that names no loaded section; the playthrough ends
    // The prompt the engine is about to read an answer for:
    story_menu,     // index: how many stories the menu lists
    choice_menu,    // section: whose menu; index: its options (MenuNumbers::options)
    ending_replay,  // section: the ending shown (-1 when unknown); the replay question after it
    game_replay,    // the replay question of the game loop, once a playthrough is over
};

struct PlayEvent {
    PlayEventKind kind;
    int section = -1;
    int index = -1;
};

class PlayObserver {
public:
    virtual ~PlayObserver() = default;
    virtual void on_event(const PlayEvent& event) = 0;
};

// Tells the observer in use of `event`; the story menu tells its prompt
// through here too.
void tell_observer(const PlayEvent& event);

// Makes `observer` hear the engine's events for as long as it lives.
class PlayObserverOverride {
public:
    explicit PlayObserverOverride(PlayObserver& observer);
    ~PlayObserverOverride();
    PlayObserverOverride(const PlayObserverOverride&) = delete;
    PlayObserverOverride& operator=(const PlayObserverOverride&) = delete;

private:
    PlayObserver* saved_;
};

// --- Game loop ---------------------------------------------------------------

// Greets the player once the story has loaded: the welcome line, the title
// banner and the story's title.
void welcome_player(std::string_view selected_file);

// Plays the story until the player declines to play again.
void start_game(const SectionTable& sections, int section_count, std::string_view story_filename);

// --- Section player ----------------------------------------------------------

// Presents one section; returns the next section id, or end_section_id.
int play_section(const Section& section, Inventory& inventory, int current_section_id,
                 std::string_view story_filename);

// The name the player's own lines are spoken under ("- Vous : ...").
inline constexpr std::string_view player_speaker = "Vous";

// Whether a dialogue line's speaker is shown in the player's green rather
// than in red. The test is on the bytes alone: "Vous " and "\"Vous\"" are
// green, and so is any name that sorts after "Vous" (lower-case and accented
// initials among them).
bool is_player_name(std::string_view name);

void narration(std::string_view narration);
void collect_items(const Section& section, Inventory& inventory);
void dialogues(std::span<const Dialogue> dialogues, int dialogue_count);

// Shows the ending screen and asks whether to play again.
bool ending(std::string_view ending_text);
// The same for the ending of section `section`, told to the observer.
bool ending_screen(std::string_view ending_text, int section);

// --- Choice menu and consequences -------------------------------------------

// The numbers of a choice menu: the options from 1, then the inventory and
// the save entries, always the last two.
struct MenuNumbers {
    int options = 0;  // how many options; they are numbered 1 to options

    [[nodiscard]] constexpr int inventory() const { return options + 1; }
    [[nodiscard]] constexpr int save() const { return options + 2; }
    [[nodiscard]] constexpr int last() const { return save(); }
};

// The menu of a section: its options, clamped to what a section holds.
MenuNumbers menu_numbers(const Section& section);
MenuNumbers menu_numbers(std::span<const Choice> options);

// What a number answers at a menu.
enum class MenuEntry {
    option,     // options 1 to n: the option number - 1
    inventory,  // n + 1
    save,       // n + 2
    invalid,    // anything else: asked again
};

MenuEntry menu_entry(MenuNumbers menu, int number);

// Shows the choice menu until an option is picked; returns its target, or
// end_section_id when the input runs out.
int process_choices(std::span<const Choice> choices, int choice_count, Inventory& inventory,
                    int current_section_id, std::string_view story_filename);

// Applies one consequence code to the inventory.
void apply_consequence(int consequence_id, Inventory& inventory, std::string_view item_add,
                       std::string_view item_remove);
