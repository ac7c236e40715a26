#include "walkthrough.hpp"

#include <algorithm>
#include <array>
#include <ostream>
#include <streambuf>
#include <system_error>

#include "console.hpp"
#include "file_path.hpp"
#include "game_engine.hpp"
#include "replay.hpp"

namespace {

// The answers a walkthrough gives besides its keys: the story menu lists
// the story alone, and each replay question is declined.
constexpr std::string_view menu_answer = "1\n";
constexpr std::string_view replay_answer = "n\n";

// The player of a walkthrough: answers the prompt the engine announced last,
// each choice menu with the walkthrough's next key. When the keys run out
// the input ends, as it would for a player who stopped typing.
class WalkthroughPlayer final : public std::streambuf, public PlayObserver {
public:
    WalkthroughPlayer(std::span<const int> keys, PlayObserver* also) : keys_(keys), also_(also) {}

    void on_event(const PlayEvent& event) override {
        if (also_ != nullptr) also_->on_event(event);
        switch (event.kind) {
            case PlayEventKind::story_menu:
                answer_ = menu_answer;
                break;
            case PlayEventKind::choice_menu:
                answer_ = next_ < keys_.size() ? std::to_string(keys_[next_++]) + "\n" : std::string();
                break;
            case PlayEventKind::ending_replay:
            case PlayEventKind::game_replay:
                answer_ = replay_answer;
                break;
            case PlayEventKind::section_entered:
            case PlayEventKind::choice_picked:
            case PlayEventKind::item_missing:
            case PlayEventKind::inventory_full:
            case PlayEventKind::section_missing:
                return;
        }
        setg(answer_.data(), answer_.data(), answer_.data() + answer_.size());
    }

protected:
    int_type underflow() override {
        return gptr() < egptr() ? traits_type::to_int_type(*gptr()) : traits_type::eof();
    }

private:
    std::span<const int> keys_;
    PlayObserver* also_;
    std::size_t next_ = 0;
    std::string answer_;
};


// How the breadth-first search first reached a section.
struct Route {
    bool reached = false;
    int from = -1;  // the section before it
    int key = 0;    // the number typed there
};

// Sections are taken in the order they were reached and their options in
// menu order, so the first route to a section is a shortest one, and among
// those the one with the smallest keys.
std::vector<Route> shortest_routes(const SectionTable& sections, int section_count) {
    std::vector<Route> routes(static_cast<std::size_t>(section_count));
    std::vector<int> queue{0};
    routes[0].reached = true;
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const int id = queue[next];
        const Section& section = section_at(sections, id);
        const std::span<const Choice> options = section_options(section);
        for (int c = 0; c < static_cast<int>(options.size()); ++c) {
            const int target = options[static_cast<std::size_t>(c)].next_section_id;
            if (!is_loaded_section(target, section_count)) continue;
            Route& route = routes[static_cast<std::size_t>(target)];
            if (route.reached) continue;
            route = {true, id, c + 1};
            queue.push_back(target);
        }
    }
    return routes;
}

// Fills the keys and sections of the walk from section 0 to `id`.
void walk_to(const std::vector<Route>& routes, int id, Ending& ending) {
    for (int at = id; at >= 0; at = routes[static_cast<std::size_t>(at)].from) {
        ending.sections.push_back(at);
        if (at != 0) ending.keys.push_back(routes[static_cast<std::size_t>(at)].key);
    }
    std::reverse(ending.sections.begin(), ending.sections.end());
    std::reverse(ending.keys.begin(), ending.keys.end());
}

std::string walk_description(const Ending& ending) {
    return "avec les choix " + format_keys(ending.keys) + " (" + format_path(ending.sections) + ")";
}

}  // namespace

std::vector<Ending> find_endings(const SectionTable& sections, int section_count, const StoryLines& lines) {
    std::vector<Ending> endings;
    const int count = loaded_count(section_count);
    if (count == 0) return endings;
    const std::vector<Route> routes = shortest_routes(sections, count);
    for (int id = 0; id < count; ++id) {
        const auto at = static_cast<std::size_t>(id);
        const Section& section = section_at(sections, id);
        const bool reached = routes[at].reached;
        const SectionEnd how = section_end(section);
        if (how != SectionEnd::choice_menu) {
            Ending ending;
            ending.kind = how == SectionEnd::ending_screen ? EndingKind::ending_screen : EndingKind::no_choices;
            ending.line = lines.header[at];
            ending.section = id;
            ending.reachable = reached;
            if (reached) walk_to(routes, id, ending);
            endings.push_back(std::move(ending));
            continue;
        }
        const std::span<const Choice> options = section_options(section);
        for (int c = 0; c < static_cast<int>(options.size()); ++c) {
            if (options[static_cast<std::size_t>(c)].next_section_id != end_section_id) continue;
            Ending ending;
            ending.kind = EndingKind::end_option;
            ending.line = lines.choice[at][static_cast<std::size_t>(c)];
            ending.section = id;
            ending.option = c;
            ending.reachable = reached;
            if (reached) {
                walk_to(routes, id, ending);
                ending.keys.push_back(c + 1);
                ending.sections.push_back(end_section_id);
            }
            endings.push_back(std::move(ending));
        }
    }
    std::stable_sort(endings.begin(), endings.end(), [](const Ending& a, const Ending& b) { return a.line < b.line; });
    return endings;
}

std::string describe_ending(const Ending& ending) {
    const std::string section = "section " + std::to_string(ending.section);
    if (ending.kind == EndingKind::end_option) {
        const std::string option = "choix " + std::to_string(ending.option + 1) + " de la " + section;
        if (!ending.reachable) return "fin : " + option + " vers -1 inaccessible";
        return "fin : -1 atteint par le " + option + " " + walk_description(ending);
    }
    if (!ending.reachable) return "fin : " + section + " inaccessible";
    std::string text = "fin : " + section + " atteinte " + walk_description(ending);
    if (ending.kind == EndingKind::no_choices) text += ", sans écran de fin";
    return text;
}

Transcript transcript(const PlayableStory& story, std::span<const int> keys, PlayObserver* also) {
    WalkthroughPlayer player(keys, also);
    std::istream in(&player);
    DiscardingBuffer discard;
    std::ostream out(&discard);
    SessionTap tap(in, out);
    play_in_memory(story, PlayStart{true, 0}, tap.in(), tap.out(), &player);
    return {tap.keys(), tap.output()};
}

int walkthrough_mode(const std::string& file, const WalkthroughOptions& options, std::ostream& out,
                     std::ostream& err) {
    const PlayableStory story = load_playable_story(file);
    if (story.section_count == 0) return report_unplayable(story, err);
    if (options.transcripts) {
        std::error_code error;
        std::filesystem::create_directories(path_from_utf8(*options.transcripts), error);
        if (error) {
            err << "orlimar-check : impossible de créer le dossier « " << *options.transcripts << " »\n";
            return status_errors;
        }
    }
    int status = status_clean;
    for (const Ending& ending : find_endings(*story.sections, story.section_count, story.lines)) {
        out << file << ':' << ending.line << ": " << describe_ending(ending) << '\n';
        if (!options.transcripts || !ending.reachable) continue;
        const std::string path = utf8_from_path(path_from_utf8(*options.transcripts) /
                                                ("fin-" + std::to_string(ending.line) + ".txt"));
        const Transcript played = transcript(story, ending.keys);
        const Recording recording{story_reference(file, path), PlayStart{true, 0}, !options.plain, played.keys,
                                  options.plain ? without_colours(played.output) : played.output};
        if (!write_recording(path_from_utf8(path), recording)) status = report_unwritable(path, err);
    }
    return status;
}
