// What the web page's player is made of besides the browser: the shelf of
// stories held in memory, saves kept in a store, and --publier's page.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "diagnostics.hpp"
#include "publish.hpp"
#include "save_load.hpp"
#include "startup.hpp"
#include "support.hpp"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view ending_story = "# Section 0\n[Narration]\nFin.\n[/Narration]\n[Fin]\n";

// ---------------------------------------------------------------------------
// Saves in a store

class MapStore final : public SaveStore {
public:
    std::optional<std::string> read(std::string_view path) override {
        const auto kept = saves.find(std::string(path));
        return kept == saves.end() ? std::nullopt : std::optional(kept->second);
    }
    bool write(std::string_view path, std::string_view content) override {
        if (refuse) return false;
        saves[std::string(path)] = content;
        return true;
    }
    std::map<std::string, std::string> saves;
    bool refuse = false;
};

// The store keeps what the save file would hold, under the file's name, and
// the player reads the same messages.
TEST(StoredSave, HoldsWhatTheSaveFileHoldsAndSaysTheSame) {
    TempDir dir;
    const std::string story = (dir.path() / "conte.txt").string();
    MapStore store;
    FakeConsole by_file;
    save_current_section(story, -7);
    FakeConsole in_store;
    save_to_store(store, story, -7);
    EXPECT_EQ(in_store.output(), by_file.output());
    // The file is written in text mode: a line end is CR LF on Windows.
    EXPECT_EQ(store.saves.at(save_path_for(story)), "-7\n");
    EXPECT_EQ(load_from_store(store, story), load_current_section(story));
}

TEST(StoredSave, ContentIsReadAsTheSaveFileIs) {
    const std::pair<const char*, int> cases[] = {
        {"  42 et la suite", 42}, {"+5\n", 5}, {"abc\n", 0}, {"", 0}, {"2147483648\n", 0},
    };
    MapStore store;
    EXPECT_EQ(load_from_store(store, "./stories/conte.txt"), 0);  // nothing kept yet
    for (const auto& [content, expected] : cases) {
        store.saves["./stories/conte.txt_save.json"] = content;
        EXPECT_EQ(load_from_store(store, "./stories/conte.txt"), expected) << '"' << content << '"';
    }
}

TEST(StoredSave, RefusalsSayWhyAndKeepTheEarlierSave) {
    const std::string error = "Erreur : Impossible de sauvegarder la partie.\n";
    MapStore store;
    FakeConsole console;
    save_to_store(store, "./stories/conte.txt", 4);
    store.refuse = true;  // a full or forbidden storage
    save_to_store(store, "./stories/conte.txt", 9);
    EXPECT_EQ(load_from_store(store, "./stories/conte.txt"), 4);
    // A path that the cut to 255 bytes leaves without its suffix names no save.
    store.refuse = false;
    const std::string longest = "./stories/" + std::string(241, 'a') + ".txt";
    save_to_store(store, longest, 7);
    EXPECT_EQ(load_from_store(store, longest), 0);
    EXPECT_EQ(console.output(),
              "Partie sauvegardée avec succès dans ./stories/conte.txt_save.json.\n" + error + error);
    EXPECT_EQ(store.saves.size(), 1u);
}

// ---------------------------------------------------------------------------
// The shelf in memory

TEST(StoriesInMemory, OffersTheStoriesInTheirOrderAndPlaysThePickedOne) {
    StoriesInMemory shelf({{"b.txt", "# Section 0\n[Narration]\nAutre.\n[/Narration]\n"},
                           {"a.la.txt", std::string(ending_story)},
                           {"vide.txt", ""}});
    FakeConsole console("4\n2\nn\nn\n");
    EXPECT_EQ(run_program(shelf), 0);
    const std::string out = console.output();
    EXPECT_NE(out.find("1. b.txt\n2. a.la.txt\n3. vide.txt\nChoisissez une histoire (1-3) : Choix invalide."),
              std::string::npos);
    EXPECT_NE(out.find("=== a.la ===\nAucune sauvegarde trouvée pour ./stories/a.la.txt."), std::string::npos);
    EXPECT_NE(out.find("Fin."), std::string::npos);
    EXPECT_EQ(out.find("Autre."), std::string::npos);
    EXPECT_TRUE(out.ends_with("Merci d'avoir joué ./stories/a.la.txt !\n"));
}

TEST(StoriesInMemory, AStoryThatDoesNotLoadEndsTheProgramAsOnDisk) {
    StoriesInMemory shelf(std::vector<StoryFile>{{"vide.txt", ""}});
    FakeConsole console("1\n");
    EXPECT_EQ(run_program(shelf), 1);
    EXPECT_TRUE(console.output().ends_with(
        "(1-1) : Erreur : Impossible de charger l'histoire. Vérifiez le fichier sélectionné.\n"));
}

// ---------------------------------------------------------------------------
// --publier

TEST(Publish, Base64FollowsTheStandard) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"},
        {std::string_view("\xff\x00\xfe", 3), "/wD+"}, {"é\n", "w6kK"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(base64(bytes), text) << bytes;
}

TEST(Publish, StoriesTakeThePlaceOfTheTemplatesPlaceholderOnce) {
    const std::vector<StoryFile> stories{{"a.txt", "x"}, {"b.txt", ""}};
    EXPECT_EQ(page_with_stories("<p><!--ORLIMAR-HISTOIRES--></p>", stories),
              R"(<p><script type="application/json" id="orlimar-histoires">{"histoires":[)"
              R"({"nom":"YS50eHQ=","texte":"eA=="},{"nom":"Yi50eHQ=","texte":""}]}</script></p>)");
    EXPECT_EQ(page_with_stories("<p></p>", stories), std::nullopt);
    EXPECT_EQ(page_with_stories("<!--ORLIMAR-HISTOIRES--><!--ORLIMAR-HISTOIRES-->", stories), std::nullopt);
}

class PublishMode : public ::testing::Test {
protected:
    int publish(const std::vector<std::string>& files, const fs::path& player_template) {
        out.str("");
        err.str("");
        return publish_mode({files, page.string(), player_template}, out, err);
    }
    TempDir dir;
    fs::path page = dir.path() / "page.html";
    std::string player_template = dir.write("modele.html", "<body><!--ORLIMAR-HISTOIRES--></body>");
    std::string clean = dir.write("propre.txt", ending_story);
    std::ostringstream out, err;
};

TEST_F(PublishMode, WarningsAreShownAndThePageWritten) {
    const std::string warned = dir.write("averti.txt", std::string(ending_story) + "Texte\n");
    EXPECT_EQ(publish({clean, warned}, player_template), status_clean);
    EXPECT_NE(out.str().find("averti.txt:6: avertissement"), std::string::npos);
    EXPECT_NE(out.str().find("Page écrite : " + page.string() + " (2 histoires, 1 Ko)"), std::string::npos);
    EXPECT_NE(read_file(page).find(R"({"nom":")" + base64("averti.txt") + R"(","texte":")" +
                                   base64(std::string(ending_story) + "Texte\n") + "\"}]}"),
              std::string::npos);
}

TEST_F(PublishMode, NothingIsWrittenWhenAStoryCannotBeAPage) {
    const std::string broken = dir.write("vide.txt", "");
    const std::string twin = (dir.path() / "autre").string();
    fs::create_directories(twin);
    const std::string same_name = twin + "/propre.txt";
    dir.write("autre/propre.txt", ending_story);
    const struct {
        const char* name;
        std::vector<std::string> files;
        std::string_view says;
    } cases[] = {
        {"an error", {clean, broken}, "corrigez d'abord les erreurs"},
        {"two stories of one name", {clean, same_name}, "deux histoires s'appellent « propre.txt »"},
        {"more than the menu lists", std::vector<std::string>(101, clean), "au plus 100 histoires"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(publish(c.files, player_template), status_errors) << c.name;
        EXPECT_NE(err.str().find(c.says), std::string::npos) << c.name << ": " << err.str();
        EXPECT_FALSE(fs::exists(page)) << c.name;
    }
}

TEST_F(PublishMode, AMissingTemplateSaysHowToGetIt) {
    EXPECT_EQ(publish({clean}, dir.path() / "absent.html"), status_errors);
    EXPECT_NE(err.str().find("« orlimar-joueur.html » est introuvable"), std::string::npos);
    EXPECT_NE(err.str().find("cmake --workflow --preset web"), std::string::npos);
    EXPECT_EQ(publish({clean}, clean), status_errors);  // a file that is no template
    EXPECT_NE(err.str().find("n'est pas un modèle de page"), std::string::npos);
    EXPECT_FALSE(fs::exists(page));
}

}  // namespace
