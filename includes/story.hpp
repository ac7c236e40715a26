// The story in memory, the story file reader and the choice of a story.
//
// A story is a flat table of Section records, each embedding its dialogue
// lines, its choices and its item lines in fixed-capacity fields. The loader
// fills the table once; the game engine only reads it.
#pragma once

#include <array>
#include <cstddef>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "fixed_text.hpp"

// ---------------------------------------------------------------------------
// Limits of a story. Text capacities include the terminating NUL byte.

inline constexpr int max_sections = 100;
inline constexpr int max_dialogues = 5;          // per section (and per block)
inline constexpr int max_choices = 5;            // per section (and per block)
inline constexpr int max_section_items = 10;     // item lines per section

inline constexpr std::size_t long_text_capacity = 1000;  // narration, spoken and option texts
inline constexpr std::size_t name_capacity = 50;         // speaker and item names
inline constexpr std::size_t max_item_name_bytes = 48;   // item names as loaded
inline constexpr std::size_t line_buffer_size = 256;     // one read takes at most 255 bytes
inline constexpr std::size_t story_path_capacity = 256;  // "./stories/<name>", at most 255 bytes
inline constexpr int max_listed_stories = 100;

using LongText = FixedText<long_text_capacity>;
using NameText = FixedText<name_capacity>;
using StoryPath = FixedText<story_path_capacity>;

// Item line kinds (Item::type).
inline constexpr int item_gain = 1;  // written "between double quotes"
inline constexpr int item_lose = 2;  // written <between angle brackets>

// Choice::consequence_id values.
inline constexpr int consequence_none = 0;
inline constexpr int consequence_gain = 1;
inline constexpr int consequence_lose = 2;

// The target that ends a playthrough.
inline constexpr int end_section_id = -1;

// ---------------------------------------------------------------------------
// The story format's spelling. The reader compares these byte for byte from
// the first byte of a line; the author tools quote and look for the same.

inline constexpr std::string_view section_marker = "# Section";
inline constexpr std::string_view narration_marker = "[Narration]";
inline constexpr std::string_view narration_end_marker = "[/Narration]";
inline constexpr std::string_view dialogue_marker = "[Dialogue]";
inline constexpr std::string_view choice_marker = "[Choix]";
inline constexpr std::string_view ending_marker = "[Fin]";
inline constexpr std::string_view dialogue_dash = "-";    // starts a dialogue line
inline constexpr std::string_view choice_arrow = "->";    // ends an option's text
inline constexpr std::string_view target_word = "Section";  // " Section : N" after the arrow
inline constexpr std::string_view consequence_marker = "ID_Conséquence : ";

// The longest spoken and option texts a story can hold. Their lines are read
// whole through the line buffer, so they stay far below their capacity: a
// spoken text starts past the dash, the colon and one more byte, and an
// option text stops before the arrow. A narration joins lines and can fill
// its whole capacity.
inline constexpr std::size_t max_spoken_bytes = line_buffer_size - 1 - dialogue_dash.size() - 2;
inline constexpr std::size_t max_option_bytes = line_buffer_size - 1 - choice_arrow.size();

// ---------------------------------------------------------------------------
// Records

struct Item {
    int type = 0;
    NameText name;

    friend bool operator==(const Item&, const Item&) = default;
};

struct Dialogue {
    NameText character;
    LongText text;  // kept with the line end it was read with

    friend bool operator==(const Dialogue&, const Dialogue&) = default;
};

struct Choice {
    LongText text;
    int next_section_id = 0;
    int consequence_id = consequence_none;
    NameText item_add;
    NameText item_remove;
    int points = 0;

    friend bool operator==(const Choice&, const Choice&) = default;
};

struct Section {
    int id = 0;
    LongText narration;
    std::array<Dialogue, max_dialogues> dialogues;
    int dialogue_count = 0;
    std::array<Choice, max_choices> choices;
    int choice_count = 0;
    std::array<Item, max_section_items> items;
    int item_count = 0;
    int is_ending = 0;

    friend bool operator==(const Section&, const Section&) = default;
};

// Empties a section record in place (every count 0, every text empty, every
// number 0) and gives it its id. The loader does this when it opens a section.
void clear_section(Section& section, int id);

// The section table: exactly max_sections records; the number of loaded ones
// is kept beside it by its owner. Records past that count are never read.
using SectionTable = std::array<Section, max_sections>;

// Whether `id` names one of the `section_count` loaded sections: ids are
// positions in the table, from 0.
constexpr bool is_loaded_section(int id, int section_count) { return id >= 0 && id < section_count; }

// The section at position `id`, which must be a loaded one.
inline const Section& section_at(const SectionTable& sections, int id) {
    return sections[static_cast<std::size_t>(id)];
}

// How many sections of a table are loaded, whatever the count says: counts
// outside 0 to max_sections are clamped, so that no table is read past its end.
constexpr int loaded_count(int section_count) {
    return section_count < 0 ? 0 : (section_count > max_sections ? max_sections : section_count);
}

// The valid entries of a section, whatever its counts say: a count below 0
// gives none, one above the capacity the whole array. Every reader of a
// section goes through these.
std::span<const Dialogue> section_dialogues(const Section& section);
std::span<const Choice> section_options(const Section& section);
std::span<const Item> section_items(const Section& section);

// How playing a section ends, once its narration, items and dialogues are
// shown: the choice menu when it has options (an ending flag is then never
// looked at), else the ending screen when it carries "[Fin]", else the
// playthrough simply stops.
enum class SectionEnd {
    choice_menu,
    ending_screen,
    stop,
};

SectionEnd section_end(const Section& section);

// First of the `section_count` loaded sections whose id is `id`, or nullptr.
const Section* get_section_by_id(const SectionTable& sections, int section_count, int id);

// ---------------------------------------------------------------------------
// Story file loader

// What the reader's main loop makes of a line, cut at its line end: the
// markers are compared from the line's first byte, in this order.
enum class LineKind {
    section_header,   // "# Section"
    narration_start,  // "[Narration]"
    dialogue_start,   // "[Dialogue]"
    choice_start,     // "[Choix]"
    gain_item,        // first and last bytes are double quotes
    lose_item,        // first byte "<", last byte ">"
    ending,           // "[Fin]"
    narration_end,    // "[/Narration]" outside a narration block: ignored
    other,            // ignored
};

LineKind classify_line(std::string_view line);

// Every line kind, in the enum's order: what the tools go through.
inline constexpr std::array all_line_kinds{
    LineKind::section_header, LineKind::narration_start, LineKind::dialogue_start,
    LineKind::choice_start,   LineKind::gain_item,       LineKind::lose_item,
    LineKind::ending,         LineKind::narration_end,   LineKind::other,
};
static_assert(all_line_kinds.size() == static_cast<std::size_t>(LineKind::other) + 1,
              "a new line kind goes into all_line_kinds, before other");

// The marker a line of this kind starts with ("[Choix]", "# Section"...),
// empty for item lines and other lines.
std::string_view line_marker(LineKind kind);

// A line as the loader hands it out, up to its first CR or LF.
std::string_view cut_at_line_end(std::string_view line);

// The lines that open a block, a section or an ending when the main loop
// reads them (and that a narration block reads as text).
bool is_block_marker(LineKind kind);

// What the loader notices while reading, for tools that explain a story to
// its author. The game itself listens to nothing. Notices carry facts only:
// kinds, line numbers, positions and the bytes concerned; how to put them in
// words is left to the tools.
enum class LoadNoticeKind {
    // Structure: where things were stored.
    section_opened,       // section: the new section; bytes: its header line
    narration_opened,     // a "[Narration]" line: its block starts here; bytes: the line
    narration_text,       // a line the open narration block read as text; bytes: the line
    narration_closed,     // the "[/Narration]" line that ended the block; bytes: the line
    dialogue_opened,      // a "[Dialogue]" line; bytes: the line
    choice_opened,        // a "[Choix]" line; bytes: the line
    dialogue_stored,      // section, index; bytes: the line
    choice_stored,        // section, index; bytes: the line
    item_stored,          // section, index
    ending_marked,        // section
    // Problems.
    file_unopenable,
    too_many_sections,
    block_end_swallowed,      // bytes: the consumed line, cut at its line end
    dialogue_without_colon,
    dialogue_block_full,      // a dialogue block stored its last entry on this line and read no further
    choice_block_full,        // the same for a choice block
    item_past_limit,
    target_unparsed,          // bytes: all that follows the arrow, as read
    target_out_of_int_range,
    consequence_after_arrow,
    narration_cut,
    name_cut,                 // speaker name cut to 49 bytes
    item_name_cut,            // item name cut to 48 bytes
    line_split,               // a physical line longer than 255 bytes
    dialogue_line_split,      // a dialogue block read a piece of such a line; bytes: the piece
    choice_line_split,        // a choice block read a piece of such a line; bytes: the piece
    outside_section,          // a marker or item line before the first section header
    narration_unterminated,   // a narration block that runs to the end of the file
    line_ignored,             // a line the main loop ignores, blank or not; bytes: the line
    // Told apart from ignored lines and stored dialogues by the checker, not
    // by the loader.
    byte_order_mark,
    indented_marker,          // bytes: the line without its indentation
    dialogue_past_limit,      // an ignored "-" line right after a full dialogue block
    choice_past_limit,        // an ignored "->" line right after a full choice block
};

struct LoadNotice {
    LoadNoticeKind kind;
    int line = 0;       // 1-based physical line in the file, 0 when none
    int section = -1;   // current section position, -1 before the first header
    int index = -1;     // entry index within its section, where it applies
    std::string bytes;  // the story bytes concerned, where the kind says so
};

class LoadListener {
public:
    virtual ~LoadListener() = default;
    virtual void notice(const LoadNotice& notice) = 0;
};

// How reading a story went: the number of sections read (1 to
// max_sections), or 0 with the reason the game refuses the story.
enum class LoadFailure {
    none,
    unreadable,         // the stream or file could not be read
    too_many_sections,  // a header past max_sections
    no_header,          // no "# Section" line
};

struct LoadResult {
    int section_count = 0;
    LoadFailure failure = LoadFailure::none;
};

// Reads a story from `in` into `sections`, printing nothing: the tools' way
// in. The game goes through load_story below, which adds its messages.
LoadResult read_story(std::istream& in, SectionTable& sections, LoadListener* listener = nullptr);

// Reads the story file `filename` (a regular file, opened in binary mode) the
// same way.
LoadResult read_story_file(std::string_view filename, SectionTable& sections, LoadListener* listener = nullptr);

// Reads a story from `in` into `sections`. Returns the number of sections
// read (1 to max_sections), or 0 when the stream is not readable, holds no
// section header or holds too many; prints its own error messages, naming
// the story `name` when it cannot be read.
int load_story(std::istream& in, std::string_view name, SectionTable& sections, LoadListener* listener = nullptr);

// Reads the story file `filename` (a regular file, opened in binary mode) the
// same way.
int load_story(std::string_view filename, SectionTable& sections, LoadListener* listener = nullptr);

// ---------------------------------------------------------------------------
// Story selection

// Runs the story menu over "./stories". Returns true with the story path in
// `selected_file`, or false when no story can be chosen.
bool select_story(StoryPath& selected_file);

// The story path of the story file `name`: "./stories/<name>", cut to the
// story path's capacity by whoever stores it.
std::string story_path_for(std::string_view name);

// Runs the story menu over the file names `stories`, numbered in the order
// given; the chosen one's story path is story_path_for(name). The folder's menu
// above lists the folder and calls this one.
bool select_story(std::span<const std::string> stories, StoryPath& selected_file);

// Prints the title line of a story path: the file name without its extension.
void display_story_title(std::string_view selected_file);

// Prints the blue selection banner.
void display_select_story();
