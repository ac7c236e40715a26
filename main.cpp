// Orlimar: pick a story from ./stories, load it and play it.
#include <memory>
#include <ostream>

#include "console.hpp"
#include "game_engine.hpp"
#include "story.hpp"

#ifdef _WIN32
// Some C++ libraries (MinGW-w64's libstdc++) already define these.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {

constexpr int utf8_code_page = 65001;

// Stories and messages are UTF-8. Terminals elsewhere already speak it; the
// Windows console must be told. Without a console (output to a pipe) the
// calls fail, which does not matter.
void use_utf8_console() {
#ifdef _WIN32
    SetConsoleOutputCP(utf8_code_page);
    SetConsoleCP(utf8_code_page);
#else
    (void)utf8_code_page;
#endif
}

}  // namespace

int main() {
    use_utf8_console();
    std::ostream& out = console_out();

    StoryPath selected_file;
    if (!select_story(selected_file)) {
        out << "Erreur : Aucune histoire sélectionnée. Le programme va quitter.\n";
        return 1;
    }

    // The table is large: it lives on the heap for the whole run.
    const auto sections = std::make_unique<SectionTable>();
    const int section_count = load_story(selected_file, *sections);
    if (section_count == 0) {
        out << "Erreur : Impossible de charger l'histoire. Vérifiez le fichier sélectionné.\n";
        return 1;
    }

    welcome_player(selected_file);
    start_game(*sections, section_count, selected_file);
    return 0;
}
