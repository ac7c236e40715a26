// The real orlimar program, run in a fresh working folder with scripted keys:
// its standard output byte for byte and its exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "file_path.hpp"
#include "game_engine.hpp"
#include "support.hpp"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace {

// The selection banner, byte for byte.
const std::string select_banner =
    "\033[34m\n"
    "\n"
    "   ███████╗███████╗██╗     ███████╗ ██████╗████████╗     ███████╗████████╗ ██████╗ ██████╗ ██╗   ██╗\n"
    "   ██╔════╝██╔════╝██║     ██╔════╝██╔════╝╚══██╔══╝     ██╔════╝╚══██╔══╝██╔═══██╗██══██║ ██║   ██║\n"
    "    █████╗ █████╗  ██║     █████╗  ██║        ██║          █████╗   ██║   ██║   ██║█████╔╝    ██╔══╝ \n"
    "   ██╔═══╝ ██╔══╝  ██║     ██╔══╝  ██║        ██║        ██╔════╝   ██║   ██║   ██║██╔═██║    ██║    \n"
    "   ███████╗███████╗███████╗███████╗╚██████╗   ██║        ███████╗   ██║   ╚██████╔╝██║ ██║    ██║    \n"
    "   ╚══════╝╚══════╝╚══════╝╚══════╝ ╚═════╝   ╚═╝        ╚══════╝   ╚═╝    ╚═════╝ ╚═╝ ╚═╝    ╚═╝    \n" +
    std::string(100, ' ') + "\n" + "\033[0m\n" + "\n";

const std::string no_story = "Erreur : Aucune histoire sélectionnée. Le programme va quitter.\n";
const std::string load_failed = "Erreur : Impossible de charger l'histoire. Vérifiez le fichier sélectionné.\n";
const std::string replay = "Voulez-vous rejouer ? (o/n) : ";

std::string captured(void (*print)()) {
    FakeConsole console;
    print();
    return console.output();
}

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

#ifdef _WIN32
// Windows text mode writes CR LF for every LF; compare the bytes without it.
std::string without_carriage_returns(std::string text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        plain += text[i];
    }
    return plain;
}
#endif

// A scratch working folder for the program, with its stories folder.
class EndToEnd : public ::testing::Test {
protected:
    TempDir dir;
    fs::path stories = dir.path() / "stories";

    void SetUp() override { fs::create_directory(stories); }

    // `name` is UTF-8, like every file name the program handles.
    void story(const std::string& name, const std::string& content) const {
        std::ofstream(stories / path_from_utf8(name), std::ios::binary) << content;
    }

    // Runs orlimar in the folder with `keys` as its standard input.
    ProgramRun run(const std::string& keys) const {
        const fs::path in = dir.path() / "keys.in";
        const fs::path out = dir.path() / "run.out";
        const fs::path err = dir.path() / "run.err";
        std::ofstream(in, std::ios::binary) << keys;
        std::string wrapper;
        if (const char* value = std::getenv("ORLIMAR_E2E_WRAPPER"); value != nullptr) wrapper = std::string(value) + " ";
#ifdef _WIN32
        // cmd runs the command line; the outer quotes are the ones cmd /c strips.
        const fs::path program = fs::path(ORLIMAR_EXECUTABLE).make_preferred();
        const std::string command = "cd /d " + quoted(dir.path()) + " && " + wrapper + quoted(program) + " < " +
                                    quoted(in) + " > " + quoted(out) + " 2> " + quoted(err);
        const int raw = std::system(("\"" + command + "\"").c_str());
        ProgramRun result{raw, without_carriage_returns(read_file(out)), read_file(err)};
#else
        const std::string command = "cd " + quoted(dir.path()) + " && " + wrapper + quoted(ORLIMAR_EXECUTABLE) + " < " +
                                    quoted(in) + " > " + quoted(out) + " 2> " + quoted(err);
        const int raw = std::system(command.c_str());
        ProgramRun result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(out), read_file(err)};
#endif
        return result;
    }

    std::string greeting(const std::string& title) const {
        return "Bienvenue dans  !\n" + captured(display_orlimar) + "\n" + "\n\n=== " + title + " ===\n";
    }
    static std::string new_game(const std::string& name) {
        return "Aucune sauvegarde trouvée pour ./stories/" + name + ". Nouvelle partie commencée.\n";
    }
    static std::string goodbye(const std::string& name) {
        return "\n=== GAME OVER ===\n" + replay + "Merci d'avoir joué ./stories/" + name + " !\n";
    }
};

const std::string ending_story = "# Section\n[Narration]\nFin.\n[/Narration]\n[Fin]\n";

TEST_F(EndToEnd, OneStoryPlayedToItsEnding) {
    story("conte.txt", ending_story);
    const ProgramRun result = run("1\nn\nn\n");
    EXPECT_EQ(result.out, select_banner + "1. conte.txt\n" + "Choisissez une histoire (1-1) : " + greeting("conte") +
                              new_game("conte.txt") + "Fin. \n\n" + "\n=== Fin de l'histoire ===\n" + "Fin. \n" +
                              captured(display_game_over_ascii) + replay + goodbye("conte.txt"));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
}

TEST_F(EndToEnd, MenuListsStoriesOnlyAndTakesInvalidNumbers) {
    for (const char* name : {"a.txt", "b.txt", "notes.txt.bak"}) story(name, ending_story);
    story("a.txt_save.json", "1\n");
    story("histoire.TXT", ending_story);
    story("lisez-moi", "rien");

    // First run: no answer, just the listing (in the folder's own order).
    const ProgramRun listing = run("");
    EXPECT_EQ(listing.status, 1);
    const std::string prefix = select_banner;
    ASSERT_EQ(listing.out.substr(0, prefix.size()), prefix);
    std::vector<std::string> listed;
    std::size_t at = prefix.size();
    for (int n = 1;; ++n) {
        const std::string number = std::to_string(n) + ". ";
        if (listing.out.compare(at, number.size(), number) != 0) break;
        const std::size_t end = listing.out.find('\n', at);
        listed.push_back(listing.out.substr(at + number.size(), end - at - number.size()));
        at = end + 1;
    }
    std::vector<std::string> sorted = listed;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"a.txt", "b.txt", "notes.txt.bak"}));
    EXPECT_EQ(listing.out.substr(at), "Choisissez une histoire (1-3) : \n" + no_story);

    // Second run: out-of-range and non-numeric answers, then b.txt.
    const auto b = std::find(listed.begin(), listed.end(), "b.txt") - listed.begin() + 1;
    const ProgramRun chosen = run("0\n4\nabc\n" + std::to_string(b) + "\nn\nn\n");
    const std::string invalid = "Choix invalide. Veuillez réessayer : ";
    EXPECT_NE(chosen.out.find("Choisissez une histoire (1-3) : " + invalid + invalid + invalid + greeting("b")),
              std::string::npos);
    EXPECT_NE(chosen.out.find(new_game("b.txt")), std::string::npos);
    EXPECT_EQ(chosen.status, 0);
}

TEST_F(EndToEnd, MissingStoriesFolder) {
    fs::remove(stories);
    const ProgramRun result = run("1\n");
    EXPECT_EQ(result.out, select_banner + "Erreur : Impossible d'ouvrir le répertoire des histoires.\n" + no_story);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "");
}

TEST_F(EndToEnd, NoStoryInTheFolder) {
    story("conte.txt_save.json", "3\n");
    const ProgramRun result = run("1\n");
    EXPECT_EQ(result.out, select_banner + "Aucune histoire disponible.\n" + no_story);
    EXPECT_EQ(result.status, 1);
}

TEST_F(EndToEnd, EmptyStoryFileDoesNotLoad) {
    story("vide.txt", "");
    const ProgramRun result = run("1\n");
    EXPECT_EQ(result.out, select_banner + "1. vide.txt\n" + "Choisissez une histoire (1-1) : " + load_failed);
    EXPECT_EQ(result.status, 1);
}

TEST_F(EndToEnd, TooManySectionsDoesNotLoad) {
    std::string text;
    for (int i = 0; i < 101; ++i) text += "# Section\n";
    story("long.txt", text);
    const ProgramRun result = run("1\n");
    EXPECT_EQ(result.out, select_banner + "1. long.txt\n" + "Choisissez une histoire (1-1) : " +
                              "Erreur : Trop de sections dans le fichier.\n" + load_failed);
    EXPECT_EQ(result.status, 1);
}

TEST_F(EndToEnd, SaveThenResumeInASecondRun) {
    story("conte.txt",
          "# Section\n[Choix]\nEntrer -> Section : 1\n\n"
          "# Section\n[Narration]\nSalle.\n[/Narration]\n[Choix]\nSortir -> Section : -1\n\n");
    const std::string menu_0 =
        "\n--- Vos Choix  ---\n\033[32m1. Entrer \033[0m\n\033[33m2. Consulter l'inventaire\033[0m\n"
        "\033[33m3. Sauvegarder la partie\033[0m\nVotre choix : ";
    const std::string menu_1 =
        "\n--- Vos Choix  ---\n\033[32m1. Sortir \033[0m\n\033[33m2. Consulter l'inventaire\033[0m\n"
        "\033[33m3. Sauvegarder la partie\033[0m\nVotre choix : ";
    const std::string saved = "Partie sauvegardée avec succès dans ./stories/conte.txt_save.json.\n";

    const ProgramRun first = run("1\n1\n3\n");  // save in section 1, then the keys run out
    EXPECT_EQ(first.out, select_banner + "1. conte.txt\n" + "Choisissez une histoire (1-1) : " + greeting("conte") +
                             new_game("conte.txt") + "\n\n" + menu_0 + "Salle. \n\n" + menu_1 + saved + menu_1 + "\n" +
                             "\n=== GAME OVER ===\n" + replay + "\nMerci d'avoir joué ./stories/conte.txt !\n");
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(read_file(stories / "conte.txt_save.json"), "1" + text_line_end);

    const ProgramRun second = run("1\n1\nn\n");
    EXPECT_EQ(second.out, select_banner + "1. conte.txt\n" + "Choisissez une histoire (1-1) : " + greeting("conte") +
                              "Sauvegarde chargée pour ./stories/conte.txt. Reprise à la section 1.\n" + "Salle. \n\n" +
                              menu_1 + goodbye("conte.txt"));
    EXPECT_EQ(second.status, 0);
}

TEST_F(EndToEnd, AccentedStoryNameIsListedPlayedAndSaved) {
    // UTF-8 file names on every system, whatever the Windows code page.
    story("légende.txt", "# Section\n[Choix]\nSortir -> Section : -1\n\n");
    const std::string menu =
        "\n--- Vos Choix  ---\n\033[32m1. Sortir \033[0m\n\033[33m2. Consulter l'inventaire\033[0m\n"
        "\033[33m3. Sauvegarder la partie\033[0m\nVotre choix : ";
    const std::string saved = "Partie sauvegardée avec succès dans ./stories/légende.txt_save.json.\n";

    const ProgramRun result = run("1\n3\n1\nn\n");
    EXPECT_EQ(result.out, select_banner + "1. légende.txt\n" + "Choisissez une histoire (1-1) : " +
                              greeting("légende") + new_game("légende.txt") + "\n\n" + menu + saved + menu +
                              goodbye("légende.txt"));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(read_file(stories / path_from_utf8("légende.txt_save.json")), "0" + text_line_end);
}

TEST_F(EndToEnd, EndOfInputAtTheStoryMenu) {
    story("conte.txt", ending_story);
    const ProgramRun result = run("");
    EXPECT_EQ(result.out, select_banner + "1. conte.txt\n" + "Choisissez une histoire (1-1) : \n" + no_story);
    EXPECT_EQ(result.status, 1);
}

}  // namespace
