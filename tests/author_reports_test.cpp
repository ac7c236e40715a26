// The reports of orlimar-check where golden cases cannot look: how words are
// counted, the engine's typing times against what each section holds, and
// the proofreading list of every sample story against its loaded sections.
// What the modes print is in golden/check-stats* and golden/check-proofreading.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "game_engine.hpp"
#include "proofreading.hpp"
#include "story_stats.hpp"
#include "support.hpp"
#include "text_excerpt.hpp"

namespace {

std::vector<PlayableStory> sample_stories() {
    std::vector<PlayableStory> stories;
    for (const auto& entry : std::filesystem::directory_iterator(ORLIMAR_SAMPLE_STORIES)) {
        stories.push_back(load_playable_story(entry.path().string()));
    }
    return stories;
}

TEST(Words, AreRunsBetweenBlanksThatHoldALetterOrADigit) {
    struct Case {
        const char* name;
        std::string_view text;
        std::size_t words;
    };
    const Case cases[] = {
        {"empty", "", 0},
        {"blanks and line ends", " \t\r\n ", 0},
        {"narration joined with blanks", "Il pleut. Vous attendez. ", 4},
        {"apostrophe and hyphen inside a word", "L'homme — peut-être le gardien — sourit.", 5},
        {"French quotation marks and spaced punctuation", "« Halte ! »", 1},
        {"ellipsis alone", "…", 0},
        {"digits", "Il a 12 ans", 4},
        {"no-break spaces separate", "deux\u00A0mots\u202Fici", 3},
        {"accented capitals", "Élise et Zoé", 3},
        {"consequence marker", "ID_Conséquence : 1", 2},
        {"bytes that are not UTF-8", "\xFF\xFE caf\xC3", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(count_words(c.text), c.words) << c.name;
}

// The engine's clock, read while it plays, against the bytes each section
// holds: narration at its speed, spoken lines at theirs, and the narration
// again on an ending screen. Each walkthrough waits what its sections do,
// also the end options timed on a longer walkthrough through their menu.
TEST(Stats, TypingTimesAreWhatTheEngineTypesAndAddUpAlongEachWalkthrough) {
    using std::chrono::milliseconds;
    const TempDir folder;
    std::vector<PlayableStory> stories = sample_stories();
    stories.push_back(load_playable_story(folder.write(
        "couloir.txt", "# Section 0\n[Narration]\nUn couloir.\n[/Narration]\n[Dialogue]\n- Marie : Avance.\n\n[Choix]\n"
                       "Avancer -> Section : 1\nRenoncer -> Section : -1\n\n# Section 1\n[Narration]\nUne porte.\n"
                       "[/Narration]\n[Choix]\nEntrer -> Section : 2\nRenoncer -> Section : -1\nAttendre -> Section : -1\n\n"
                       "# Section 2\n[Narration]\nLa sortie.\n[/Narration]\n[Fin]\n")));
    for (const PlayableStory& story : stories) {
        SCOPED_TRACE(story.file);
        ASSERT_GT(story.section_count, 0);
        const StoryStats stats = story_stats(story);
        milliseconds total{0};
        for (const SectionStats& section : stats.sections) {
            const Section& played = section_at(*story.sections, section.section);
            const bool ending_screen = section_end(played) == SectionEnd::ending_screen;
            const auto bytes = [](const TextFigures& figures) { return static_cast<long long>(figures.bytes); };
            const milliseconds expected{bytes(section.narration) * narration_delay_ms +
                                        bytes(section.speech) * dialogue_delay_ms +
                                        (ending_screen ? bytes(section.narration) * ending_delay_ms : 0)};
            EXPECT_EQ(section.typing, expected) << "section " << section.section;
            total += section.typing;
        }
        EXPECT_EQ(stats.total.typing, total);
        for (const EndingStats& entry : stats.endings) {
            if (!entry.ending.reachable) continue;
            milliseconds along{0};
            for (const int id : entry.ending.sections) {
                if (id != end_section_id) along += stats.sections[static_cast<std::size_t>(id)].typing;
            }
            EXPECT_EQ(entry.typing, along) << "ending at line " << entry.ending.line;
        }
    }
}

TEST(Proofreading, TextsLoseTheirSurroundingBlanksAndInnerLineEnds) {
    struct Case {
        const char* name;
        std::string_view text;
        std::string_view shown;
    };
    const Case cases[] = {
        {"spoken text with its line end", "Salut !\n", "Salut !"},
        {"speaker with the blank before the colon", "Vous ", "Vous"},
        {"lone carriage return inside", "un\rdeux\n", "un deux"},
        {"nothing to read", " \t\n", ""},
        {"bytes that are not UTF-8", "caf\xC3 ", "caf\uFFFD"},
    };
    for (const Case& c : cases) EXPECT_EQ(readable(c.text), c.shown) << c.name;
}

std::vector<std::string> file_lines(const std::string& path) {
    std::istringstream in(read_file(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return std::string(text);
}

// Every text of every loaded section, once each, and each on the line the
// list gives: the line holds it, or, for a narration, starts it.
TEST(Proofreading, ListsEveryTextOfTheSampleStoriesOnceOnItsLine) {
    for (const PlayableStory& story : sample_stories()) {
        SCOPED_TRACE(story.file);
        std::vector<std::string> expected;
        for (int id = 0; id < story.section_count; ++id) {
            const Section& section = section_at(*story.sections, id);
            expected.push_back(trimmed(section.narration));
            for (const Item& item : section_items(section)) expected.push_back(trimmed(item.name));
            for (const Dialogue& dialogue : section_dialogues(section)) {
                expected.push_back(trimmed(dialogue.character));
                expected.push_back(trimmed(dialogue.text));
            }
            for (const Choice& choice : section_options(section)) expected.push_back(trimmed(choice.text));
        }
        std::erase(expected, "");
        const std::vector<ReadableText> texts = readable_texts(*story.sections, story.section_count, story.lines);
        const std::vector<std::string> lines = file_lines(story.file);
        std::vector<std::string> listed;
        int previous_line = 0;
        for (const ReadableText& text : texts) {
            ASSERT_GE(text.line, 1);
            ASSERT_LE(text.line, static_cast<int>(lines.size()));
            const std::string& line = lines[static_cast<std::size_t>(text.line - 1)];
            EXPECT_TRUE(line.find(text.text) != std::string::npos || text.text.starts_with(trimmed(line)))
                << text.line << ": " << text.text;
            EXPECT_GE(text.line, previous_line);  // sample stories keep their sections in file order
            previous_line = text.line;
            listed.push_back(text.text);
        }
        std::sort(expected.begin(), expected.end());
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, expected);
    }
}

}  // namespace
