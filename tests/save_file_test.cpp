// The one-slot save file of a story.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "save_load.hpp"
#include "support.hpp"

namespace fs = std::filesystem;

namespace {

class SaveFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string story = (dir.path() / "conte.txt").string();
    std::string save = save_path_for(story);
    const std::string error = "Erreur : Impossible de sauvegarder la partie.\n";
};

TEST_F(SaveFile, LaterSaveReplacesTheEarlierOneThroughATemporaryFile) {
    EXPECT_TRUE(is_save_file_name(fs::path(temporary_save_path(save)).filename().string()));
    EXPECT_EQ(load_current_section(story), 0);  // no save yet
    FakeConsole console;
    save_current_section(story, 12);
    // Something that is not a file at the temporary path: the old save stays.
    fs::create_directory(temporary_save_path(save));
    save_current_section(story, 9);
    EXPECT_EQ(load_current_section(story), 12);
    fs::remove(temporary_save_path(save));
    save_current_section(story, -7);
    EXPECT_EQ(console.output(), "Partie sauvegardée avec succès dans " + save + ".\n" + error +
                                    "Partie sauvegardée avec succès dans " + save + ".\n");
    EXPECT_EQ(load_current_section(story), -7);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);  // no temporary file left behind
}

// What stands at the save paths is never followed, nor waited on: a link at
// the save path reads as no save, a link at the temporary path is replaced,
// not written through, and a FIFO reads as no save at once.
TEST_F(SaveFile, LinksAndFifosAtTheSavePathsAreNotFollowed) {
    const fs::path outside = dir.path() / "ailleurs.txt";
    std::ofstream(outside) << "7\n";
    std::error_code error;
    fs::create_symlink(outside, save, error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    EXPECT_EQ(load_current_section(story), 0);
    fs::remove(save);
    fs::create_symlink(outside, temporary_save_path(save));
    FakeConsole console;
    save_current_section(story, 3);
    EXPECT_EQ(load_current_section(story), 3);
    EXPECT_EQ(read_file(outside), "7\n");
#ifndef _WIN32
    fs::remove(save);
    ASSERT_EQ(mkfifo(save.c_str(), 0600), 0);
    EXPECT_EQ(load_current_section(story), 0);
#endif
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

TEST_F(SaveFile, FailedSavesSayWhy) {
    FakeConsole console;
    // A folder at the save path: the rename fails, no temporary file stays.
    fs::create_directory(save);
    save_current_section(story, 9);
    EXPECT_FALSE(fs::exists(temporary_save_path(save)));
    EXPECT_EQ(load_current_section(story), 0);
    save_current_section((dir.path() / "absent" / "conte.txt").string(), 2);  // a missing folder
    EXPECT_EQ(console.output(), error + error);
}

// A story path of 255 bytes cut with its suffix to 255 bytes is the story's
// own path: saving must not replace the story, nor loading read it.
TEST_F(SaveFile, NeverOverwritesAStoryWhosePathFillsTheLimit) {
    EXPECT_EQ(save_path_for("./stories/" + std::string(240, 'n')), "./stories/" + std::string(240, 'n') + "_save");
    const std::size_t folder = dir.path().string().size() + 1;
    const std::string content = "12\n# Section\n";
    const std::string full = dir.write(std::string(255 - folder - 4, 'a') + ".txt", content);
    const std::string shorter = dir.write(std::string(254 - folder - 4, 'a') + ".txt", content);
    FakeConsole console;
    save_current_section(full, 7);
    EXPECT_EQ(console.output(), error);
    EXPECT_EQ(read_file(full), content);
    EXPECT_EQ(load_current_section(full), 0);
    // One byte shorter, the save keeps one byte of its suffix: a file of its own.
    save_current_section(shorter, 7);
    EXPECT_EQ(read_file(shorter), content);
    EXPECT_EQ(load_current_section(shorter), 7);
}

}  // namespace
