// What the play modes of orlimar-check share: a story loaded for play with
// the file lines of what it holds, a save slot in memory so that no play
// mode ever touches a player's save, and the way keys are shown to the
// author. Also the --jouer mode itself.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <streambuf>
#include <span>
#include <string>
#include <string_view>

#include "console.hpp"
#include "game_engine.hpp"
#include "save_load.hpp"
#include "startup.hpp"
#include "story.hpp"
#include "story_check.hpp"

// A story file loaded the way the game loads it, quietly.
struct PlayableStory {
    std::string file;        // as the author named it, for "FILE:LINE:" messages
    std::string file_name;   // the file's own name, as the story menu lists it
    std::string story_path;  // "./stories/<file name>": what the game calls it
    std::unique_ptr<SectionTable> sections = std::make_unique<SectionTable>();
    int section_count = 0;   // 0 when the game would refuse the file
    StoryLines lines;
};

PlayableStory load_playable_story(const std::string& file);

// Explains on `err`, the checker's way, why a story does not load. Returns
// the status for it.
int report_unplayable(const PlayableStory& story, std::ostream& err);

// A story menu listing this story alone, already loaded.
class OneStoryShelf final : public StoryShelf {
public:
    explicit OneStoryShelf(const PlayableStory& story) : story_(story) {}
    bool choose(StoryPath& story_path) override;
    ShelvedStory load(const StoryPath& story_path) override;

private:
    const PlayableStory& story_;
};

// The save in memory of a play mode: it starts with the section to resume at
// (0 for a new game), and the menu's save entry only moves it and says so.
class TrialSaveSlot final : public SaveSlot {
public:
    explicit TrialSaveSlot(int section) : section_(section) {}
    int load(std::string_view story_filename) override;
    void save(std::string_view story_filename, int current_section_id) override;

private:
    int section_;
};

// How a game in memory types its texts; neither way ever waits.
enum class Typing {
    clocked,  // byte by byte, on a clock that jumps to each byte's deadline: it tells what a player would wait
    at_once,  // each text in one piece, as for a player who asks for the rest of every text: for a game nobody reads
};

// The pacer of Typing::at_once: the rest of every text is asked for before
// its first byte.
class AtOncePacer final : public Pacer {
public:
    Clock::time_point now() override { return {}; }
    ByteWaitEnd wait_for_byte(Clock::time_point) override { return ByteWaitEnd::rest_asked; }
};

// The one way the tools play a story in memory: for as long as it lives, the
// game reads its keys from `keys`, writes to `out`, types without pauses (as
// `typing` says), saves only into a TrialSaveSlot starting at `resume_at`,
// and tells its events to `observer` when given. Nothing is written to disk.
//
// The engine's seams stay process-wide rather than passed down as a context:
// the engine's entry points have fixed signatures the game's contract names,
// the game is single-threaded, and a context would have to be threaded
// through every one of them for the tools' sake alone. This guard is where
// the tools set all of them, once.
class InMemoryGame {
public:
    InMemoryGame(std::istream& keys, std::ostream& out, int resume_at = 0, PlayObserver* observer = nullptr,
                 Typing typing = Typing::clocked);
    InMemoryGame(const InMemoryGame&) = delete;
    InMemoryGame& operator=(const InMemoryGame&) = delete;

private:
    InstantPacer clocked_;
    AtOncePacer at_once_;
    TrialSaveSlot slot_;
    ConsoleOverride console_;
    SaveSlotOverride save_;
    std::optional<PlayObserverOverride> observer_;
};

// Where a play mode starts the game: at the story menu, which lists the
// story alone, for a new game; or past it, with the save in memory at
// `section` (0 for a new game), as --jouer does.
struct PlayStart {
    bool story_menu = false;
    int section = 0;
};

// Plays `story` in memory from `start`, reading `keys` and writing to `out`,
// until the game ends or the keys run out.
void play_in_memory(const PlayableStory& story, const PlayStart& start, std::istream& keys, std::ostream& out,
                    PlayObserver* observer = nullptr);

// `text` without its colour escapes ("\033[" digits and ';' "m").
std::string without_colours(std::string_view text);

// An output that passes what is written to it on to `out` without its colour
// escapes, as it comes, for a player who reads the game live: an escape cut
// between two writes is held back until it is complete or proves not to be
// one, and what is still held when the filter goes is passed on then. What
// comes out is without_colours of all that went in.
class ColourFilter final : public std::streambuf {
public:
    explicit ColourFilter(std::ostream& out) : out_(out) {}
    ~ColourFilter() override;
    ColourFilter(const ColourFilter&) = delete;
    ColourFilter& operator=(const ColourFilter&) = delete;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void pass_on();

    std::ostream& out_;
    std::string held_;
};

// What a game in memory writes for the author to read, held and passed on
// to `out` in large pieces: the typewriter flushes after every byte, which on
// a real output would be one system call a byte. What is held goes on when
// the buffer is full, at pass_on() (KeysAfterOutput calls it before every
// read of the keys), and when the buffer goes; the game's own flushes pass
// nothing on. The bytes are the game's, unchanged.
class HeldOutput final : public std::streambuf {
public:
    explicit HeldOutput(std::ostream& out);
    ~HeldOutput() override;
    HeldOutput(const HeldOutput&) = delete;
    HeldOutput& operator=(const HeldOutput&) = delete;

    // Writes out what is held, and flushes `out`.
    void pass_on();

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    static constexpr std::size_t buffer_bytes = 64 * 1024;

    std::ostream& out_;
    std::unique_ptr<char[]> buffer_ = std::make_unique<char[]>(buffer_bytes);
};

// The keys of `source`, handed on one byte at a time, for a game whose output
// `held` holds: before each byte is asked of `source`, where a player may
// still be typing it, what the game wrote goes to the author's screen, so
// that the prompt is there before the game waits.
class KeysAfterOutput final : public std::streambuf {
public:
    KeysAfterOutput(std::streambuf* source, HeldOutput& held) : source_(source), held_(held) {}

protected:
    int_type underflow() override;

private:
    std::streambuf* source_;
    HeldOutput& held_;
    char key_ = 0;
};

// The keys typed at the choice menus, as shown to authors: "« 1 2 1 »".
std::string format_keys(std::span<const int> keys);

struct PlayOptions {
    std::optional<int> from;              // the section to start at, as a resumed game
    bool plain = false;                   // the output without colour escapes
    std::optional<std::string> recording;  // the file to record the session in
};

// --jouer: plays the story on `in` and `out` as the game would after its
// story menu, without typewriter pauses and with the save in memory.
// Returns the exit status.
int play_mode(const std::string& file, const PlayOptions& options, std::istream& in, std::ostream& out,
              std::ostream& err);
