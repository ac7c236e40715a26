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

TEST_F(EndToEnd, MenuListsStoriesInFolderOrderAndTakesInvalidNumbers) {
    for (const char* name : {"a.txt", "b.txt", "notes.txt.bak", "histoire.TXT", "a.txt_save.json"}) story(name, ending_story);

    // No answer: the listing alone, numbered in the folder's own order.
    const ProgramRun listing = run("");
    EXPECT_EQ(listing.status, 1);
    const std::string listed = listing.out.substr(std::min(select_banner.size(), listing.out.size()));
    std::string b_number;
    for (const char* name : {"a.txt", "b.txt", "notes.txt.bak"}) {
        const auto at = listed.find(std::string(". ") + name + "\n");
        ASSERT_NE(at, std::string::npos) << name;
        const auto line = listed.rfind('\n', at);  // npos on the first line
        if (std::string_view(name) == "b.txt") b_number = listed.substr(line + 1, at - (line + 1));
    }
    EXPECT_EQ(listed.substr(listed.find("Choisissez")), "Choisissez une histoire (1-3) : \n" + no_story);
    EXPECT_EQ(listed.find("\n4. "), std::string::npos);

    const ProgramRun chosen = run("0\n4\nabc\n" + b_number + "\nn\nn\n");
    const std::string invalid = "Choix invalide. Veuillez réessayer : ";
    EXPECT_NE(chosen.out.find("(1-3) : " + invalid + invalid + invalid + greeting("b") + new_game("b.txt")),
              std::string::npos);
    EXPECT_EQ(chosen.status, 0);
}

TEST_F(EndToEnd, FailedStartsExitWithStatusOne) {
    std::string hundred_and_one;
    for (int i = 0; i < 101; ++i) hundred_and_one += "# Section\n";
    const std::string prompt = "Choisissez une histoire (1-1) : ";
    struct Case {
        const char* name;  // the one file in stories/, or none at all
        std::string content;
        std::string after_banner;
    } cases[] = {
        {nullptr, "", "Erreur : Impossible d'ouvrir le répertoire des histoires.\n" + no_story},
        {"conte.txt_save.json", "3\n", "Aucune histoire disponible.\n" + no_story},
        {"vide.txt", "", "1. vide.txt\n" + prompt + load_failed},
        {"long.txt", hundred_and_one, "1. long.txt\n" + prompt + "Erreur : Trop de sections dans le fichier.\n" + load_failed},
    };
    for (const Case& c : cases) {
        fs::remove_all(stories);
        if (c.name != nullptr) {
            fs::create_directory(stories);
            story(c.name, c.content);
        }
        const ProgramRun result = run("1\n");
        EXPECT_EQ(result.out, select_banner + c.after_banner) << c.after_banner;
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "");
    }
}

TEST_F(EndToEnd, SaveThenResumeInASecondRunAndPlayToTheEnding) {
    // An accented name: file names are UTF-8 on every system, whatever the Windows code page.
    story("légende.txt",
          "# Section\n[Choix]\nEntrer -> Section : 1\n\n"
          "# Section\n[Narration]\nSalle.\n[/Narration]\n[Choix]\nSortir -> Section : 2\n\n" + ending_story);
    const auto menu = [](const std::string& option) {
        return "\n--- Vos Choix  ---\n\033[32m1. " + option + " \033[0m\n\033[33m2. Consulter l'inventaire\033[0m\n" +
               "\033[33m3. Sauvegarder la partie\033[0m\nVotre choix : ";
    };
    const std::string saved = "Partie sauvegardée avec succès dans ./stories/légende.txt_save.json.\n";
    const std::string start = select_banner + "1. légende.txt\n" + "Choisissez une histoire (1-1) : " + greeting("légende");

    const ProgramRun first = run("1\n1\n3\n");  // save in section 1, then the keys run out
    EXPECT_EQ(first.out, start + new_game("légende.txt") + "\n\n" + menu("Entrer") + "Salle. \n\n" + menu("Sortir") + saved +
                             menu("Sortir") + "\n" + "\n=== GAME OVER ===\n" + replay +
                             "\nMerci d'avoir joué ./stories/légende.txt !\n");
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(read_file(stories / path_from_utf8("légende.txt_save.json")), "1" + text_line_end);

    const ProgramRun second = run("1\n1\nn\nn\n");
    EXPECT_EQ(second.out, start + "Sauvegarde chargée pour ./stories/légende.txt. Reprise à la section 1.\n" +
                              "Salle. \n\n" + menu("Sortir") + "Fin. \n\n" + "\n=== Fin de l'histoire ===\n" + "Fin. \n" +
                              captured(display_game_over_ascii) + replay + goodbye("légende.txt"));
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.err, "");
}

}  // namespace
