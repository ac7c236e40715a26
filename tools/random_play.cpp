#include "random_play.hpp"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <ostream>
#include <streambuf>
#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "console.hpp"
#include "game_engine.hpp"
#include "story_graph.hpp"
#include "wording.hpp"

namespace {

// At a menu, one answer in this many is the inventory or the save entry
// (never twice in a row, so that every menu ends with an option).
constexpr std::uint64_t extra_entry_odds = 10;

// The answer at the replay question: anything but "o" means no.
constexpr std::string_view replay_answer = "n\n";

// Where the report keeps the record of each place an error happens, so that
// the report's map is searched once per place and not at every occurrence:
// a loop can meet the same error on every turn.
class ErrorSlots {
public:
    explicit ErrorSlots(RandomPlayReport& report) : report_(report) {}

    ErrorRecord& at(const ErrorPlace& place) {
        const auto kind = static_cast<std::size_t>(place.kind);
        const auto section = static_cast<std::size_t>(place.section);
        const auto index = static_cast<std::size_t>(place.index);
        const bool has_slot =
            kind < kinds && place.section >= 0 && section < max_sections && place.index >= 0 && index < per_section;
        if (!has_slot) return report_.errors[place];
        ErrorRecord*& slot = slots_[(kind * max_sections + section) * per_section + index];
        if (slot == nullptr) slot = &report_.errors[place];  // a map's records stay where they are
        return *slot;
    }

private:
    static constexpr std::size_t kinds = 3;  // the RandomErrorKind values; a later one is looked up in the map
    static constexpr std::size_t per_section = std::max<std::size_t>(max_section_items, max_choices);

    RandomPlayReport& report_;
    std::vector<ErrorRecord*> slots_ = std::vector<ErrorRecord*>(kinds * max_sections * per_section, nullptr);
};

// The player of one playthrough: the engine reads its keys from this
// buffer, which makes up the answer to the prompt the engine announced last,
// and the engine's events tell it where the game stands and what went wrong.
class RandomPlayer final : public std::streambuf, public PlayObserver {
public:
    RandomPlayer(std::uint64_t seed, RandomPlayReport& report, ErrorSlots& errors)
        : generator_(seed), seed_(seed), report_(report), errors_(errors) {}

    void on_event(const PlayEvent& event) override {
        switch (event.kind) {
            case PlayEventKind::section_entered:
                ++report_.section_visits[static_cast<std::size_t>(event.section)];
                ++report_.sections_entered;
                recent_[entered_++ % recent_.size()] = event.section;
                extra_used_ = false;
                return;
            case PlayEventKind::choice_menu:
                at_menu_ = true;
                menu_ = MenuNumbers{event.index};
                return;
            case PlayEventKind::story_menu:  // random play starts past the story menu
            case PlayEventKind::ending_replay:
            case PlayEventKind::game_replay:
                at_menu_ = false;
                return;
            case PlayEventKind::choice_picked:
                ++report_.option_picks[static_cast<std::size_t>(event.section)][static_cast<std::size_t>(event.index)];
                ++choices_;
                last_choice_ = {event.section, event.index};
                return;
            case PlayEventKind::item_missing:
                note_error({RandomErrorKind::item_missing, event.section, event.index});
                return;
            case PlayEventKind::inventory_full:
                note_error({RandomErrorKind::inventory_full, event.section, event.index});
                return;
            case PlayEventKind::section_missing:
                note_error({RandomErrorKind::section_missing, last_choice_.first, last_choice_.second})
                    .missing_section = event.section;
                return;
        }
    }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        if (ended_) return traits_type::eof();
        if (!at_menu_) {
            answer_ = replay_answer;
        } else if (choices_ >= max_choices_per_playthrough) {
            // The input ends: the engine ends the playthrough cleanly.
            ended_ = true;
            note_loop();
            return traits_type::eof();
        } else {
            const int key = next_menu_key();
            keys_.push_back(key);
            answer_ = std::to_string(key) + "\n";
        }
        setg(answer_.data(), answer_.data(), answer_.data() + answer_.size());
        return traits_type::to_int_type(*gptr());
    }

private:
    int next_menu_key() {
        const MenuNumbers menu = menu_;
        if (!extra_used_ && draw_below(generator_, extra_entry_odds) == 0) {
            extra_used_ = true;
            // One of the entries past the options, whichever the menu has.
            const auto extras = static_cast<std::uint64_t>(menu.last() - menu.options);
            return menu.options + 1 + static_cast<int>(draw_below(generator_, extras));
        }
        extra_used_ = false;
        return 1 + static_cast<int>(draw_below(generator_, static_cast<std::uint64_t>(menu.options)));
    }

    void note_loop() {
        ++report_.loops;
        const std::size_t kept = std::min(entered_, recent_.size());
        std::vector<int> entered(kept);
        for (std::size_t i = 0; i < kept; ++i) entered[i] = recent_[(entered_ - kept + i) % recent_.size()];
        LoopRecord& record = report_.cycles[last_cycle(entered)];
        if (record.count++ == 0) record.first_seed = seed_;
    }

    ErrorRecord& note_error(const ErrorPlace& place) {
        ErrorRecord& record = errors_.at(place);
        if (record.count++ == 0) {
            record.first_seed = seed_;
            record.first_keys = keys_;
        }
        return record;
    }

    std::mt19937_64 generator_;
    std::uint64_t seed_;
    RandomPlayReport& report_;
    ErrorSlots& errors_;
    bool at_menu_ = false;  // the prompt announced last is a choice menu, numbered as menu_
    MenuNumbers menu_;
    bool extra_used_ = false;  // the inventory or save entry answered this menu last
    bool ended_ = false;
    int choices_ = 0;
    std::pair<int, int> last_choice_{-1, -1};
    // The last sections entered, a ring: a cycle enters each of its sections
    // once, so this many visits hold the last one.
    std::array<int, max_sections + 1> recent_{};
    std::size_t entered_ = 0;
    std::vector<int> keys_;
    std::string answer_;
};

}  // namespace

std::uint64_t draw_below(std::mt19937_64& generator, std::uint64_t bound) {
    // 2^64 mod bound: the draws below it are the ones that would make the
    // low results more likely, so they are thrown back.
    const std::uint64_t unfair = (0 - bound) % bound;
    for (;;) {
        const std::uint64_t draw = generator();
        if (draw >= unfair) return draw % bound;
    }
}

std::vector<int> last_cycle(std::span<const int> entered) {
    std::vector<bool> seen(max_sections, false);
    for (std::size_t at = entered.size(); at-- > 0;) {
        const auto id = static_cast<std::size_t>(entered[at]);
        if (!seen[id]) {
            seen[id] = true;
            continue;
        }
        // entered[at] comes back later; the sections up to that return are
        // each entered once.
        const auto start = entered.begin() + static_cast<std::ptrdiff_t>(at);
        std::vector<int> cycle(start, std::find(start + 1, entered.end(), *start));
        std::rotate(cycle.begin(), std::min_element(cycle.begin(), cycle.end()), cycle.end());
        cycle.push_back(cycle.front());
        return cycle;
    }
    return {};
}

RandomPlayReport play_at_random(const SectionTable& sections, int section_count, std::string_view story_path,
                                std::uint64_t seed, int playthroughs, const RandomPlayBounds& bounds) {
    RandomPlayReport report;
    report.seed = seed;
    report.asked = playthroughs;
    report.section_budget = bounds.section_budget;
    report.section_visits.assign(static_cast<std::size_t>(section_count), 0);
    report.option_picks.assign(static_cast<std::size_t>(section_count), {});
    ErrorSlots errors(report);
    DiscardingBuffer discard;
    std::ostream out(&discard);
    for (; report.playthroughs < playthroughs; ++report.playthroughs) {
        if (bounds.between_playthroughs) bounds.between_playthroughs(report);
        if (bounds.interrupted != nullptr && bounds.interrupted->load()) {
            report.end = RandomPlayEnd::interrupted;
            break;
        }
        if (report.sections_entered >= bounds.section_budget) {
            report.end = RandomPlayEnd::budget_spent;
            break;
        }
        RandomPlayer player(seed + static_cast<std::uint64_t>(report.playthroughs), report, errors);
        std::istream in(&player);
        // Nobody reads the texts: each is written in one piece.
        const InMemoryGame game(in, out, 0, &player, Typing::at_once);
        start_game(sections, section_count, story_path);
    }
    return report;
}

namespace {

std::string first_time(const ErrorRecord& record) {
    return ", " + count_of(record.count, "fois", "") + " ; la première avec la graine " +
           std::to_string(record.first_seed) + " et les choix " + format_keys(record.first_keys);
}

std::string option_name(int section, int index) {
    return "choix " + std::to_string(index + 1) + " de la section " + std::to_string(section);
}

struct ReportLine {
    int line;
    std::string text;
};

void add_coverage(const PlayableStory& story, const RandomPlayReport& report, std::vector<ReportLine>& lines) {
    for (int id = 0; id < story.section_count; ++id) {
        const auto at = static_cast<std::size_t>(id);
        const long long visits = report.section_visits[at];
        lines.push_back({story.lines.header[at], "section " + std::to_string(id) + " : " +
                                                     (visits > 0 ? "atteinte " + count_of(visits, "fois", "")
                                                                 : std::string("jamais atteinte"))});
        const Section& section = section_at(*story.sections, id);
        const int options = menu_numbers(section).options;
        for (int c = 0; c < options; ++c) {
            const long long picks = report.option_picks[at][static_cast<std::size_t>(c)];
            lines.push_back({story.lines.choice[at][static_cast<std::size_t>(c)],
                             option_name(id, c) + " : " +
                                 (picks > 0 ? "pris " + count_of(picks, "fois", "") : std::string("jamais pris"))});
        }
    }
}

void add_errors(const PlayableStory& story, const RandomPlayReport& report, std::vector<ReportLine>& lines) {
    for (const auto& [place, record] : report.errors) {
        const auto at = static_cast<std::size_t>(place.section);
        const auto index = static_cast<std::size_t>(place.index);
        if (place.kind == RandomErrorKind::section_missing) {
            lines.push_back({story.lines.choice[at][index],
                             "erreur : le " + option_name(place.section, place.index) + " mène à la section " +
                                 std::to_string(record.missing_section) + ", qui n'existe pas" + first_time(record)});
            continue;
        }
        const std::string item = exact_quote(section_at(*story.sections, place.section).items[index].name.view());
        const std::string what = place.kind == RandomErrorKind::item_missing
                                     ? "l'objet " + item + " n'est pas dans l'inventaire quand cette ligne le retire"
                                     : "inventaire plein : l'objet " + item + " n'est pas ajouté";
        lines.push_back({story.lines.item[at][index], "erreur : " + what + first_time(record)});
    }
}

// "sections 3 → 5 → 3", or "section 2 → 2" for a section that leads back to itself.
std::string cycle_name(const std::vector<int>& cycle) {
    return (cycle.size() > 2 ? "sections " : "section ") + format_path(cycle);
}

// One line per loop, at the header of its first section.
void add_loops(const PlayableStory& story, const RandomPlayReport& report, std::vector<ReportLine>& lines) {
    const std::vector<bool> can_end = sections_that_can_end(*story.sections, story.section_count);
    for (const auto& [cycle, record] : report.cycles) {
        const std::string stopped = count_of(record.count, "partie") + " arrêtée" + (record.count > 1 ? "s" : "") +
                                    " après " + std::to_string(max_choices_per_playthrough) +
                                    " choix, la première avec la graine " + std::to_string(record.first_seed);
        // A stopped playthrough entered more sections than the story has,
        // so its last cycle is never empty; still, nothing is read past it.
        if (cycle.empty()) continue;
        const auto first = static_cast<std::size_t>(cycle.front());
        const char* what = can_end[first] ? "boucle : " : "boucle sans issue : ";
        lines.push_back({story.lines.header[first], what + cycle_name(cycle) + ", " + stopped});
    }
}

// "jouée", "jouées": a participle agreeing with a count of parties.
std::string agreed(std::string_view participle, long long count) {
    return std::string(participle) + (count > 1 ? "s" : "");
}

// What a run that ended early did not play, and how to play it.
std::string unplayed(const RandomPlayReport& report) {
    const int left = report.asked - report.playthroughs;
    const std::string why = report.end == RandomPlayEnd::interrupted
                                ? std::string("interrompu (Ctrl-C)")
                                : "arrêt après " + std::to_string(report.sections_entered) +
                                      " sections jouées (plafond : " + std::to_string(report.section_budget) + ")";
    const std::uint64_t next_seed = report.seed + static_cast<std::uint64_t>(report.playthroughs);
    return why + " : " + count_of(report.playthroughs, "partie") + " " + agreed("jouée", report.playthroughs) +
           " sur " + std::to_string(report.asked) + " " + agreed("demandée", report.asked) + ", " +
           std::to_string(left) + " non " + agreed("jouée", left) + " (pour " + (left > 1 ? "les" : "la") +
           " jouer : --hasard " + std::to_string(left) + " --graine " + std::to_string(next_seed) + ")";
}

}  // namespace

int print_random_report(std::ostream& out, const PlayableStory& story, const RandomPlayReport& report) {
    out << story.file << ": " << count_of(report.playthroughs, "partie") << " au hasard, graine " << report.seed
        << '\n';
    std::vector<ReportLine> lines;
    add_coverage(story, report, lines);
    add_errors(story, report, lines);
    add_loops(story, report, lines);
    std::stable_sort(lines.begin(), lines.end(), [](const ReportLine& a, const ReportLine& b) { return a.line < b.line; });
    for (const ReportLine& line : lines) out << story.file << ':' << line.line << ": " << line.text << '\n';

    const auto never_reached = std::count(report.section_visits.begin(), report.section_visits.end(), 0LL);
    long long never_picked = 0;
    for (int id = 0; id < story.section_count; ++id) {
        const auto& picks = report.option_picks[static_cast<std::size_t>(id)];
        const int options = menu_numbers(section_at(*story.sections, id)).options;
        never_picked += std::count(picks.begin(), picks.begin() + options, 0LL);
    }
    out << story.file << ": " << count_of(never_reached, "section") << " jamais atteinte" << (never_reached > 1 ? "s" : "")
        << ", " << never_picked << " choix jamais pris, " << count_of(static_cast<long long>(report.errors.size()), "erreur")
        << ", " << count_of(report.loops, "boucle") << '\n';
    if (report.end != RandomPlayEnd::all_played) out << story.file << ": " << unplayed(report) << '\n';
    // A report on fewer playthroughs than asked for is not a clean bill.
    const bool clean = report.errors.empty() && report.loops == 0 && report.end == RandomPlayEnd::all_played;
    return clean ? status_clean : status_warnings;
}

namespace {

std::atomic<bool> interrupt_asked{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void ask_interrupt(int) {
    interrupt_asked = true;
    std::signal(SIGINT, SIG_DFL);  // a second Ctrl-C stops at once
}

// For as long as it lives, Ctrl-C asks the run to end: the playthrough under
// way plays on to its end and the report tells what was played. Where
// Ctrl-C was ignored, it still is.
class InterruptGuard {
public:
    InterruptGuard() {
        interrupt_asked = false;
        previous_ = std::signal(SIGINT, ask_interrupt);
        if (previous_ == SIG_IGN) std::signal(SIGINT, SIG_IGN);
    }
    ~InterruptGuard() { std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    using Handler = void (*)(int);
    Handler previous_;
};

bool standard_error_is_a_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

// How far a run has got, on one line of the author's terminal rewritten in
// place, at most every tenth of a second and not before the first tenth;
// wiped when it goes, so that only the report stays.
class ProgressLine {
public:
    explicit ProgressLine(std::ostream& err) : err_(err) {}
    ~ProgressLine() {
        if (width_ > 0) err_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void show(const RandomPlayReport& so_far) {
        const Clock::time_point now = Clock::now();
        if (now < next_) return;
        next_ = now + interval;
        const long long percent = std::min(100 * so_far.sections_entered / std::max(so_far.section_budget, 1LL), 100LL);
        const std::string line = "orlimar-check --hasard : " + count_of(so_far.playthroughs, "partie") + " sur " +
                                 std::to_string(so_far.asked) + ", " + std::to_string(percent) +
                                 " % du plafond de sections (Ctrl-C arrête et donne le bilan)";
        err_ << '\r' << line << std::flush;
        width_ = std::max(width_, line.size());
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds interval{100};

    std::ostream& err_;
    Clock::time_point next_ = Clock::now() + interval;
    std::size_t width_ = 0;
};

RandomPlayReport play_watched(const PlayableStory& story, std::uint64_t seed, int playthroughs, std::ostream& err) {
    const InterruptGuard interrupt;
    RandomPlayBounds bounds;
    bounds.interrupted = &interrupt_asked;
    std::optional<ProgressLine> progress;
    if (&err == &std::cerr && standard_error_is_a_terminal()) {
        progress.emplace(err);
        bounds.between_playthroughs = [&progress](const RandomPlayReport& so_far) { progress->show(so_far); };
    }
    return play_at_random(*story.sections, story.section_count, story.story_path, seed, playthroughs, bounds);
}

}  // namespace

int random_mode(const std::string& file, int playthroughs, std::optional<std::uint64_t> seed, std::ostream& out,
                std::ostream& err) {
    const PlayableStory story = load_playable_story(file);
    if (story.section_count == 0) return report_unplayable(story, err);
    if (!seed) {
        std::random_device entropy;
        seed = (static_cast<std::uint64_t>(entropy()) << 32) ^ entropy();
    }
    const RandomPlayReport report = play_watched(story, *seed, playthroughs, err);
    return print_random_report(out, story, report);
}
