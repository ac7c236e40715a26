// Playing a loaded story: choice menu, section player and game loop, driven
// with scripted keys, pauses recorded instead of waited.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

TEST_F(Engine, MenuWithOneOption) {
    load("# Section\n[Narration]\nA\n[/Narration]\n[Choix]\nPartir -> Section : -1\n\n");
    EXPECT_EQ(play("1\nn\n"), new_game() + "A \n\n" + menu({"Partir "}) + goodbye());
}

TEST_F(Engine, MenuWithFiveOptionsAndRejectedNumbers) {
    load("# Section\n[Choix]\nun -> Section : 1\ndeux -> Section : 1\ntrois -> Section : 1\n"
         "quatre -> Section : 1\ncinq -> Section : -1\n# Section\n");
    const std::string out = play("0\n8\n-1\n5\nn\n");
    EXPECT_EQ(out, new_game() + "\n\n" + menu({"un ", "deux ", "trois ", "quatre ", "cinq "}) + invalid + invalid +
                       invalid + goodbye());
}

TEST_F(Engine, InventoryAndSaveEntriesShowTheMenuAgain) {
    load("# Section\n\"clé\"\n[Choix]\nA -> Section : -1\n\n");
    const std::string out = play("2\n2\n3\n3 1\nn\n");
    const std::string m = menu({"A "});
    const std::string saved = "Partie sauvegardée avec succès dans " + path + "_save.json.\n";
    const std::string inventory = "\n--- Inventaire ---\n- clé\n";
    EXPECT_EQ(out, new_game() + "\n\n" + m + inventory + m + inventory + m + saved + m + saved + m + goodbye());
    EXPECT_EQ(read_file(path + "_save.json"), "0" + text_line_end);
}

TEST_F(Engine, NonNumericInputIsRejectedLineByLine) {
    load("# Section\n[Choix]\nA -> Section : -1\n\n");
    const std::string out = play("abc def\n99999999999\n+\n1\nn\n");
    EXPECT_EQ(out, new_game() + "\n\n" + menu({"A "}) + invalid + invalid + invalid + goodbye());
}

TEST_F(Engine, EndOfInputAtTheMenuEndsThePlaythrough) {
    load("# Section\n[Choix]\nA -> Section : 0\n\n");
    EXPECT_EQ(play(""), new_game() + "\n\n" + menu({"A "}) + "\n" + goodbye_at_end_of_input());
    EXPECT_EQ(play("x\n"), new_game() + "\n\n" + menu({"A "}) + invalid + "\n" + goodbye_at_end_of_input());
}

TEST_F(Engine, TypeAheadAnswersTheNextPrompt) {
    load("# Section\n[Choix]\nA -> Section : 1\nB -> Section : -1\n\n# Section\n[Choix]\nC -> Section : -1\nD -> Section : 0\n\n");
    // The menu takes 2 (B, the end value) and "3" is left for the replay question.
    const std::string out = play("2 3\n1\nn\n");
    EXPECT_EQ(out, new_game() + "\n\n" + menu({"A ", "B "}) + "\n=== GAME OVER ===\n" + replay + "Merci d'avoir joué " +
                       path + " !\n");

    const std::string chained = play("1 1\nn\n");
    EXPECT_EQ(chained, new_game() + "\n\n" + menu({"A ", "B "}) + "\n\n" + menu({"C ", "D "}) + goodbye());
}

TEST_F(Engine, ConsequencesAreNotAppliedByChoosing) {
    load("# Section\n[Choix]\nPrendre ID_Conséquence : 1 -> Section : 1\n\n# Section\n[Choix]\nFin -> Section : -1\n\n");
    const std::string out = play("1\n2\n1\nn\n");
    EXPECT_NE(out.find("\n--- Inventaire ---\nVotre inventaire est vide.\n"), std::string::npos);
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

TEST(SectionPlayer, SpeakerColours) {
    const auto story = load_text(
        "# Section\n[Dialogue]\n- Vous : Salut\n- Vous: Salut\n- Garde : Halte\n- \"Vous\": Oui\n- Zoé : Là\n\n");
    FakeConsole console;
    Inventory inv;
    EXPECT_EQ(play_section(story[0], inv, 0, "x"), end_section_id);
    EXPECT_EQ(console.output(), "\n\n" + green + "Vous " + reset + "\nSalut\n\n" + red + "Vous" + reset +
                                    "\nSalut\n\n" + red + "Garde " + reset + "\nHalte\n\n" + green + "\"Vous\"" +
                                    reset + "\nOui\n\n" + green + "Zoé " + reset + "\nLà\n\n");
}

TEST(SectionPlayer, TypingSpeeds) {
    const auto story = load_text("# Section\n[Narration]\nab\n[/Narration]\n[Dialogue]\n- A : c\n\n[Fin]\n");
    FakeConsole console("n\n");
    Inventory inv;
    play_section(story[0], inv, 0, "x");
    // Narration "ab " at 20 ms, the spoken "c\n" at 50 ms, the narration again at 50 ms.
    EXPECT_EQ(console.pacer.pauses_ms, (std::vector<long long>{20, 20, 20, 50, 50, 50, 50, 50}));
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

TEST(SectionPlayer, EmptySectionEndsSilently) {
    const auto story = load_text("# Section\n");
    FakeConsole console;
    Inventory inv;
    EXPECT_EQ(play_section(story[0], inv, 0, "x"), end_section_id);
    EXPECT_EQ(console.output(), "\n\n");
}

TEST_F(Engine, EndingScreenAsksTwice) {
    load("# Section\n[Narration]\nFin.\n[/Narration]\n[Fin]\n");
    const std::string out = play("o\nn\n");
    EXPECT_EQ(out, new_game() + "Fin. \n\n" + "\n=== Fin de l'histoire ===\n" + "Fin. \n" + game_over_banner() + replay +
                       goodbye());
}

TEST_F(Engine, EndingFlagWithChoicesShowsOnlyTheMenu) {
    load("# Section\n[Fin]\n[Choix]\nA -> Section : -1\n\n");
    const std::string out = play("1\nn\n");
    EXPECT_EQ(out, new_game() + "\n\n" + menu({"A "}) + goodbye());
}

// --- Game loop ---------------------------------------------------------------------

TEST_F(Engine, ResumesFromTheSave) {
    load("# Section\n[Narration]\nzéro\n[/Narration]\n# Section\n# Section\n# Section\n# Section\n[Narration]\nquatre\n[/Narration]\n");
    dir.write("conte.txt_save.json", "4\n");
    EXPECT_EQ(play("n\n"), "Sauvegarde chargée pour " + path + ". Reprise à la section 4.\n" + "quatre \n\n" + goodbye());

    dir.write("conte.txt_save.json", "0\n");
    EXPECT_EQ(play("n\n"), new_game() + "zéro \n\n" + goodbye());
}

TEST_F(Engine, SavedEndValueEndsAtOnce) {
    load("# Section\n[Narration]\nzéro\n[/Narration]\n");
    dir.write("conte.txt_save.json", "-1\n");
    EXPECT_EQ(play("n\n"), "Sauvegarde chargée pour " + path + ". Reprise à la section -1.\n" + goodbye());
}

TEST_F(Engine, MissingSectionsEndThePlaythrough) {
    load("# Section\n[Choix]\nLoin -> Section : 5\nPlus loin -> Section : -2\n\n# Section\n");
    EXPECT_EQ(play("1\nn\n"), new_game() + "\n\n" + menu({"Loin ", "Plus loin "}) +
                                  "Erreur : La section 5 n'existe pas.\n" + goodbye());
    EXPECT_EQ(play("2\nn\n"), new_game() + "\n\n" + menu({"Loin ", "Plus loin "}) +
                                  "Erreur : La section -2 n'existe pas.\n" + goodbye());

    dir.write("conte.txt_save.json", "2\n");
    EXPECT_EQ(play("n\n"), "Sauvegarde chargée pour " + path + ". Reprise à la section 2.\n" +
                               "Erreur : La section 2 n'existe pas.\n" + goodbye());
}

TEST_F(Engine, ReplayEmptiesTheInventoryAndConsultsTheSaveAgain) {
    load("# Section\n\"clé\"\n[Choix]\nSuite -> Section : 1\n\n# Section\n[Choix]\nFin -> Section : -1\n\n");
    // First playthrough: save in section 1, look at the inventory, end.
    // Second: resumes at 1 with nothing in hand.
    const std::string out = play("1\n3\n2\n1\no\n2\n1\nn\n");
    const std::string second_start = "Sauvegarde chargée pour " + path + ". Reprise à la section 1.\n";
    const auto at = out.find(second_start);
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(out.substr(0, at).find("\n--- Inventaire ---\n- clé\n"), std::string::npos);
    EXPECT_NE(out.substr(at).find("\n--- Inventaire ---\nVotre inventaire est vide.\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(path + "_save.json"));  // never deleted
}

TEST_F(Engine, ReplayAnswers) {
    load("# Section\n");
    const std::string once = new_game() + "\n\n\n=== GAME OVER ===\n" + replay;
    for (const char* yes : {"o\n", "O\n", "oui\n", "  Oui merci\n"}) {
        EXPECT_EQ(play(std::string(yes) + "n\n"), once + once + "Merci d'avoir joué " + path + " !\n") << yes;
    }
    for (const char* no : {"n\n", "x\n", "non\n"}) {
        EXPECT_EQ(play(no), once + "Merci d'avoir joué " + path + " !\n") << '"' << no << '"';
    }
    for (const char* nothing : {"", "   \n\n"}) {
        EXPECT_EQ(play(nothing), once + "\nMerci d'avoir joué " + path + " !\n") << '"' << nothing << '"';
    }
}

TEST_F(Engine, EndOfInputAtTheEndingQuestionCountsAsNo) {
    load("# Section\n[Fin]\n");
    const std::string out = play("");
    EXPECT_EQ(out, new_game() + "\n\n" + "\n=== Fin de l'histoire ===\n" + "\n" + game_over_banner() + replay + "\n" +
                       goodbye_at_end_of_input());
}

}  // namespace
