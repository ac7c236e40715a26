// Orlimar in a web page: the stories come inside the page, the saves are
// kept in the browser's storage, and the game is the console game's own
// start-up, story menu and engine, on the page's console (console_web.cpp).
#include <emscripten.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "console.hpp"
#include "save_load.hpp"
#include "startup.hpp"

// clang-format off
EM_JS(int, page_story_count, (), {
    return Module.orlimarPage.stories.length;
});

// Bytes the page hands over are copied into memory the caller frees.
EM_JS(char*, page_bytes, (const char* what, int index, int* count), {
    const bytes = Module.orlimarPage.bytes(UTF8ToString(what), index);
    const copy = _malloc(bytes.length + 1);
    HEAPU8.set(bytes, copy);
    HEAP32[count >> 2] = bytes.length;
    return copy;
});

EM_JS(int, page_has_save, (const char* path), {
    return Module.orlimarPage.readSave(UTF8ToString(path)) !== null ? 1 : 0;
});

EM_JS(char*, page_save, (const char* path, int* count), {
    const bytes = Module.orlimarPage.readSave(UTF8ToString(path));
    const copy = _malloc(bytes.length + 1);
    HEAPU8.set(bytes, copy);
    HEAP32[count >> 2] = bytes.length;
    return copy;
});

EM_JS(int, page_keep_save, (const char* path, const char* bytes, int count), {
    return Module.orlimarPage.writeSave(UTF8ToString(path), HEAPU8.slice(bytes, bytes + count)) ? 1 : 0;
});

EM_JS(void, page_game_over, (int status), {
    Module.orlimarPage.gameOver(status);
});
// clang-format on

namespace {

std::string take_bytes(char* bytes, int count) {
    std::string taken(bytes, static_cast<std::size_t>(count));
    std::free(bytes);
    return taken;
}

std::string page_file(const char* what, int index) {
    int count = 0;
    char* bytes = page_bytes(what, index, &count);
    return take_bytes(bytes, count);
}

std::vector<StoryFile> stories_of_the_page() {
    std::vector<StoryFile> stories;
    const int count = page_story_count();
    for (int index = 0; index < count; ++index) stories.push_back({page_file("name", index), page_file("text", index)});
    return stories;
}

// The browser's storage, one entry per save path, kept by the page.
class BrowserStorage final : public SaveStore {
public:
    std::optional<std::string> read(std::string_view save_path) override {
        const std::string path(save_path);
        if (page_has_save(path.c_str()) == 0) return std::nullopt;
        int count = 0;
        char* bytes = page_save(path.c_str(), &count);
        return take_bytes(bytes, count);
    }
    bool write(std::string_view save_path, std::string_view content) override {
        const std::string path(save_path);
        return page_keep_save(path.c_str(), content.data(), static_cast<int>(content.size())) != 0;
    }
};

class BrowserSaveSlot final : public SaveSlot {
public:
    int load(std::string_view story_filename) override { return load_from_store(storage_, story_filename); }
    void save(std::string_view story_filename, int current_section_id) override {
        save_to_store(storage_, story_filename, current_section_id);
    }

private:
    BrowserStorage storage_;
};

}  // namespace

int main() {
    int status = 0;
    {
        const ConsoleSession console;
        BrowserSaveSlot slot;
        const SaveSlotOverride saves(slot);
        StoriesInMemory stories(stories_of_the_page());
        status = run_program(stories);
        console_out().flush();
    }
    page_game_over(status);
    return status;
}
