#include "story_stats.hpp"

#include <algorithm>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>

#include "console.hpp"
#include "game_engine.hpp"
#include "inventor.hpp"
#include "stats_report.hpp"
#include "text_excerpt.hpp"

namespace {

using Milliseconds = std::chrono::milliseconds;

// Time gone on the clock of the pacer in use since `start`. The in-memory
// game's pacer never waits: its clock jumps to each deadline, so what it
// shows gone is what a player would have waited.
Milliseconds typed_since(Pacer::Clock::time_point start) {
    return std::chrono::duration_cast<Milliseconds>(console_pacer().now() - start);
}

// What the player waits while section `id` is played once: the engine types
// its narration, its spoken lines and, on an ending screen, the narration
// again. No key is given, so its menu or its replay question ends at once.
Milliseconds section_typing(const PlayableStory& story, int id) {
    std::istringstream no_keys;
    DiscardingBuffer discard;
    std::ostream out(&discard);
    const InMemoryGame game(no_keys, out);
    Inventory inventory;
    const Pacer::Clock::time_point start = console_pacer().now();
    play_section(section_at(*story.sections, id), inventory, id, story.story_path);
    return typed_since(start);
}

// Reads the typing clock of a whole walkthrough: from the story menu to the
// game's replay question, once the playthrough is over.
class WalkthroughClock final : public PlayObserver {
public:
    void on_event(const PlayEvent& event) override {
        if (event.kind == PlayEventKind::story_menu) start_ = console_pacer().now();
        if (event.kind == PlayEventKind::game_replay && !typed_) typed_ = typed_since(start_);
    }
    [[nodiscard]] Milliseconds typed() const { return typed_.value_or(Milliseconds{0}); }

private:
    Pacer::Clock::time_point start_{};
    std::optional<Milliseconds> typed_;
};

Milliseconds walkthrough_typing(const PlayableStory& story, const Ending& ending) {
    WalkthroughClock clock;
    transcript(story, ending.keys, &clock);
    return clock.typed();
}

SectionStats figures_of(const Section& section, int line) {
    SectionStats stats;
    stats.section = section.id;
    stats.line = line;
    if (!section.narration.empty()) stats.narration.add(section.narration);
    for (const Dialogue& dialogue : section_dialogues(section)) stats.speech.add(dialogue.text);
    for (const Choice& choice : section_options(section)) stats.options.add(choice.text);
    return stats;
}

}  // namespace

void TextFigures::add(std::string_view text) {
    ++texts;
    words += count_words(text);
    bytes += text.size();
    longest = std::max(longest, text.size());
}

void TextFigures::add(const TextFigures& other) {
    texts += other.texts;
    words += other.words;
    bytes += other.bytes;
    longest = std::max(longest, other.longest);
}

StoryStats story_stats(const PlayableStory& story) {
    StoryStats stats;
    const int count = loaded_count(story.section_count);
    for (int id = 0; id < count; ++id) {
        const int header_line = story.lines.header[static_cast<std::size_t>(id)];
        SectionStats section = figures_of(section_at(*story.sections, id), header_line);
        section.typing = section_typing(story, id);
        stats.total.narration.add(section.narration);
        stats.total.speech.add(section.speech);
        stats.total.options.add(section.options);
        stats.total.typing += section.typing;
        stats.sections.push_back(section);
    }
    for (Ending& ending : find_endings(*story.sections, story.section_count, story.lines)) {
        const Milliseconds typing = ending.reachable ? walkthrough_typing(story, ending) : Milliseconds{0};
        stats.endings.push_back({std::move(ending), typing});
    }
    return stats;
}

int stats_mode(const std::string& file, StatsFormat format, std::ostream& out, std::ostream& err) {
    const PlayableStory story = load_playable_story(file);
    if (story.section_count == 0) return report_unplayable(story, err);
    const StoryStats stats = story_stats(story);
    if (format == StatsFormat::json) {
        write_stats_json(out, file, stats);
    } else {
        write_stats_text(out, file, stats);
    }
    return status_clean;
}
