// The play modes of orlimar-check: walkthroughs and what the engine does
// along them, random playthroughs and their report, play by hand with the
// save in memory, and the command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "check_command.hpp"
#include "game_engine.hpp"
#include "random_play.hpp"
#include "support.hpp"
#include "walkthrough.hpp"

namespace fs = std::filesystem;

namespace {

struct Outcome { int status; std::string out, err; };

Outcome command(const std::vector<std::string>& args, const std::string& keys = {}) {
    std::istringstream in(keys);
    std::ostringstream out, err;
    const int status = run_check_command(args, in, out, err);
    return {status, out.str(), err.str()};
}

std::vector<std::string> files_in(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
}

// Remembers the sections the engine enters and the options it is given.
class Trail final : public PlayObserver {
public:
    void on_event(const PlayEvent& event) override {
        if (event.kind == PlayEventKind::section_entered) entered.push_back(event.section);
        if (event.kind == PlayEventKind::choice_picked) picked.emplace_back(event.section, event.index);
    }
    std::vector<int> entered;
    std::vector<std::pair<int, int>> picked;
};

const std::string crossroads =  // line numbers matter below
    "# Section 0\n"                 // 1
    "[Choix]\n"                     // 2
    "Long -> Section : 1\n"         // 3
    "Court -> Section : 2\n"        // 4
    "Court aussi -> Section : 2\n"  // 5
    "\n"                            // 6
    "# Section 1\n"                 // 7
    "[Choix]\n"                     // 8
    "Suite -> Section : 2\n"        // 9
    "Partir -> Section : -1\n"      // 10
    "\n"                            // 11
    "# Section 2\n"                 // 12
    "[Choix]\n"                     // 13
    "Descendre -> Section : 3\n"    // 14
    "Partir -> Section : -1\n"      // 15
    "\n"                            // 16
    "# Section 3\n"                 // 17
    "[Fin]\n"                       // 18
    "# Section 4\n"                 // 19
    "[Choix]\n"                     // 20
    "Fuir -> Section : -1\n"        // 21
    "\n"                            // 22
    "# Section 5\n";                // 23

TEST(Walkthroughs, ShortestThenSmallestKeysToEveryEndingInLineOrder) {
    TempDir dir;
    const Outcome walked = command({"--parcours", dir.write("conte.txt", crossroads)});
    const std::string file = (dir.path() / "conte.txt").string();
    EXPECT_EQ(walked.status, 0);
    EXPECT_EQ(walked.out,
              file + ":10: fin : -1 atteint par le choix 2 de la section 1 avec les choix « 1 2 » (0 → 1 → -1)\n" +
              file + ":15: fin : -1 atteint par le choix 2 de la section 2 avec les choix « 2 2 » (0 → 2 → -1)\n" +
              file + ":17: fin : section 3 atteinte avec les choix « 2 1 » (0 → 2 → 3)\n" +
              file + ":21: fin : choix 1 de la section 4 vers -1 inaccessible\n" +
              file + ":23: fin : section 5 inaccessible\n");
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"conte.txt"});
}

TEST(Walkthroughs, KeysPlayedThroughTheEngineReachTheEndingTheyName) {
    std::vector<std::string> stories;
    for (const auto& entry : fs::directory_iterator(ORLIMAR_SAMPLE_STORIES)) stories.push_back(entry.path().string());
    TempDir dir;
    stories.push_back(dir.write("conte.txt", crossroads));
    for (const std::string& file : stories) {
        const PlayableStory story = load_playable_story(file);
        ASSERT_GT(story.section_count, 0) << file;
        for (const Ending& ending : find_endings(*story.sections, story.section_count, story.lines)) {
            if (!ending.reachable) continue;
            Trail trail;
            const PlayObserverOverride observing(trail);
            const std::string text = transcript(story, ending.keys);
            std::vector<int> passed = ending.sections;
            if (ending.kind == EndingKind::end_option) {
                passed.pop_back();  // -1
                ASSERT_FALSE(trail.picked.empty());
                EXPECT_EQ(trail.picked.back(), std::pair(ending.section, ending.option)) << file << ":" << ending.line;
            }
            EXPECT_EQ(trail.entered, passed) << file << ":" << ending.line;
            const bool ending_screen = text.find("=== Fin de l'histoire ===") != std::string::npos;
            EXPECT_EQ(ending_screen, ending.kind == EndingKind::ending_screen) << file << ":" << ending.line;
            EXPECT_TRUE(text.ends_with("Merci d'avoir joué ./stories/" + story.file_name + " !\n"));
        }
    }
}

TEST(Walkthroughs, PlainTranscriptsLoseColourEscapesOnly) {
    EXPECT_EQ(without_colours("\033[32m1. A\033[0m\n\033[1;31mx\033[m \033[ab\033["), "1. A\nx \033[ab\033[");
}

// Section 0 gains a key and offers three ways; section 1 loses the key
// twice; section 2 gains pebbles forever; section 7 does not exist.
const std::string trap =
    "# Section 0\n\"clé\"\n[Choix]\nEntrer -> Section : 1\nCailloux -> Section : 2\nSauter -> Section : 7\n\n"
    "# Section 1\n<clé>\n<clé>\n[Choix]\nSortir -> Section : -1\n\n"
    "# Section 2\n\"caillou\"\n\"caillou\"\n\"caillou\"\n\"caillou\"\n\"caillou\"\n"
    "\"caillou\"\n\"caillou\"\n\"caillou\"\n\"caillou\"\n\"caillou\"\n[Choix]\nEncore -> Section : 2\n\n";

TEST(RandomPlay, DrawsAreFairAndBelowTheirBound) {
    std::mt19937_64 generator(7);
    EXPECT_EQ(draw_below(generator, 1), 0u);
    std::vector<int> counts(6);
    for (int i = 0; i < 6000; ++i) ++counts[draw_below(generator, 6)];
    for (const int count : counts) EXPECT_NEAR(count, 1000, 150);
}

TEST(RandomPlay, ErrorsComeFromTheEngineAndEachPlaythroughFromItsOwnSeed) {
    TempDir dir;
    const PlayableStory story = load_playable_story(dir.write("piege.txt", trap));
    const RandomPlayReport report = play_at_random(*story.sections, story.section_count, story.story_path, 5, 20);
    ASSERT_EQ(report.errors.size(), 12u);  // the second <clé>, the way to 7 and the ten pebble lines
    const ErrorRecord& lost = report.errors.at({RandomErrorKind::item_missing, 1, 1});
    const ErrorRecord& nowhere = report.errors.at({RandomErrorKind::section_missing, 0, 2});
    EXPECT_EQ(nowhere.missing_section, 7);
    EXPECT_TRUE(report.errors.contains({RandomErrorKind::inventory_full, 2, 9}));
    // Every playthrough that takes the pebbles loops until it is stopped.
    EXPECT_EQ(report.loops, report.option_picks[0][1]);
    EXPECT_EQ(report.section_visits[2], report.loops * max_choices_per_playthrough);
    EXPECT_EQ(lost.count + nowhere.count + report.loops, 20);

    // A playthrough alone, from the seed the report gives, does the same.
    const RandomPlayReport alone =
        play_at_random(*story.sections, story.section_count, story.story_path, lost.first_seed, 1);
    const ErrorRecord& again = alone.errors.at({RandomErrorKind::item_missing, 1, 1});
    EXPECT_EQ(again.first_keys, lost.first_keys);
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"piege.txt"});
}

TEST(RandomPlay, SeedIsDrawnAndPrintedWhenNotGiven) {
    TempDir dir;
    const Outcome run = command({dir.write("a.txt", "# Section 0\n[Fin]\n"), "--hasard", "3"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with((dir.path() / "a.txt").string() + ": 3 parties au hasard, graine ")) << run.out;
}

TEST(PlayMode, SavesOnlyInMemoryAndChecksTheStartingSection) {
    TempDir dir;
    const std::string file = dir.write("conte.txt", crossroads);
    // Save in section 1, leave, play again: the game resumes where it was saved.
    const Outcome played = command({"--depuis", "1", file, "--jouer"}, "4\n2\no\n2\nn\n");
    EXPECT_EQ(played.status, 0);
    EXPECT_NE(played.out.find("Votre choix : (essai) rien n'est écrit : reprise à la section 1.\n\n--- Vos Choix"),
              std::string::npos);
    EXPECT_NE(played.out.find("rejouer ? (o/n) : Sauvegarde chargée pour ./stories/conte.txt. Reprise à la section 1."),
              std::string::npos);
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{"conte.txt"});

    const Outcome outside = command({"--jouer", file, "--depuis", "6"});
    EXPECT_EQ(outside.status, 2);
    EXPECT_EQ(outside.err, "orlimar-check : --depuis 6 : cette section n'existe pas (0 à 5)\n");
    EXPECT_EQ(outside.out, "");
}

TEST(CheckCommandLine, AnswersHelpAndVersionAndRefusesMisuse) {
    const Outcome version = command({"--jouer", "--version"});
    EXPECT_EQ(std::tie(version.status, version.out), std::tuple(0, std::string("orlimar-check 1.0\n")));
    const Outcome help = command({"a.txt", "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* mode : {"--dot", "--jouer", "--depuis", "--parcours", "--transcription", "--sans-couleur",
                             "--hasard", "--graine", "--version"}) {
        EXPECT_NE(help.out.find(mode), std::string::npos) << mode;
    }
    using Args = std::vector<std::string>;
    for (const Args& args : std::vector<Args>{
             {"--jouer"}, {"--jouer", "a", "b"}, {"--jouer", "--parcours", "a"}, {"--parcours", "--parcours", "a"},
             {"--depuis", "2", "a"}, {"--jouer", "a", "--depuis"}, {"--jouer", "a", "--depuis", "x"},
             {"--parcours", "a", "--graine", "1"}, {"--hasard", "a"}, {"--hasard", "0", "a"}, {"--hasard", "10", "a", "--graine", "-1"},
             {"--sans-couleur", "a"}, {"--transcription", "d", "--jouer", "a"}, {"--parcours", "a", "--transcription"}}) {
        const Outcome bad = command(args);
        EXPECT_EQ(bad.status, 2) << args.front();
        EXPECT_TRUE(bad.err.starts_with("orlimar-check : ")) << bad.err;
        EXPECT_NE(bad.err.find("usage : orlimar-check FICHIER..."), std::string::npos);
        EXPECT_EQ(bad.out, "");
    }
}

}  // namespace
