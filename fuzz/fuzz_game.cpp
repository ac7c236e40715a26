// Plays arbitrary stories with arbitrary keystrokes through the game loop.
//
// An input is laid out as
//
//     <story file bytes> "\n%%keys%%\n" <keystrokes> ["\n%%save%%\n" <save file bytes>]
//
// split at the first "\n%%keys%%\n" and, after it, the first "\n%%save%%\n".
// Without the keys separator the whole input is the story and the player
// types nothing. With the save part, a save file holding those bytes lies
// beside the story when the game starts; without it there is none.
//
// Pauses jump the clock instead of waiting, keys come from memory and the
// output is discarded. Any crash, hang or broken rule is a fault: every
// prompt must end at the end of the keystrokes.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

#include "console.hpp"
#include "fuzz_support.hpp"
#include "game_engine.hpp"
#include "save_load.hpp"
#include "startup.hpp"
#include "story.hpp"

namespace {

constexpr std::string_view keys_separator = "\n%%keys%%\n";
constexpr std::string_view save_separator = "\n%%save%%\n";

struct GameInput {
    std::string_view story;
    std::string_view keys;
    std::optional<std::string_view> save;
};

GameInput split(std::string_view bytes) {
    GameInput input{bytes, {}, std::nullopt};
    const std::size_t keys_at = bytes.find(keys_separator);
    if (keys_at == std::string_view::npos) return input;
    input.story = bytes.substr(0, keys_at);
    std::string_view rest = bytes.substr(keys_at + keys_separator.size());
    const std::size_t save_at = rest.find(save_separator);
    if (save_at != std::string_view::npos) {
        input.save = rest.substr(save_at + save_separator.size());
        rest = rest.substr(0, save_at);
    }
    input.keys = rest;
    return input;
}

// What the game writes as a save: a decimal id and a line end.
bool is_written_save(std::string_view content) {
    if (content.empty() || content.back() != '\n') return false;
    content.remove_suffix(1);
    if (content.starts_with('-')) content.remove_prefix(1);
    if (content.empty()) return false;
    for (const char c : content) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The story of the input, already picked, loaded from its bytes.
class MemoryShelf final : public StoryShelf {
public:
    MemoryShelf(std::string_view bytes, std::string_view path, SectionTable& table)
        : bytes_(bytes), path_(path), table_(table) {}
    bool choose(StoryPath& story_path) override {
        story_path.assign(path_);
        return true;
    }
    ShelvedStory load(const StoryPath& story_path) override {
        std::istringstream in{std::string(bytes_), std::ios::binary};
        count = load_story(in, story_path.view(), table_);
        return {&table_, count};
    }
    int count = 0;

private:
    std::string_view bytes_;
    std::string_view path_;
    SectionTable& table_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::unique_ptr<SectionTable> table = std::make_unique<SectionTable>();
    static const std::filesystem::path story = fuzz::scratch_folder() / "story.txt";
    static const std::string story_path = story.string();
    static const std::filesystem::path save = save_path_for(story_path);
    static const std::filesystem::path save_in_progress = temporary_save_path(save_path_for(story_path));

    const GameInput input = split(std::string_view(reinterpret_cast<const char*>(data), size));

    // Every run starts from the same files: the save only when the input
    // brings one. The story is read from memory; its path names the save.
    std::error_code ignored;
    std::filesystem::remove(save, ignored);
    std::filesystem::remove(save_in_progress, ignored);
    if (input.save) fuzz::write_file(save, *input.save);

    std::istringstream keys{std::string(input.keys)};
    DiscardingBuffer discarded;
    std::ostream out(&discarded);
    InstantPacer pacer;
    const ConsoleOverride console({&keys, &out, &pacer});

    // The program as it starts: the story named already, read from memory.
    MemoryShelf shelf(input.story, story_path, *table);
    const int status = run_program(shelf);
    FUZZ_CHECK(status == 0 || status == 1);
    FUZZ_CHECK(shelf.count >= 0 && shelf.count <= max_sections);

    // The game never deletes a save and never leaves a half-written one: a
    // save that was there is still there, as it was or as the game rewrote it.
    FUZZ_CHECK(!std::filesystem::exists(save_in_progress));
    if (input.save) {
        FUZZ_CHECK(std::filesystem::exists(save));
        const std::string now = fuzz::read_file(save);
        FUZZ_CHECK(now == *input.save || is_written_save(now));
    } else if (std::filesystem::exists(save)) {
        FUZZ_CHECK(is_written_save(fuzz::read_file(save)));
    }
    return 0;
}
