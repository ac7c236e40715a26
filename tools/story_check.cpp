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

// Loads with a listener, then runs every check.
template <typename Load>
CheckedStory check_loaded(Load load, const CheckBounds& bounds) {
    CheckedStory checked;
    NoticeCollector collector(*checked.sections, bounds.examined_lines);
    const LoadResult result = load(*checked.sections, &collector);
    checked.section_count = result.section_count;
    checked.places = collector.lines;
    checked.diagnostics = describe_notices(collector);
    if (result.failure == LoadFailure::no_header) {
        checked.diagnostics.push_back(error_at(0, "aucun en-tête « # Section » : le jeu refuse de charger l'histoire"));
    }
    check_header_numbers(collector, checked.section_count, checked.diagnostics);
    std::vector<Diagnostic> analysis = analyse_story(*checked.sections, checked.section_count, collector.lines, bounds.item_states);
    checked.diagnostics.insert(checked.diagnostics.end(), std::make_move_iterator(analysis.begin()),
                               std::make_move_iterator(analysis.end()));
    sort_and_merge(checked.diagnostics);
    return checked;
}

}  // namespace

// The name only matters to the game's own message, which the checker does
// not print: its diagnostics say the same for the author.
CheckedStory check_story(std::istream& in, std::string_view /*name*/, const CheckBounds& bounds) {
    return check_loaded([&](SectionTable& sections, LoadListener* listener) { return read_story(in, sections, listener); },
                        bounds);
}

int load_story_lines(const std::string& path, SectionTable& sections, StoryPlaces& places) {
    PlaceCollector collector;
    const int section_count = read_story_file(path, sections, &collector).section_count;
    places = collector.lines;
    return section_count;
}

CheckedStory check_story_file(const std::string& path, const CheckBounds& bounds) {
    return check_loaded(
        [&](SectionTable& sections, LoadListener* listener) { return read_story_file(path, sections, listener); },
        bounds);
}
