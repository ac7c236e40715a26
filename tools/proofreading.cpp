#include "proofreading.hpp"

#include <algorithm>
#include <ostream>

#include "play_session.hpp"
#include "text_excerpt.hpp"
#include "wording.hpp"

namespace {

void add_text(std::vector<ReadableText>& texts, int line, std::string_view text) {
    std::string shown = readable(text);
    if (!shown.empty()) texts.push_back({line, std::move(shown)});
}

void add_section(std::vector<ReadableText>& texts, const Section& section, const StoryPlaces& places) {
    const auto at = static_cast<std::size_t>(section.id);
    const std::size_t first = texts.size();
    // The narration's text starts on the line after its marker.
    add_text(texts, places.narration[at] + 1, section.narration);
    const std::span<const Item> items = section_items(section);
    for (std::size_t i = 0; i < items.size(); ++i) add_text(texts, places.item[at][i], items[i].name);
    const std::span<const Dialogue> dialogues = section_dialogues(section);
    for (std::size_t d = 0; d < dialogues.size(); ++d) {
        add_text(texts, places.dialogue[at][d], dialogues[d].character);
        add_text(texts, places.dialogue[at][d], dialogues[d].text);
    }
    const std::span<const Choice> options = section_options(section);
    for (std::size_t c = 0; c < options.size(); ++c) add_text(texts, places.choice[at][c], options[c].text);
    // File order within the section; a speaker stays before what they say.
    std::stable_sort(texts.begin() + static_cast<std::ptrdiff_t>(first), texts.end(),
                     [](const ReadableText& a, const ReadableText& b) { return a.line < b.line; });
}

}  // namespace

std::string readable(std::string_view text) {
    std::string flat(text);
    std::replace_if(flat.begin(), flat.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return valid_utf8(trim_blanks(flat));
}

std::vector<ReadableText> readable_texts(const SectionTable& sections, int section_count, const StoryPlaces& places) {
    std::vector<ReadableText> texts;
    const int count = loaded_count(section_count);
    for (int id = 0; id < count; ++id) add_section(texts, section_at(sections, id), places);
    return texts;
}

int proofreading_mode(const std::string& file, std::ostream& out, std::ostream& err) {
    const PlayableStory story = load_playable_story(file);
    if (story.section_count == 0) return report_unplayable(story, err);
    for (const ReadableText& text : readable_texts(*story.sections, story.section_count, story.lines)) {
        out << text.line << '\t' << text.text << '\n';
    }
    return status_clean;
}
