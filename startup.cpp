#include "startup.hpp"

#include <ostream>
#include <sstream>
#include <utility>

#include "console.hpp"
#include "game_engine.hpp"

bool StoriesFolder::choose(StoryPath& story_path) { return select_story(story_path); }

ShelvedStory StoriesFolder::load(const StoryPath& story_path) {
    sections_ = std::make_unique<SectionTable>();
    return {sections_.get(), load_story(story_path, *sections_)};
}

StoriesInMemory::StoriesInMemory(std::vector<StoryFile> stories) : stories_(std::move(stories)) {
    for (const StoryFile& story : stories_) names_.push_back(story.name);
}

bool StoriesInMemory::choose(StoryPath& story_path) { return select_story(names_, story_path); }

ShelvedStory StoriesInMemory::load(const StoryPath& story_path) {
    sections_ = std::make_unique<SectionTable>();
    for (const StoryFile& story : stories_) {
        StoryPath path;
        path.assign(story_path_for(story.name));
        if (path.view() != story_path.view()) continue;
        std::istringstream in(story.bytes);
        return {sections_.get(), load_story(in, story_path, *sections_)};
    }
    return {sections_.get(), 0};
}

int play_loaded_story(const ShelvedStory& story, std::string_view story_path) {
    welcome_player(story_path);
    start_game(*story.sections, story.section_count, story_path);
    console_out().flush();
    return output_lost() ? 1 : 0;
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
