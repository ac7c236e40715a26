// What the story loader tells a listener: where things were stored and what
// looked wrong, with the file's physical line numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.hpp"

namespace {

class RecordingListener final : public LoadListener {
public:
    void notice(const LoadNotice& notice) override { notices.push_back(notice); }

    std::vector<LoadNotice> of(LoadNoticeKind kind) const {
        std::vector<LoadNotice> found;
        for (const LoadNotice& n : notices) {
            if (n.kind == kind) found.push_back(n);
        }
        return found;
    }

    std::vector<int> lines_of(LoadNoticeKind kind) const {
        std::vector<int> lines;
        for (const LoadNotice& n : of(kind)) lines.push_back(n.line);
        return lines;
    }

    std::vector<LoadNotice> notices;
};

RecordingListener notices_of(std::string_view content) {
    RecordingListener listener;
    load_text(content, &listener);
    return listener;
}

// Every field the loader fills, as text, to compare two loads.
std::string dump(const LoadedStory& story) {
    std::string text = std::to_string(story.count) + "|" + story.output;
    for (int id = 0; id < story.count; ++id) {
        const Section& s = story[id];
        text += "\n" + std::to_string(s.id) + std::string(s.narration.view()) + std::to_string(s.is_ending);
        for (int i = 0; i < s.dialogue_count; ++i) {
            text += "|" + std::string(s.dialogues[i].character.view()) + std::string(s.dialogues[i].text.view());
        }
        for (int i = 0; i < s.choice_count; ++i) {
            text += "|" + std::string(s.choices[i].text.view()) + std::to_string(s.choices[i].next_section_id) +
                    std::to_string(s.choices[i].consequence_id);
        }
        for (int i = 0; i < s.item_count; ++i) {
            text += "|" + std::to_string(s.items[i].type) + std::string(s.items[i].name.view());
        }
    }
    return text;
}

TEST(LoadNotices, ListeningChangesNothingTheGameSees) {
    const std::string story =
        "\xEF\xBB\xBF# Section 0\nAvant\n# Section 1\n[Narration]\nIl était une fois\n[/Narration]\n\"clé\"\n"
        "[Dialogue]\n- Vous: Bonjour\n- sans deux-points\n<clé>\n[Choix]\nA ->Section : 2\nB -> Section : -1\n"
        "# Section 2\n  [Fin]\n[Fin]\n" + std::string(300, 'x') + "\n";
    RecordingListener listener;
    const LoadedStory heard = load_text(story, &listener);
    const LoadedStory alone = load_text(story);
    EXPECT_EQ(dump(heard), dump(alone));
    EXPECT_GT(listener.notices.size(), 10u);

    RecordingListener on_missing;
    LoadedStory missing;
    FakeConsole console;
    EXPECT_EQ(load_story("./stories/absente.txt", *missing.sections, &on_missing), 0);
    EXPECT_EQ(console.output(), "Erreur : Impossible d'ouvrir le fichier ./stories/absente.txt\n");
    ASSERT_EQ(on_missing.notices.size(), 1u);
    EXPECT_EQ(on_missing.notices[0].kind, LoadNoticeKind::file_unopenable);
    EXPECT_EQ(on_missing.notices[0].line, 0);
}

TEST(LoadNotices, StructureNamesLineSectionAndEntry) {
    const auto heard = notices_of(
        "# Section 0\n\"clé\"\n[Dialogue]\n- A : a\n- B : b\n\n[Choix]\nX -> Section : 1\nY -> Section : -1\n\n"
        "# Section 1\n<clé>\n[Fin]\n");
    EXPECT_EQ(heard.lines_of(LoadNoticeKind::section_opened), (std::vector<int>{1, 11}));
    EXPECT_EQ(heard.lines_of(LoadNoticeKind::dialogue_stored), (std::vector<int>{4, 5}));
    EXPECT_EQ(heard.lines_of(LoadNoticeKind::item_stored), (std::vector<int>{2, 12}));
    EXPECT_EQ(heard.lines_of(LoadNoticeKind::ending_marked), (std::vector<int>{13}));
    const auto choices = heard.of(LoadNoticeKind::choice_stored);
    ASSERT_EQ(choices.size(), 2u);
    EXPECT_EQ(choices[1].line, 9);
    EXPECT_EQ(choices[1].section, 0);
    EXPECT_EQ(choices[1].index, 1);
    EXPECT_EQ(heard.of(LoadNoticeKind::item_stored)[1].section, 1);
}

TEST(LoadNotices, LinesArePhysicalAcrossCrLfAndSplitLines) {
    // Line 3 is read in two pieces and the file uses CR LF: [Fin] still
    // stands on line 5.
    const auto heard = notices_of("# Section 0\r\n[Narration]\r\n" + std::string(300, 'x') + "\r\n[/Narration]\r\n[Fin]\r\n");
    EXPECT_EQ(heard.lines_of(LoadNoticeKind::line_split), (std::vector<int>{3}));
    EXPECT_EQ(heard.lines_of(LoadNoticeKind::ending_marked), (std::vector<int>{5}));

    // Exactly 255 bytes and its line end: the line end comes back alone.
    const auto exact = notices_of("# Section 0\n" + std::string(255, 'y') + "\n[Fin]\n");
    EXPECT_EQ(exact.lines_of(LoadNoticeKind::line_split), (std::vector<int>{2}));
    EXPECT_EQ(exact.lines_of(LoadNoticeKind::ending_marked), (std::vector<int>{3}));
}

TEST(LoadNotices, TargetsMissingOrUnreadable) {
    const auto heard = notices_of(
        "# Section 0\n[Choix]\nA ->\nB -> \nC ->Section : 1\nD ->\xC3\xA9 Section : 1\nE ->");
    EXPECT_EQ(heard.lines_of(LoadNoticeKind::target_missing), (std::vector<int>{3, 4, 7}));
    const auto unparsed = heard.of(LoadNoticeKind::target_unparsed);
    ASSERT_EQ(unparsed.size(), 2u);
    EXPECT_EQ(unparsed[0].line, 5);
    EXPECT_EQ(unparsed[0].detail, "« S »");
    EXPECT_EQ(unparsed[0].index, 2);
    EXPECT_EQ(unparsed[1].detail, "l'octet 0xC3");
}

TEST(LoadNotices, SwallowedAndIgnoredLinesSayWhatTheyLookLike) {
    const auto heard = notices_of(
        "# Section 0\n[Dialogue]\n- A : a\n\"clé\"\n[Choix]\nX -> Section : -1\n# Section 1\n"
        "[Dialogue]\n- A : a\n   \n"
        "Y -> Section : 0\n- B : b\nTexte libre\n[/Narration]\n");
    const auto swallowed = heard.of(LoadNoticeKind::block_end_swallowed);
    ASSERT_EQ(swallowed.size(), 2u);  // the blank-only line 10 ends its block quietly
    EXPECT_EQ(swallowed[0].line, 4);
    EXPECT_EQ(swallowed[0].detail, "une ligne d'objet");
    EXPECT_EQ(swallowed[1].line, 7);
    EXPECT_EQ(swallowed[1].detail, "un en-tête de section");
    const auto ignored = heard.of(LoadNoticeKind::line_ignored);
    ASSERT_EQ(ignored.size(), 4u);
    EXPECT_EQ(ignored[0].line, 11);
    EXPECT_EQ(ignored[0].detail, "une ligne de choix");
    EXPECT_EQ(ignored[1].detail, "une ligne de dialogue");
    EXPECT_EQ(ignored[2].detail, "du texte");
    EXPECT_EQ(ignored[3].detail, "un marqueur [/Narration]");
}

TEST(LoadNotices, FullBlocksReportEveryLineThatDidNotFit) {
    std::string text = "# Section 0\n[Choix]\n";
    for (int i = 0; i < 7; ++i) text += "O -> Section : -1\n";
    text += "\nP -> Section : -1\n";
    const auto heard = notices_of(text);
    EXPECT_EQ(heard.lines_of(LoadNoticeKind::choice_past_limit), (std::vector<int>{8, 9}));
    // After the blank line the block is over: a stray choice, not an overflow.
    EXPECT_EQ(heard.lines_of(LoadNoticeKind::line_ignored), (std::vector<int>{11}));
}

TEST(LoadNotices, ContentBeforeTheFirstHeaderButNotTheByteOrderMarkLine) {
    const auto heard = notices_of("\xEF\xBB\xBF# Section 0\n\n\"clé\"\n[Fin]\n# Section 1\n");
    EXPECT_EQ(heard.lines_of(LoadNoticeKind::byte_order_mark), (std::vector<int>{1}));
    EXPECT_EQ(heard.lines_of(LoadNoticeKind::outside_section), (std::vector<int>{3, 4}));
    EXPECT_TRUE(heard.of(LoadNoticeKind::line_ignored).empty());
}

}  // namespace
