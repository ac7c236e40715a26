// The one-slot save file of a story.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "save_load.hpp"
#include "support.hpp"

namespace fs = std::filesystem;

namespace {

class SaveFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string story = (dir.path() / "conte.txt").string();
    std::string save = story + "_save.json";

    int files() const {
        int count = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++count;
        return count;
    }
};

TEST_F(SaveFile, LaterSaveReplacesTheEarlierOne) {
    EXPECT_EQ(load_current_section(story), 0);  // no save yet
    FakeConsole console;
    save_current_section(story, 12);
    save_current_section(story, -7);
    EXPECT_EQ(console.output(), "Partie sauvegardée avec succès dans " + save + ".\n" +
                                    "Partie sauvegardée avec succès dans " + save + ".\n");
    EXPECT_EQ(read_file(save), "-7" + text_line_end);
    EXPECT_EQ(load_current_section(story), -7);
    EXPECT_EQ(files(), 1);  // no temporary file left behind
}

TEST_F(SaveFile, ContentIsReadLikeAFormattedInteger) {
    const std::pair<const char*, int> cases[] = {
        {"  \n\t42 et la suite", 42}, {"+5\n", 5}, {"2147483647\n", 2147483647},
        {"-2147483648\n", -2147483647 - 1}, {"0000000000000000000009\n", 9},
        // Not a number, or not one an int can hold: no save.
        {"", 0}, {"abc\n", 0}, {"- 4\n", 0}, {"{\"section\": 4}", 0}, {"2147483648\n", 0},
        {"-2147483649\n", 0}, {"99999999999999999999999\n", 0},
    };
    for (const auto& [content, expected] : cases) {
        dir.write("conte.txt_save.json", content);
        EXPECT_EQ(load_current_section(story), expected) << '"' << content << '"';
    }
}

TEST_F(SaveFile, PathIsCutTo255Bytes) {
    const std::string long_story = "./stories/" + std::string(240, 'n');  // 250 bytes
    EXPECT_EQ(save_path_for(long_story), long_story + "_save");
    EXPECT_EQ(save_path_for("./stories/conte.txt"), "./stories/conte.txt_save.json");
}

TEST_F(SaveFile, FailedSavesKeepTheOldOneAndSayWhy) {
    {
        FakeConsole console;
        save_current_section(story, 5);
    }
    const std::string error = "Erreur : Impossible de sauvegarder la partie.\n";
    // Something that is not a file at the temporary path.
    fs::create_directory(save + ".json.tmp");
    FakeConsole console;
    save_current_section(story, 9);
    EXPECT_EQ(read_file(save), "5" + text_line_end);
    fs::remove(save + ".json.tmp");
    // A folder at the save path itself: the rename fails, no temporary stays.
    fs::remove(save);
    fs::create_directory(save);
    save_current_section(story, 9);
    EXPECT_FALSE(fs::exists(save + ".json.tmp"));
    EXPECT_EQ(load_current_section(story), 0);
    // A missing folder.
    save_current_section((dir.path() / "absent" / "conte.txt").string(), 2);
    EXPECT_EQ(console.output(), error + error + error);
}

// With a story path of 255 bytes, cutting "<path>_save.json" to 255 bytes
// leaves the story's own path: saving used to replace the story with the
// section id, and loading read the story as its save.
TEST_F(SaveFile, NeverOverwritesAStoryWhosePathFillsTheLimit) {
    const std::string folder = dir.path().string() + "/";
    const auto story_of_length = [&](std::size_t length, const std::string& content) {
        return dir.write(std::string(length - folder.size() - 4, 'a') + ".txt", content);
    };
    const std::string content = "12\n# Section\n";
    const std::string full = story_of_length(255, content);
    FakeConsole console;
    save_current_section(full, 7);
    EXPECT_EQ(console.output(), "Erreur : Impossible de sauvegarder la partie.\n");
    EXPECT_EQ(read_file(full), content);
    EXPECT_EQ(load_current_section(full), 0);

    // One byte shorter, the save keeps one byte of its suffix: a file of its own.
    const std::string shorter = story_of_length(254, content);
    save_current_section(shorter, 7);
    EXPECT_EQ(read_file(shorter), content);
    EXPECT_EQ(load_current_section(shorter), 7);
}

}  // namespace
