#include "story_check.hpp"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <unordered_set>
#include <utility>

#include "console.hpp"
#include "decimal.hpp"
#include "game_engine.hpp"
#include "inventor.hpp"
#include "near_miss.hpp"
#include "text_excerpt.hpp"
#include "wording.hpp"
#include "load_notes.hpp"
#include "story_analysis.hpp"

namespace {

// Runs `load` (one of the loader's entry points) with the loader's own
// messages to the player kept out of the way: the diagnostics say the same,
// for the author.
template <typename Load>
int load_quietly(Load load) {
    std::ostringstream messages_to_the_player;
    Console quiet = current_console();
    quiet.out = &messages_to_the_player;
    const ConsoleOverride guard(quiet);
    return load();
}

// Loads with a listener, then runs every check.
template <typename Load>
CheckedStory check_loaded(Load load) {
    CheckedStory checked;
    NoticeCollector collector(*checked.sections);
    checked.section_count = load_quietly([&] { return load(*checked.sections, &collector); });
    checked.diagnostics = describe_notices(collector);
    const bool refused = has_notice(collector, LoadNoticeKind::file_unopenable) ||
                         has_notice(collector, LoadNoticeKind::too_many_sections);
    if (checked.section_count == 0 && !refused) {
        checked.diagnostics.push_back(error_at(0, "aucun en-tête « # Section » : le jeu refuse de charger l'histoire"));
    }
    check_header_numbers(collector, checked.section_count, checked.diagnostics);
    std::vector<Diagnostic> analysis = analyse_story(*checked.sections, checked.section_count, collector.lines);
    checked.diagnostics.insert(checked.diagnostics.end(), std::make_move_iterator(analysis.begin()),
                               std::make_move_iterator(analysis.end()));
    sort_and_merge(checked.diagnostics);
    return checked;
}

}  // namespace

CheckedStory check_story(std::istream& in, std::string_view name) {
    return check_loaded([&](SectionTable& sections, LoadListener* listener) {
        return load_story(in, name, sections, listener);
    });
}

int load_story_lines(const std::string& path, SectionTable& sections, StoryPlaces& lines) {
    NoticeCollector collector(sections);
    const int section_count = load_quietly([&] { return load_story(path, sections, &collector); });
    lines = collector.lines;
    return section_count;
}

CheckedStory check_story_file(const std::string& path) {
    return check_loaded([&](SectionTable& sections, LoadListener* listener) {
        return load_story(path, sections, listener);
    });
}
