// The play modes of orlimar-check where golden cases cannot look: the
// engine's own trail along each walkthrough of the sample stories, the
// colour filter's edges, fair draws, a drawn seed and the command line's
// misuses. What the modes print is in golden/check-*.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "check_command.hpp"
#include "game_engine.hpp"
#include "play_session.hpp"
#include "random_play.hpp"
#include "support.hpp"
#include "walkthrough.hpp"

namespace {

struct Outcome { int status; std::string out, err; };

Outcome command(const std::vector<std::string>& args) {
    std::istringstream in;
    std::ostringstream out, err;
    const int status = run_check_command(args, in, out, err);
    return {status, out.str(), err.str()};
}

// Remembers the sections the engine enters, the options it is given and the
// prompts it announces.
class Trail final : public PlayObserver {
public:
    void on_event(const PlayEvent& event) override {
        if (event.kind == PlayEventKind::story_menu) story_menus.push_back(event.index);
        if (event.kind == PlayEventKind::section_entered) entered.push_back(event.section);
        if (event.kind == PlayEventKind::choice_picked) picked.emplace_back(event.section, event.index);
        if (event.kind == PlayEventKind::choice_menu) menus.emplace_back(event.section, event.index);
        if (event.kind == PlayEventKind::ending_replay || event.kind == PlayEventKind::game_replay) {
            replays.push_back(event.kind);
        }
    }
    std::vector<int> story_menus;  // how many stories each story menu listed
    std::vector<int> entered;
    std::vector<std::pair<int, int>> picked;
    std::vector<std::pair<int, int>> menus;  // section, options
    std::vector<PlayEventKind> replays;
};

TEST(Walkthroughs, KeysPlayedThroughTheEngineReachTheEndingTheyName) {
    for (const auto& entry : std::filesystem::directory_iterator(ORLIMAR_SAMPLE_STORIES)) {
        const PlayableStory story = load_playable_story(entry.path().string());
        ASSERT_GT(story.section_count, 0) << story.file;
        for (const Ending& ending : find_endings(*story.sections, story.section_count, story.lines)) {
            if (!ending.reachable) continue;
            SCOPED_TRACE(story.file + ":" + std::to_string(ending.line));
            Trail trail;
            const std::string text = transcript(story, ending.keys, &trail).output;
            std::vector<int> passed = ending.sections;
            if (ending.kind == EndingKind::end_option) {
                passed.pop_back();  // -1
                ASSERT_FALSE(trail.picked.empty());
                EXPECT_EQ(trail.picked.back(), std::pair(ending.section, ending.option));
            }
            EXPECT_EQ(trail.story_menus, std::vector{1});
            EXPECT_EQ(trail.entered, passed);
            // One choice menu announced per key, with the numbers of the
            // section it belongs to, then the replay questions.
            ASSERT_EQ(trail.menus.size(), ending.keys.size());
            for (std::size_t i = 0; i < trail.menus.size(); ++i) {
                const int id = ending.sections[i];
                EXPECT_EQ(trail.menus[i], std::pair(id, menu_numbers(section_at(*story.sections, id)).options));
            }
            const bool ending_screen = text.find("=== Fin de l'histoire ===") != std::string::npos;
            EXPECT_EQ(ending_screen, ending.kind == EndingKind::ending_screen);
            using enum PlayEventKind;
            const std::vector<PlayEventKind> replays =
                ending_screen ? std::vector{ending_replay, game_replay} : std::vector{game_replay};
            EXPECT_EQ(trail.replays, replays);
            EXPECT_TRUE(text.ends_with("Merci d'avoir joué ./stories/" + story.file_name + " !\n"));
        }
    }
}

TEST(Walkthroughs, PlainTranscriptsLoseColourEscapesOnly) {
    EXPECT_EQ(without_colours("\033[32m1. A\033[0m\n\033[1;31mx\033[m \033[ab\033["), "1. A\nx \033[ab\033[");
}

// The live filter of --jouer --sans-couleur, written in any three pieces
// with a flush after each, gives what without_colours gives the whole, and
// holds nothing back at a flush but an escape that may still become a code.
TEST(ColourFilter, AnyPiecesFilterAsTheWholeAndOnlyAnOpenEscapeWaits) {
    const std::string text = "\033[32m1. A\033[0m\n\033[1;31mx\033[m \033[ab\033[3";
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        for (std::size_t second = cut; second <= text.size(); ++second) {
            std::ostringstream shown;
            {
                ColourFilter filter(shown);
                std::ostream out(&filter);
                out << text.substr(0, cut) << std::flush << text.substr(cut, second - cut) << std::flush;
                out << text.substr(second);
            }
            ASSERT_EQ(shown.str(), without_colours(text)) << cut << ' ' << second;
        }
    }
    std::ostringstream shown;
    ColourFilter filter(shown);
    std::ostream out(&filter);
    out << "\033[33mVotre choix : " << std::flush;
    EXPECT_EQ(shown.str(), "Votre choix : ");
    out << "\033[3" << std::flush;
    EXPECT_EQ(shown.str(), "Votre choix : ");
    out << "1mx" << std::flush;
    EXPECT_EQ(shown.str(), "Votre choix : x");
}

// The author's screen: what reached it, and how many times it was flushed
// (on a real output, one system call each).
struct Screen final : std::streambuf {
    int_type overflow(int_type c) override { return text += traits_type::to_char_type(c), c; }
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        text.append(bytes, static_cast<std::size_t>(count));
        return count;
    }
    int sync() override { return ++flushes, 0; }
    std::string text;
    int flushes = 0;
};

// Keys handed to a game one byte at a time. At every read it notes which
// pacer the game types with and whether the prompt waiting for that key has
// reached the screen.
class WatchedKeys final : public std::streambuf {
public:
    WatchedKeys(std::string keys, const Screen& screen) : keys_(std::move(keys)), screen_(screen) {}
    int reads = 0;
    int reads_with_a_waiting_pacer = 0;
    int reads_before_the_prompt_showed = 0;

protected:
    int_type underflow() override {
        if (next_ == keys_.size()) return traits_type::eof();
        ++reads;
        if (dynamic_cast<InstantPacer*>(&console_pacer()) == nullptr) ++reads_with_a_waiting_pacer;
        if (!screen_.text.ends_with("Votre choix : ")) ++reads_before_the_prompt_showed;
        key_ = keys_[next_++];
        setg(&key_, &key_, &key_ + 1);
        return traits_type::to_int_type(key_);
    }

private:
    std::string keys_;
    std::size_t next_ = 0;
    char key_ = 0;
    const Screen& screen_;
};

// --jouer types at no pace at all, and the author sees each menu before the
// game waits for its answer, in one write per answer and not one per byte.
TEST(PlayMode, TypesWithoutPausesAndShowsEachPromptBeforeItsKeyInOneWrite) {
    TempDir dir;
    const std::string story =
        dir.write("ronde.txt", "# Section 0\n[Narration]\nUne ronde.\n[/Narration]\n[Choix]\nTourner -> Section : 0\n");
    Screen screen;
    std::ostream out(&screen);
    WatchedKeys keys(repeat("1\n", 20), screen);
    std::istream in(&keys);
    std::ostringstream err;
    EXPECT_EQ(play_mode(story, {}, in, out, err), 0);
    EXPECT_EQ(keys.reads, 40);
    EXPECT_EQ(keys.reads_with_a_waiting_pacer, 0);
    EXPECT_EQ(keys.reads_before_the_prompt_showed, 0);
    EXPECT_LE(screen.flushes, keys.reads + 1);
    EXPECT_TRUE(screen.text.ends_with("Merci d'avoir joué ./stories/ronde.txt !\n"));
}

TEST(RandomPlay, DrawsAreFairAndBelowTheirBound) {
    std::mt19937_64 generator(7);
    EXPECT_EQ(draw_below(generator, 1), 0u);
    std::vector<int> counts(6);
    for (int i = 0; i < 6000; ++i) ++counts[draw_below(generator, 6)];
    for (const int count : counts) EXPECT_NEAR(count, 1000, 150);
    // With a bound of 3 * 2^62, a plain `% bound` gives the lowest third of
    // the results half the time; a fair draw, a third of the time.
    constexpr std::uint64_t bound = std::uint64_t{3} << 62;
    int low = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::uint64_t draw = draw_below(generator, bound);
        ASSERT_LT(draw, bound);
        low += draw < bound / 3 ? 1 : 0;
    }
    EXPECT_NEAR(low, 1000, 150);
}

TEST(RandomPlay, SeedIsDrawnAndPrintedWhenNotGiven) {
    TempDir dir;
    const Outcome run = command({dir.write("a.txt", "# Section 0\n[Fin]\n"), "--hasard", "3"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with((dir.path() / "a.txt").string() + ": 3 parties au hasard, graine ")) << run.out;
}

// A run that ends before every game asked for (the section budget spent,
// or Ctrl-C) says so last on its report: how many were played, and how to
// play the rest. Its status never reads as a clean bill.
TEST(RandomPlay, RunCutShortTellsWhatWasNotPlayed) {
    TempDir dir;
    const PlayableStory story = load_playable_story(
        dir.write("a.txt", "# Section 0\n[Choix]\nEntrer -> Section : 1\n\n# Section 1\n[Fin]\n"));
    struct Case {
        long long budget;
        int interrupt_after;  // games, or -1
        std::string header, last;
    };
    const std::string file = story.file + ": ";
    for (const Case& cut : {
             Case{5, -1, "3 parties au hasard, graine 5",
                  "arrêt après 6 sections jouées (plafond : 5) : 3 parties jouées sur 10 demandées, 7 non jouées "
                  "(pour les jouer : --hasard 7 --graine 8)"},
             Case{1000, 9, "9 parties au hasard, graine 5",
                  "interrompu (Ctrl-C) : 9 parties jouées sur 10 demandées, 1 non jouée "
                  "(pour la jouer : --hasard 1 --graine 14)"},
             Case{1000, 0, "0 partie au hasard, graine 5",
                  "interrompu (Ctrl-C) : 0 partie jouée sur 10 demandées, 10 non jouées "
                  "(pour les jouer : --hasard 10 --graine 5)"},
         }) {
        std::atomic<bool> interrupted{false};
        RandomPlayBounds bounds{cut.budget, &interrupted, [&](const RandomPlayReport& so_far) {
                                    if (so_far.playthroughs == cut.interrupt_after) interrupted = true;
                                }};
        const RandomPlayReport report =
            play_at_random(*story.sections, story.section_count, story.story_path, 5, 10, bounds);
        std::ostringstream out;
        EXPECT_EQ(print_random_report(out, story, report), 1) << cut.last;
        const std::string text = out.str();
        EXPECT_TRUE(text.starts_with(file + cut.header + "\n")) << text;
        EXPECT_TRUE(text.ends_with("\n" + file + cut.last + "\n")) << text;
    }
}

// --help and --version answer wherever they come; any other misuse prints
// the usage and nothing on standard output.
// A report that cannot be written (a full disk, a closed output) ends in a
// message and status 2, in every mode, whatever the mode found.
TEST(CheckCommandLine, UnwritableOutputIsAFailure) {
    struct FullDisk final : std::streambuf {
        int overflow(int) override { return traits_type::eof(); }
    } full;
    const std::string story = std::string(ORLIMAR_SAMPLE_STORIES) + "/le_phare.txt";
    using Args = std::vector<std::string>;
    for (const Args& args : {Args{story}, Args{"--dot", story}, Args{"--stats", story}, Args{"--relecture", story},
                             Args{"--parcours", story}, Args{"--hasard", "3", story}, Args{"--help"}}) {
        std::ostream out(&full);
        std::ostringstream err;
        std::istringstream keys;
        EXPECT_EQ(run_check_command(args, keys, out, err), 2) << args.front();
        EXPECT_NE(err.str().find("impossible d'écrire la sortie"), std::string::npos) << args.front();
    }
}

TEST(CheckCommandLine, AnswersHelpAndVersionAnywhereAndRefusesMisuse) {
    const Outcome version = command({"--jouer", "--version"});
    EXPECT_EQ(std::tie(version.status, version.out), std::tuple(0, std::string("orlimar-check 1.0\n")));
    const Outcome help = command({"a.txt", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Utilisation : orlimar-check FICHIER..."));
    using Args = std::vector<std::string>;
    for (const Args& args : std::vector<Args>{
             {"--dot"}, {"--dot", "a", "b"}, {"--dot", "--dot", "a"}, {"-v", "a"},
             {"--jouer"}, {"--jouer", "a", "b"}, {"--jouer", "--parcours", "a"}, {"--parcours", "--parcours", "a"},
             {"--depuis", "2", "a"}, {"--jouer", "a", "--depuis"}, {"--jouer", "a", "--depuis", "x"},
             {"--parcours", "a", "--graine", "1"}, {"--hasard", "a"}, {"--hasard", "0", "a"}, {"--hasard", "10", "a", "--graine", "-1"},
             {"--sans-couleur", "a"}, {"--transcription", "d", "--jouer", "a"}, {"--parcours", "a", "--transcription"},
             {"--format", "json", "a"}, {"--stats", "a", "--format", "xml"}, {"--stats", "a", "--format"},
             {"--stats", "--relecture", "a"}, {"--relecture", "a", "b"},
             {"--parcours", "a", "--enregistrer", "p"}, {"--jouer", "a", "--enregistrer"}, {"--rejouer"},
             {"--rejouer", "p", "--sans-couleur"}}) {
        const Outcome bad = command(args);
        EXPECT_EQ(bad.status, 2) << args.front();
        EXPECT_TRUE(bad.err.starts_with("orlimar-check : ")) << bad.err;
        EXPECT_NE(bad.err.find("Utilisation : orlimar-check FICHIER..."), std::string::npos);
        EXPECT_EQ(bad.out, "");
    }
    EXPECT_TRUE(command({"--hasard", "3", "a", "--sans-couleur"})
                    .err.starts_with("orlimar-check : --sans-couleur ne s'emploie qu'avec --jouer ou --parcours\n"));
}

}  // namespace
