// Recordings where golden cases cannot look: files damaged in every way a
// file can be, the format read back as written, how the story is named from
// the recording's folder, a checkout that turned line ends into CR LF, and
// the edges of comparing two outputs. What --rejouer prints on sound
// recordings is in golden/check-replay*.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "check_command.hpp"
#include "replay.hpp"
#include "support.hpp"

namespace {

const std::string heading = "Partie enregistrée par orlimar-check (orlimar-check --rejouer la rejoue)\n";
const std::string fields = heading + "histoire : a.txt\ndépart : nouvelle partie\ncouleurs : oui\n";

struct DamagedRecording {
    const char* name;
    std::string text;
    int line;
    std::string problem;
};

TEST(Recordings, DamagedFilesAreRefusedWithTheLineAndWhy) {
    const std::vector<DamagedRecording> cases = {
        {"empty", "", 0, "ce n'est pas une partie enregistrée par orlimar-check"},
        {"binary", std::string("\x7f" "ELF\x02\x01\x01\0\0\n\xff\xfe", 13), 0,
         "ce n'est pas une partie enregistrée par orlimar-check"},
        {"a story file", "# Section 0\n[Fin]\n", 0, "ce n'est pas une partie enregistrée par orlimar-check"},
        {"heading alone", heading, 2, "fichier tronqué : « histoire : … » manque"},
        {"heading without its line end", heading.substr(0, heading.size() - 1), 0,
         "ce n'est pas une partie enregistrée par orlimar-check"},
        {"no story named", heading + "histoire : \n", 2, "le nom de l'histoire manque"},
        {"unknown start", heading + "histoire : a.txt\ndépart : la fin\n", 3,
         "départ inconnu « la fin » : « menu des histoires », « nouvelle partie » ou « section N » attendu"},
        {"start past any story", heading + "histoire : a.txt\ndépart : section 100\n", 3,
         "départ inconnu « section 100 » : « menu des histoires », « nouvelle partie » ou « section N » attendu"},
        {"colours neither", heading + "histoire : a.txt\ndépart : nouvelle partie\ncouleurs : rouge\n", 4,
         "« couleurs : oui » ou « couleurs : non » attendu"},
        {"no keys", fields + "sortie : 0 octet\n", 5, "« touches : … » attendu, pas « sortie : 0 octet »"},
        {"keys cut short", fields + "touches : 3 lignes\n1\n", 7,
         "fichier tronqué : les touches annoncées font 3 lignes, le fichier en a 1"},
        {"key count out of range", fields + "touches : 99999999999999999999999 lignes\n", 5,
         "« touches : N lignes » attendu, pas « touches : 99999999999999999999999 lignes »"},
        {"key count misspelt", fields + "touches : 2 ligne\n", 5, "« touches : N lignes » attendu, pas « touches : 2 ligne »"},
        {"no output field", fields + "touches : 1 ligne\n1\n", 7, "fichier tronqué : « sortie : … » manque"},
        {"output cut short", fields + "touches : 0 ligne\nsortie : 10 octets\nabc", 7,
         "fichier tronqué : la sortie annoncée fait 10 octets, le fichier en a 3"},
        {"bytes past the output", fields + "touches : 0 ligne\nsortie : 1 octet\nabc", 7,
         "la sortie annoncée fait 1 octet, le fichier en a 3"},
    };
    for (const DamagedRecording& damaged : cases) {
        const ReadRecording read = parse_recording(damaged.text);
        EXPECT_FALSE(read.recording.has_value()) << damaged.name;
        EXPECT_EQ(read.problem_line, damaged.line) << damaged.name;
        EXPECT_EQ(read.problem, damaged.problem) << damaged.name;
    }
}

TEST(Recordings, ReadBackAsWrittenWhateverTheStartAndTheBytes) {
    const std::vector<Recording> cases = {
        {"../stories/a.txt", {true, 0}, true, "1\n2\nn\n", "\033[32m1. A\033[0m\nsortie : 3 octets\n"},
        {"/tmp/é t.txt", {false, 0}, false, "", ""},
        {"a.txt", {false, 7}, true, "x\r\n\n\n", std::string("sans fin\0 de ligne", 18)},
    };
    for (const Recording& recording : cases) {
        const ReadRecording read = parse_recording(format_recording(recording));
        ASSERT_TRUE(read.recording.has_value()) << recording.story << ": " << read.problem;
        EXPECT_EQ(read.recording->story, recording.story);
        EXPECT_EQ(read.recording->start.story_menu, recording.start.story_menu);
        EXPECT_EQ(read.recording->start.section, recording.start.section);
        EXPECT_EQ(read.recording->colours, recording.colours);
        EXPECT_EQ(read.recording->keys, recording.keys);
        EXPECT_EQ(read.recording->output, recording.output);
        EXPECT_EQ(read.output_line, 7 + static_cast<int>(std::count(recording.keys.begin(), recording.keys.end(), '\n')));
    }
    // Keys the player left without a line end are kept as a whole line.
    const Recording unfinished{"a.txt", {}, true, "1\n2", ""};
    EXPECT_EQ(parse_recording(format_recording(unfinished)).recording->keys, "1\n2\n");
}

TEST(Recordings, NameTheStoryFromTheirFolder) {
    EXPECT_EQ(story_reference("stories/a.txt", "parties/p.txt"), "../stories/a.txt");
    EXPECT_EQ(story_reference("a.txt", "p.txt"), "a.txt");
    EXPECT_EQ(story_reference("stories/./a.txt", "stories/p.txt"), "a.txt");
    const std::string absolute = (std::filesystem::temp_directory_path() / "a.txt").generic_string();
    EXPECT_EQ(story_reference(absolute, "parties/p.txt"), absolute);
}

// A recording whose line ends a Windows checkout turned into CR LF replays
// as written; its story is found from its own folder.
TEST(Recordings, ReplayAfterACheckoutToCrLfLineEnds) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "stories");
    dir.write("stories/a.txt", "# Section 0\n[Narration]\nUn pont.\n[/Narration]\n[Fin]\n");
    std::istringstream keys("n\n");
    std::ostringstream out, err;
    const std::string recording = (dir.path() / "p.txt").string();
    ASSERT_EQ(run_check_command(std::vector<std::string>{"--jouer", (dir.path() / "stories/a.txt").string(),
                                                         "--sans-couleur", "--enregistrer", recording},
                                keys, out, err),
              0)
        << err.str();
    std::string crlf;
    for (const char c : read_file(recording)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    dir.write("p.txt", crlf);
    std::istringstream none;
    std::ostringstream report;
    EXPECT_EQ(run_check_command(std::vector<std::string>{"--rejouer", recording}, none, report, err), 0) << report.str();
    const std::string shown = out.str();
    const auto lines = std::count(shown.begin(), shown.end(), '\n');
    EXPECT_EQ(report.str(), recording + ": sortie inchangée (" + std::to_string(lines) + " lignes)\n");
}

// A recording that cannot be written is known before the author plays.
TEST(Recordings, AnUnwritableRecordingStopsPlayBeforeItStarts) {
    TempDir dir;
    const std::string story = dir.write("a.txt", "# Section 0\n[Fin]\n");
    const std::string recording = (dir.path() / "absent" / "p.txt").string();
    std::istringstream keys("n\n");
    std::ostringstream out, err;
    EXPECT_EQ(run_check_command(std::vector<std::string>{"--jouer", story, "--enregistrer", recording}, keys, out, err), 2);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "orlimar-check : impossible d'écrire « " + recording + " »\n");
}

struct OutputPair {
    const char* name;
    std::string before, now;
    int line;  // 0: the same
    std::string shown_before, shown_now;
};

TEST(Recordings, FirstDifferenceIsTheFirstLineThatChanged) {
    const std::vector<OutputPair> cases = {
        {"same", "a\nb\n", "a\nb\n", 0, "", ""},
        {"both empty", "", "", 0, "", ""},
        {"a changed line", "a\nb\nc\n", "a\nB\nc\n", 2, "« b »", "« B »"},
        {"a line more", "a\n", "a\nb\n", 2, "(fin de la sortie)", "« b »"},
        {"a line fewer", "a\nb\n", "a\n", 2, "« b »", "(fin de la sortie)"},
        {"only the line end", "a", "a\n", 1, "« a » sans fin de ligne", "« a »"},
        {"a colour", "\033[32m1. A\033[0m\n", "\033[31m1. A\033[0m\n", 1, "« \\033[32m1. A\\033[0m »",
         "« \\033[31m1. A\\033[0m »"},
        {"a carriage return", "a\n", "a\r\n", 1, "« a »", "« a\\015 »"},
    };
    for (const OutputPair& pair : cases) {
        const std::optional<OutputDifference> difference = first_difference(pair.before, pair.now);
        if (pair.line == 0) {
            EXPECT_FALSE(difference.has_value()) << pair.name;
            continue;
        }
        ASSERT_TRUE(difference.has_value()) << pair.name;
        EXPECT_EQ(difference->line, pair.line) << pair.name;
        EXPECT_EQ(difference->before, pair.shown_before) << pair.name;
        EXPECT_EQ(difference->now, pair.shown_now) << pair.name;
    }
}

}  // namespace
