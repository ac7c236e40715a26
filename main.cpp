// Orlimar: pick a story from ./stories, load it and play it.
#include <memory>
#include <ostream>

#include "console.hpp"
#include "game_engine.hpp"
#include "story.hpp"

int main() {
    // UTF-8 console, and on a terminal the typing behaviour; the terminal
    // is given back as found at every return below.
    const ConsoleSession console;
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
