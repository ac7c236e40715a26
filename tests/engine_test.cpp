// Playing a loaded story: choice menu, section player and game loop, driven
// with scripted keys, pauses recorded instead of waited.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "game_engine.hpp"
#include "save_load.hpp"
#include "support.hpp"

namespace {

const std::string green = "\033[32m";
const std::string yellow = "\033[33m";
const std::string red = "\033[31m";
const std::string reset = "\033[0m";
const std::string invalid = red + "Choix invalide. Veuillez réessayer : " + reset;
const std::string replay = "Voulez-vous rejouer ? (o/n) : ";

std::string menu(std::initializer_list<std::string> options) {
    std::string text = "\n--- Vos Choix  ---\n";
    int n = 1;
    for (const std::string& option : options) text += green + std::to_string(n++) + ". " + option + reset + "\n";
    text += yellow + std::to_string(n) + ". Consulter l'inventaire" + reset + "\n";
    text += yellow + std::to_string(n + 1) + ". Sauvegarder la partie" + reset + "\n";
    return text + "Votre choix : ";
}

std::string game_over_banner() {
    FakeConsole console;
    display_game_over_ascii();
    return console.output();
}

// A story loaded from text, with a story path in a scratch folder for its save.
class Engine : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = (dir.path() / "conte.txt").string();
    LoadedStory story;

    void load(std::string_view text) { story = load_text(text); }

    std::string play(std::string keys) {
        FakeConsole console(std::move(keys));
        start_game(*story.sections, story.count, path);
        return console.output();
    }

    std::string new_game() const { return "Aucune sauvegarde trouvée pour " + path + ". Nouvelle partie commencée.\n"; }
    std::string goodbye() const { return "\n=== GAME OVER ===\n" + replay + "Merci d'avoir joué " + path + " !\n"; }
    // The same when the input has run out: each unanswered prompt gets its line end.
    std::string goodbye_at_end_of_input() const {
        return "\n=== GAME OVER ===\n" + replay + "\nMerci d'avoir joué " + path + " !\n";
    }
};

// --- Choice menu ----------------------------------------------------------------

TEST_F(Engine, MenuRejectsNumbersOutOfRangeAndNonNumbers) {
    load("# Section\n[Narration]\nA\n[/Narration]\n[Choix]\nun -> Section : 1\ndeux -> Section : 1\ntrois -> Section : 1\n"
         "quatre -> Section : 1\ncinq -> Section : -1\n# Section\n");
    EXPECT_EQ(play("0\n8\n-1\nabc def\n99999999999\n+\n5\nn\n"),
              new_game() + "A \n\n" + menu({"un ", "deux ", "trois ", "quatre ", "cinq "}) + invalid + invalid + invalid +
                  invalid + invalid + invalid + goodbye());
}

TEST_F(Engine, InventoryAndSaveEntriesShowTheMenuAgain) {
    load("# Section\n\"clé\"\n[Choix]\nA ID_Conséquence : 2 -> Section : -1\n\n");
    const std::string m = menu({"A ID_Conséquence : 2 "});
    const std::string saved = "Partie sauvegardée avec succès dans " + path + "_save.json.\n";
    const std::string inventory = "\n--- Inventaire ---\n- clé\n";
    // "3 1": the save entry, then type-ahead for the next menu. Consequences are never applied.
    EXPECT_EQ(play("2\n2\n3\n3 1\nn\n"),
              new_game() + "\n\n" + m + inventory + m + inventory + m + saved + m + saved + m + goodbye());
    EXPECT_EQ(read_file(path + "_save.json"), "0" + text_line_end);
}

TEST_F(Engine, EndOfInputEndsThePlaythroughAndCountsAsNo) {
    load("# Section\n[Choix]\nA -> Section : 0\n\n");
    EXPECT_EQ(play("x\n"), new_game() + "\n\n" + menu({"A "}) + invalid + "\n" + goodbye_at_end_of_input());
    load("# Section\n[Fin]\n");
    EXPECT_EQ(play(""), new_game() + "\n\n" + "\n=== Fin de l'histoire ===\n" + "\n" + game_over_banner() + replay + "\n" +
                            goodbye_at_end_of_input());
}

TEST(ApplyConsequence, FollowsItsTable) {
    Inventory inv;
    FakeConsole console;
    apply_consequence(consequence_gain, inv, "clé", "");
    apply_consequence(consequence_gain, inv, "", "");
    apply_consequence(consequence_lose, inv, "", "clé");
    apply_consequence(consequence_lose, inv, "", "clé");
    apply_consequence(7, inv, "a", "b");
    EXPECT_EQ(console.output(),
              "Vous avez obtenu : clé\n"
              "Vous avez utilisé : clé\n"
              "REMOVE_ITEM: Objet 'clé' introuvable dans l'inventaire.\n"
              "Erreur : clé n'est pas dans votre inventaire.\n");
    EXPECT_EQ(inv.item_count, 0);
}

// --- Section player --------------------------------------------------------------

TEST(SectionPlayer, SpeakerColoursAndTypingSpeeds) {
    const auto story = load_text(
        "# Section\n[Narration]\nab\n[/Narration]\n[Dialogue]\n- Vous : S\n- Vous: S\n- Garde : H\n- \"Vous\": O\n"
        "- Zoé : L\n\n");
    FakeConsole console;
    Inventory inv;
    EXPECT_EQ(play_section(story[0], inv, 0, "x"), end_section_id);
    EXPECT_EQ(console.output(), "ab \n\n" + green + "Vous " + reset + "\nS\n\n" + red + "Vous" + reset + "\nS\n\n" + red +
                                    "Garde " + reset + "\nH\n\n" + green + "\"Vous\"" + reset + "\nO\n\n" + green +
                                    "Zoé " + reset + "\nL\n\n");
    // Narration at 20 ms a byte, each spoken line (with its line end) at 50.
    std::vector<long long> expected(3, 20);
    expected.insert(expected.end(), 2 * 5, 50);
    EXPECT_EQ(console.pacer.pauses_ms, expected);
}

TEST(SectionPlayer, EndingTypesTheTextAgainSlowerAndAsks) {
    FakeConsole console("Oui\nn\n");
    EXPECT_TRUE(ending("ab"));
    EXPECT_FALSE(ending(""));
    EXPECT_EQ(console.pacer.pauses_ms, (std::vector<long long>{50, 50}));
}

TEST(SectionPlayer, ItemLinesApplyOnEveryVisit) {
    const auto story = load_text("# Section\n\"clé\"\n\"clé\"\n<corde>\n");
    FakeConsole console;
    Inventory inv;
    play_section(story[0], inv, 0, "x");
    play_section(story[0], inv, 0, "x");
    EXPECT_EQ(inv.item_count, 4);
    const std::string missing =
        "REMOVE_ITEM: Objet 'corde' introuvable dans l'inventaire.\nErreur : corde n'est pas dans votre inventaire.\n";
    EXPECT_EQ(console.output(), "\n\n" + missing + "\n\n" + missing);
}

TEST_F(Engine, EndingScreenAsksTwiceAndOnlyWithoutChoices) {
    load("# Section\n[Narration]\nFin.\n[/Narration]\n[Fin]\n");
    EXPECT_EQ(play("o\nn\n"), new_game() + "Fin. \n\n" + "\n=== Fin de l'histoire ===\n" + "Fin. \n" + game_over_banner() +
                                  replay + goodbye());
    load("# Section\n[Fin]\n[Choix]\nA -> Section : -1\n\n");
    EXPECT_EQ(play("1\nn\n"), new_game() + "\n\n" + menu({"A "}) + goodbye());
}

// --- Game loop ---------------------------------------------------------------------

TEST_F(Engine, StartsFromTheSave) {
    load("# Section\n[Narration]\nzéro\n[/Narration]\n[Choix]\nLoin -> Section : 5\n\n# Section\n# Section\n"
         "# Section\n# Section\n[Narration]\nquatre\n[/Narration]\n");
    const auto resumed = [&](const std::string& id) {
        return "Sauvegarde chargée pour " + path + ". Reprise à la section " + id + ".\n";
    };
    const std::pair<const char*, std::string> saves[] = {
        {"4\n", resumed("4") + "quatre \n\n"},
        {"0\n", new_game() + "zéro \n\n" + menu({"Loin "}) + "Erreur : La section 5 n'existe pas.\n"},
        {"-1\n", resumed("-1")},
        {"7\n", resumed("7") + "Erreur : La section 7 n'existe pas.\n"},
    };
    for (const auto& [save, start] : saves) {
        dir.write("conte.txt_save.json", save);
        EXPECT_EQ(play("1\nn\n"), start + goodbye()) << save;
    }
}

TEST_F(Engine, ReplayEmptiesTheInventoryAndConsultsTheSaveAgain) {
    load("# Section\n\"clé\"\n[Choix]\nSuite -> Section : 1\n\n# Section\n[Choix]\nFin -> Section : -1\n\n");
    // Save in section 1 with the key, end; the replay resumes at 1 with nothing in hand.
    const std::string out = play("1\n3\n2\n1\noui\n2\n1\nn\n");
    const auto at = out.find("Sauvegarde chargée pour " + path + ". Reprise à la section 1.\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(out.substr(0, at).find("\n--- Inventaire ---\n- clé\n"), std::string::npos);
    EXPECT_NE(out.substr(at).find("\n--- Inventaire ---\nVotre inventaire est vide.\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(path + "_save.json"));  // never deleted
}

TEST_F(Engine, ReplayAnswers) {
    load("# Section\n");
    const std::string once = new_game() + "\n\n\n=== GAME OVER ===\n" + replay;
    const std::string thanks = "Merci d'avoir joué " + path + " !\n";
    for (const char* yes : {"o\n", "O\n", "  Oui merci\n"}) EXPECT_EQ(play(std::string(yes) + "x\n"), once + once + thanks);
    EXPECT_EQ(play("2 3\n"), once + thanks);  // anything else is no
    EXPECT_EQ(play("   \n\n"), once + "\n" + thanks);
}

}  // namespace
