// The one-slot save of a story: the id of the section to resume at, in a file
// beside the story named after it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t save_path_capacity = 256;  // at most 255 bytes

// --- Naming ------------------------------------------------------------------
// Every name a save file can have comes from here: the game writes and reads
// saves with them, and the story menu leaves them out of its list.

// The save path of a story: its path followed by "_save.json", cut to 255 bytes.
std::string save_path_for(std::string_view story_filename);

// Where a new save is written before it replaces the old one.
std::string temporary_save_path(std::string_view save_path);

// Whether a file name in the stories folder may be a save file (or a
// temporary one): any name containing ".json", so that a cut save name that
// kept only part of its suffix is still left out of the story menu as long
// as the ".json" is there.
bool is_save_file_name(std::string_view file_name);

// --- The save file -------------------------------------------------------------

// Writes the save of a story and says so; on failure prints an error and
// leaves any earlier save untouched.
void save_current_section(std::string_view story_filename, int current_section_id);

// The saved section id of a story, or 0 when it has no (readable) save. A
// saved 0 also reads as 0: saving in the first section looks like no save,
// and the game starts afresh, as it always has.
int load_current_section(std::string_view story_filename);

// --- Saves kept elsewhere than in files ----------------------------------------

// Where a game without save files keeps the text of its saves, by save path:
// the web page keeps them in the browser's storage.
class SaveStore {
public:
    virtual ~SaveStore() = default;
    // The text kept at `save_path`, or nothing.
    virtual std::optional<std::string> read(std::string_view save_path) = 0;
    // Keeps `content` at `save_path`, replacing what was there; false when
    // it could not be kept.
    virtual bool write(std::string_view save_path, std::string_view content) = 0;
};

// The save of a story kept in a store, with the same names, the same text
// and the same messages as the save file.
void save_to_store(SaveStore& store, std::string_view story_filename, int current_section_id);
int load_from_store(SaveStore& store, std::string_view story_filename);

// --- Where the game keeps its save -------------------------------------------------

// The game reaches its save through this interface: by default the save file
// above; author tools swap in a slot in memory so that a test run never reads
// or writes a player's save.
class SaveSlot {
public:
    virtual ~SaveSlot() = default;
    // The section to resume at, 0 for a new game.
    virtual int load(std::string_view story_filename) = 0;
    // Keeps `current_section_id` as the section to resume at, and says so.
    virtual void save(std::string_view story_filename, int current_section_id) = 0;
};

// The slot in use: the save file unless a SaveSlotOverride says otherwise.
SaveSlot& current_save_slot();

// Makes `slot` the slot in use for as long as it lives.
class SaveSlotOverride {
public:
    explicit SaveSlotOverride(SaveSlot& slot);
    ~SaveSlotOverride();
    SaveSlotOverride(const SaveSlotOverride&) = delete;
    SaveSlotOverride& operator=(const SaveSlotOverride&) = delete;

private:
    SaveSlot* saved_;
};
