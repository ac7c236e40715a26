#include "story_stats.hpp"

#include <algorithm>
#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <span>
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

// Reads the typing clock along a walkthrough: at each choice menu, keyed by
// the keys typed before it, and at the game's replay question, once the
// playthrough is over.
class WalkthroughClock final : public PlayObserver {
public:
    WalkthroughClock(std::span<const int> keys, std::map<std::vector<int>, Milliseconds>& at_menus)
        : keys_(keys), at_menus_(at_menus) {}

    void on_event(const PlayEvent& event) override {
        if (event.kind == PlayEventKind::story_menu) start_ = console_pacer().now();
        if (event.kind == PlayEventKind::choice_menu && menus_ <= keys_.size()) {
            const std::span<const int> typed = keys_.first(menus_++);
            at_menus_.try_emplace(std::vector<int>(typed.begin(), typed.end()), typed_since(start_));
        }
        if (event.kind == PlayEventKind::game_replay && !typed_) typed_ = typed_since(start_);
    }
    [[nodiscard]] Milliseconds typed() const { return typed_.value_or(Milliseconds{0}); }

private:
    std::span<const int> keys_;
    std::map<std::vector<int>, Milliseconds>& at_menus_;
    std::size_t menus_ = 0;  // choice menus met so far
    Pacer::Clock::time_point start_{};
    std::optional<Milliseconds> typed_;
};

// What the player waits along each ending's walkthrough, from the story menu
// to the replay question. An option that ends the game types nothing more
// once picked, so its wait is the one up to its section's menu; and every
// walkthrough that starts with the same keys waits the same up to there. The
// game is therefore played once per ending screen and once per end option
// whose menu no walkthrough played so far went through: along a chain of 99
// sections with four end options each, 1 playthrough instead of 396.
std::vector<Milliseconds> walkthrough_typings(const PlayableStory& story, const std::vector<Ending>& endings) {
    std::vector<Milliseconds> typings(endings.size(), Milliseconds{0});
    std::map<std::vector<int>, Milliseconds> at_menus;
    const auto play = [&](const Ending& ending) {
        WalkthroughClock clock(ending.keys, at_menus);
        transcript(story, ending.keys, &clock);
        return clock.typed();
    };
    std::vector<std::size_t> end_options;
    for (std::size_t e = 0; e < endings.size(); ++e) {
        if (!endings[e].reachable) continue;
        if (endings[e].kind == EndingKind::end_option) {
            end_options.push_back(e);
        } else {
            typings[e] = play(endings[e]);
        }
    }
    // The longest first, so that their menus serve the shorter ones.
    std::stable_sort(end_options.begin(), end_options.end(),
                     [&](std::size_t a, std::size_t b) { return endings[a].keys.size() > endings[b].keys.size(); });
    for (const std::size_t e : end_options) {
        const std::vector<int>& keys = endings[e].keys;
        const std::vector<int> to_menu(keys.begin(), keys.end() - 1);
        auto found = at_menus.find(to_menu);
        if (found == at_menus.end()) {
            typings[e] = play(endings[e]);
        } else {
            typings[e] = found->second;
        }
    }
    return typings;
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
    std::vector<Ending> endings = find_endings(*story.sections, story.section_count, story.lines);
    const std::vector<Milliseconds> typings = walkthrough_typings(story, endings);
    for (std::size_t e = 0; e < endings.size(); ++e) stats.endings.push_back({std::move(endings[e]), typings[e]});
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
