#include "startup.hpp"

#include <ostream>

#include "console.hpp"
#include "game_engine.hpp"

bool StoriesFolder::choose(StoryPath& story_path) { return select_story(story_path); }

ShelvedStory StoriesFolder::load(const StoryPath& story_path) {
    sections_ = std::make_unique<SectionTable>();
    return {sections_.get(), load_story(story_path, *sections_)};
}

int play_loaded_story(const ShelvedStory& story, std::string_view story_path) {
    welcome_player(story_path);
    start_game(*story.sections, story.section_count, story_path);
    return 0;
}

int run_program(StoryShelf& shelf) {
    std::ostream& out = console_out();
    StoryPath story_path;
    if (!shelf.choose(story_path)) {
        out << "Erreur : Aucune histoire sélectionnée. Le programme va quitter.\n";
        return 1;
    }
    const ShelvedStory story = shelf.load(story_path);
    if (story.section_count == 0) {
        out << "Erreur : Impossible de charger l'histoire. Vérifiez le fichier sélectionné.\n";
        return 1;
    }
    return play_loaded_story(story, story_path);
}
