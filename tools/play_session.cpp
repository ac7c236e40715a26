#include "play_session.hpp"

#include <array>
#include <ostream>

#include "colour.hpp"
#include "console.hpp"
#include "file_path.hpp"
#include "game_engine.hpp"

namespace {

constexpr std::string_view stories_prefix = "./stories/";

}  // namespace

PlayableStory load_playable_story(const std::string& file) {
    PlayableStory story;
    story.file = file;
    story.file_name = utf8_from_path(path_from_utf8(file).filename());
    story.story_path = std::string(stories_prefix) + story.file_name;
    story.section_count = load_story_lines(file, *story.sections, story.lines);
    return story;
}

int report_unplayable(const PlayableStory& story, std::ostream& err) {
    print_diagnostics(err, story.file, check_story_file(story.file).diagnostics);
    return status_errors;
}

int TrialSaveSlot::load(std::string_view) { return section_; }

void TrialSaveSlot::save(std::string_view, int current_section_id) {
    section_ = current_section_id;
    console_out() << "(essai) rien n'est écrit : reprise à la section " << current_section_id << ".\n";
}

std::string without_colours(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const std::size_t skip = colour_code_length(text, at); skip > 0) {
            at += skip;
        } else {
            plain += text[at++];
        }
    }
    return plain;
}

bool OneStoryShelf::choose(StoryPath& story_path) {
    const std::array names{story_.file_name};
    return select_story(names, story_path);
}

ShelvedStory OneStoryShelf::load(const StoryPath&) { return {story_.sections.get(), story_.section_count}; }

InMemoryGame::InMemoryGame(std::istream& keys, std::ostream& out, int resume_at, PlayObserver* observer)
    : slot_(resume_at), console_(Console{&keys, &out, &pacer_}), save_(slot_) {
    if (observer) observer_.emplace(*observer);
}

std::string format_keys(std::span<const int> keys) {
    std::string text = "«";
    for (const int key : keys) text += " " + std::to_string(key);
    return text + " »";
}

int play_mode(const std::string& file, std::optional<int> from, std::istream& in, std::ostream& out,
              std::ostream& err) {
    const PlayableStory story = load_playable_story(file);
    if (story.section_count == 0) return report_unplayable(story, err);
    if (from && (*from < 0 || *from >= story.section_count)) {
        err << "orlimar-check : --depuis " << *from << " : cette section n'existe pas (0 à "
            << story.section_count - 1 << ")\n";
        return status_errors;
    }
    const InMemoryGame game(in, out, from.value_or(0));
    play_loaded_story({story.sections.get(), story.section_count}, story.story_path);
    return status_clean;
}
