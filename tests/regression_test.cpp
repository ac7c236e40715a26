// Faults found by fuzzing and by trying bad inputs on the whole program, each
// kept here so that it stays fixed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "game_engine.hpp"
#include "save_load.hpp"
#include "support.hpp"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t longest_path = 255;  // story and save paths are cut to this

// A story file whose path is exactly `length` bytes long, in `dir`.
std::string story_path_of_length(const TempDir& dir, std::size_t length, const std::string& content) {
    const std::string folder = dir.path().string() + "/";
    const std::string name = std::string(length - folder.size() - 4, 'a') + ".txt";
    return dir.write(name, content);
}

int files_in(const fs::path& folder) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
    return count;
}

// With a story path of 255 bytes, cutting "<path>_save.json" to 255 bytes
// leaves the story's own path: saving used to replace the story with the
// section number, and loading read the story as its save.
TEST(Regression, SaveNeverOverwritesAStoryWhosePathFillsTheLimit) {
    TempDir dir;
    const std::string content = "12\n# Section\n[Choix]\nPartir -> Section : -1\n";
    const std::string story = story_path_of_length(dir, longest_path, content);
    ASSERT_EQ(story.size(), longest_path);

    {
        FakeConsole console;
        save_current_section(story, 7);
        EXPECT_EQ(console.output(), "Erreur : Impossible de sauvegarder la partie.\n");
    }
    EXPECT_EQ(read_file(story), content);
    EXPECT_EQ(files_in(dir.path()), 1);
    // The story begins with a number, but it is no save.
    EXPECT_EQ(load_current_section(story), 0);

    // The same through the game: the save entry, then the option.
    LoadedStory loaded = load_text(content);
    ASSERT_EQ(loaded.count, 1);
    FakeConsole console("3\n1\nn\n");
    start_game(*loaded.sections, loaded.count, story);
    EXPECT_NE(console.output().find("Aucune sauvegarde trouvée pour " + story), std::string::npos);
    EXPECT_NE(console.output().find("Erreur : Impossible de sauvegarder la partie.\n"), std::string::npos);
    EXPECT_EQ(read_file(story), content);
    EXPECT_EQ(files_in(dir.path()), 1);
}

// One byte shorter, the save path keeps one byte of its suffix and is a file
// of its own: saving works and the story is untouched.
TEST(Regression, SaveBesideAStoryOneByteShortOfTheLimitIsItsOwnFile) {
    TempDir dir;
    const std::string content = "# Section\n";
    const std::string story = story_path_of_length(dir, longest_path - 1, content);
    FakeConsole console;
    save_current_section(story, 7);
    EXPECT_EQ(console.output(), "Partie sauvegardée avec succès dans " + story + "_.\n");
    EXPECT_EQ(read_file(story), content);
    EXPECT_EQ(read_file(story + "_"), "7" + text_line_end);
    EXPECT_EQ(load_current_section(story), 7);
}

// Only regular files are read as stories: a folder named like a story, or a
// link to an endless device, used to be read as an empty or never-ending
// story instead of being refused.
TEST(Regression, OnlyRegularFilesAreReadAsStories) {
    TempDir dir;
    fs::create_directory(dir.path() / "dossier.txt");
    LoadedStory story;
    FakeConsole console;
    const std::string folder = (dir.path() / "dossier.txt").string();
    EXPECT_EQ(load_story(folder, *story.sections), 0);
    std::string expected = "Erreur : Impossible d'ouvrir le fichier " + folder + "\n";
#ifndef _WIN32
    std::error_code no_device;
    fs::create_symlink("/dev/zero", dir.path() / "zero.txt", no_device);
    if (!no_device) {
        const std::string zero = (dir.path() / "zero.txt").string();
        EXPECT_EQ(load_story(zero, *story.sections), 0);
        expected += "Erreur : Impossible d'ouvrir le fichier " + zero + "\n";
    }
#endif
    EXPECT_EQ(console.output(), expected);
}

}  // namespace
