// Choosing a story: the menu over ./stories and the title line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "story.hpp"
#include "support.hpp"

namespace fs = std::filesystem;

namespace {

std::string title_of(std::string_view path) {
    FakeConsole console;
    display_story_title(path);
    return console.output();
}

TEST(StoryTitle, FileNameWithoutItsLastExtension) {
    EXPECT_EQ(title_of("./stories/la.grande.aventure.txt"), "\n\n=== la.grande.aventure ===\n");
    EXPECT_EQ(title_of("./stories/conte.txt"), "\n\n=== conte ===\n");
    EXPECT_EQ(title_of("C:\\jeux\\conte.txt"), "\n\n=== conte ===\n");
    EXPECT_EQ(title_of("a\\b/c\\d.txt"), "\n\n=== c\\d ===\n");  // the last "/" wins over any "\"
    EXPECT_EQ(title_of("sans_extension"), "\n\n=== sans_extension ===\n");
    EXPECT_EQ(title_of("./stories/.cache"), "\n\n===  ===\n");
}

// Runs the story menu with `dir` as the working folder.
class StoryMenu : public ::testing::Test {
protected:
    TempDir dir;
    fs::path previous = fs::current_path();

    void SetUp() override {
        fs::create_directory(dir.path() / "stories");
        fs::current_path(dir.path());
    }
    void TearDown() override { fs::current_path(previous); }

    void story(const std::string& name) const { std::ofstream(dir.path() / "stories" / name) << "# Section\n"; }

    // The menu's output after its banner.
    static std::string after_banner(const std::string& output) {
        FakeConsole console;
        display_select_story();
        const std::string banner = console.output() + "\n";
        EXPECT_EQ(output.substr(0, banner.size()), banner);
        return output.substr(banner.size());
    }
};

TEST_F(StoryMenu, ListsStoryNamesOnlyAndAsksUntilANumberInRange) {
    for (const char* name : {"conte.txt_save.json", "conte.txt_save.json.tmp", "histoire.TXT", "a.json.txt"}) story(name);
    story("notes.txt.bak");
    StoryPath chosen;
    FakeConsole console("0\n2\n-7 x\n 1\n");
    ASSERT_TRUE(select_story(chosen));
    EXPECT_EQ(chosen.view(), "./stories/notes.txt.bak");
    const std::string invalid = "Choix invalide. Veuillez réessayer : ";
    EXPECT_EQ(after_banner(console.output()),
              "1. notes.txt.bak\nChoisissez une histoire (1-1) : " + invalid + invalid + invalid + invalid);

    FakeConsole nothing("abc");
    EXPECT_FALSE(select_story(chosen));  // the input ends: no story
}

TEST_F(StoryMenu, AtMostAHundredStoriesAndPathsCutTo255Bytes) {
    for (int i = 0; i < 105; ++i) story("histoire" + std::to_string(i) + ".txt");
    StoryPath chosen;
    FakeConsole console("100\n");
    ASSERT_TRUE(select_story(chosen));
    const std::string listed = after_banner(console.output());
    EXPECT_NE(listed.find("\n100. "), std::string::npos);
    EXPECT_EQ(listed.find("\n101. "), std::string::npos);
    EXPECT_NE(listed.find("Choisissez une histoire (1-100) : "), std::string::npos);

    fs::remove_all(dir.path() / "stories");
    fs::create_directory(dir.path() / "stories");
    const std::string long_name = std::string(250, 'n') + ".txt";
    story(long_name);
    FakeConsole again("1\n");
    ASSERT_TRUE(select_story(chosen));
    EXPECT_EQ(chosen.view(), ("./stories/" + long_name).substr(0, 255));
}

}  // namespace
