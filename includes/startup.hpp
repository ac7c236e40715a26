// The program from start to end: the story menu, the loading, the greeting
// and the game loop. The game's main, the author tools' play modes and the
// game fuzzer all start a game through here.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "story.hpp"

// A loaded story: its sections and how many loaded (0 when it did not load).
struct ShelvedStory {
    const SectionTable* sections = nullptr;
    int section_count = 0;
};

// Where the program finds its stories: what the story menu offers, and how
// the story picked is loaded.
class StoryShelf {
public:
    virtual ~StoryShelf() = default;
    // Lists the stories and reads the player's pick; false when none is picked.
    virtual bool choose(StoryPath& story_path) = 0;
    // Loads the story picked; the sections live as long as the shelf.
    virtual ShelvedStory load(const StoryPath& story_path) = 0;
};

// The game's own shelf: the ./stories folder, read by the story loader.
class StoriesFolder final : public StoryShelf {
public:
    bool choose(StoryPath& story_path) override;
    ShelvedStory load(const StoryPath& story_path) override;

private:
    std::unique_ptr<SectionTable> sections_;  // large: on the heap
};

// A story file held in memory: its file name and its bytes.
struct StoryFile {
    std::string name;
    std::string bytes;
};

// A shelf of stories held in memory, offered in the order given, under the
// story paths their names give, and read by the story loader: the web page's
// shelf, where the stories come inside the page.
class StoriesInMemory final : public StoryShelf {
public:
    explicit StoriesInMemory(std::vector<StoryFile> stories);
    bool choose(StoryPath& story_path) override;
    ShelvedStory load(const StoryPath& story_path) override;

private:
    std::vector<StoryFile> stories_;
    std::vector<std::string> names_;
    std::unique_ptr<SectionTable> sections_;  // large: on the heap
};

// Greets the player and plays the loaded story until they stop; returns the
// exit status.
int play_loaded_story(const ShelvedStory& story, std::string_view story_path);

// The whole program: the story menu, the loading (each refusal said to the
// player), then play_loaded_story. Returns the exit status.
int run_program(StoryShelf& shelf);
