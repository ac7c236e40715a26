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
};

TEST_F(SaveFile, RoundTripAndMessage) {
    FakeConsole console;
    save_current_section(story, 7);
    EXPECT_EQ(read_file(save), "7" + text_line_end);
    EXPECT_EQ(console.output(), "Partie sauvegardée avec succès dans " + save + ".\n");
    EXPECT_EQ(load_current_section(story), 7);
}

TEST_F(SaveFile, LaterSaveReplacesTheEarlierOneAndLeavesNoTemporaryFile) {
    FakeConsole console;
    save_current_section(story, 12);
    save_current_section(story, 3);
    EXPECT_EQ(load_current_section(story), 3);
    EXPECT_EQ(read_file(save), "3" + text_line_end);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(SaveFile, NegativeIdsRoundTrip) {
    FakeConsole console;
    save_current_section(story, -1);
    EXPECT_EQ(load_current_section(story), -1);
}

TEST_F(SaveFile, NoSaveReadsAsZero) {
    EXPECT_EQ(load_current_section(story), 0);
}

TEST_F(SaveFile, ContentIsReadLikeAFormattedInteger) {
    const std::pair<const char*, int> cases[] = {
        {"  \n\t42 et la suite", 42}, {"+5\n", 5}, {"-3", -3}, {"2147483647\n", 2147483647},
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
    const std::string path = save_path_for(long_story);
    EXPECT_EQ(path.size(), 255u);
    EXPECT_EQ(path, long_story + "_save");
    EXPECT_EQ(save_path_for("./stories/conte.txt"), "./stories/conte.txt_save.json");
}

TEST_F(SaveFile, UnwritablePathKeepsTheOldSave) {
    // Something that is not a file stands at the temporary path: the write
    // fails and the previous save must survive.
    {
        FakeConsole console;
        save_current_section(story, 5);
    }
    fs::create_directory(save + ".json.tmp");
    FakeConsole console;
    save_current_section(story, 9);
    EXPECT_EQ(console.output(), "Erreur : Impossible de sauvegarder la partie.\n");
    EXPECT_EQ(read_file(save), "5" + text_line_end);
    EXPECT_EQ(load_current_section(story), 5);
}

TEST_F(SaveFile, DirectoryAtTheSavePathIsAnError) {
    fs::create_directory(save);
    FakeConsole console;
    save_current_section(story, 9);
    EXPECT_EQ(console.output(), "Erreur : Impossible de sauvegarder la partie.\n");
    EXPECT_TRUE(fs::is_directory(save));
    EXPECT_FALSE(fs::exists(save + ".json.tmp"));
    EXPECT_EQ(load_current_section(story), 0);
}

TEST_F(SaveFile, MissingFolderIsAnError) {
    FakeConsole console;
    save_current_section((dir.path() / "absent" / "conte.txt").string(), 2);
    EXPECT_EQ(console.output(), "Erreur : Impossible de sauvegarder la partie.\n");
}

}  // namespace
