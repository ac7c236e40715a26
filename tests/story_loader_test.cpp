// The story file reader, rule by rule, on small story texts.
#include <gtest/gtest.h>

#include <string>

#include "support.hpp"

namespace {

using namespace std::string_literals;

std::string repeat(char c, std::size_t n) { return std::string(n, c); }

// --- Sections -----------------------------------------------------------------

TEST(LoaderSections, AreNumberedByTheirOrderWhateverFollowsTheHeader) {
    const auto story = load_text("# Section 12\n# Section\n# Section 7 la grotte\n");
    ASSERT_EQ(story.count, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(story[i].id, i);
    EXPECT_EQ(story.output, "");
}

TEST(LoaderSections, FreshSectionIsEmpty) {
    const auto story = load_text("# Section 0\n");
    ASSERT_EQ(story.count, 1);
    const Section& s = story[0];
    EXPECT_EQ(s.narration.view(), "");
    EXPECT_EQ(s.dialogue_count, 0);
    EXPECT_EQ(s.choice_count, 0);
    EXPECT_EQ(s.item_count, 0);
    EXPECT_EQ(s.is_ending, 0);
    EXPECT_EQ(s.choices[0].next_section_id, 0);
    EXPECT_EQ(s.choices[0].consequence_id, 0);
}

TEST(LoaderSections, HeaderClearsWhateverTheTableHeldBefore) {
    TempDir dir;
    LoadedStory story;
    {
        FakeConsole console;
        const std::string first = dir.write("a.txt", "# Section\n[Fin]\n\"clé\"\n[Choix]\nA -> Section : 4\n");
        ASSERT_EQ(load_story(first, *story.sections, nullptr), 1);
        const std::string second = dir.write("b.txt", "# Section\n");
        ASSERT_EQ(load_story(second, *story.sections, nullptr), 1);
    }
    EXPECT_EQ(story[0].is_ending, 0);
    EXPECT_EQ(story[0].item_count, 0);
    EXPECT_EQ(story[0].choice_count, 0);
    EXPECT_EQ(story[0].choices[0].next_section_id, 0);
}

TEST(LoaderSections, HundredLoadAndAHundredAndFirstFails) {
    std::string hundred;
    for (int i = 0; i < 100; ++i) hundred += "# Section " + std::to_string(i) + "\n[Fin]\n";
    const auto ok = load_text(hundred);
    EXPECT_EQ(ok.count, 100);
    EXPECT_EQ(ok[99].id, 99);
    EXPECT_EQ(ok.output, "");

    const auto too_many = load_text(hundred + "# Section 100\n");
    EXPECT_EQ(too_many.count, 0);
    EXPECT_EQ(too_many.output, "Erreur : Trop de sections dans le fichier.\n");
}

TEST(LoaderSections, EmptyMissingAndHeaderlessFiles) {
    const auto empty = load_text("");
    EXPECT_EQ(empty.count, 0);
    EXPECT_EQ(empty.output, "");

    const auto headerless = load_text("[Narration]\nIl était une fois\n[/Narration]\n[Fin]\n");
    EXPECT_EQ(headerless.count, 0);
    EXPECT_EQ(headerless.output, "");

    LoadedStory missing;
    FakeConsole console;
    missing.count = load_story("./stories/absent.txt", *missing.sections, nullptr);
    EXPECT_EQ(missing.count, 0);
    EXPECT_EQ(console.output(), "Erreur : Impossible d'ouvrir le fichier ./stories/absent.txt\n");
}

TEST(LoaderSections, ContentBeforeTheFirstHeaderIsReadAndIgnored) {
    const auto story = load_text(
        "\"lampe\"\n[Fin]\n[Dialogue]\n- A : x\n\n[Choix]\nY -> Section : 3\n\n"
        "[Narration]\n# Section\n[/Narration]\n# Section\n[Narration]\nici\n[/Narration]\n");
    ASSERT_EQ(story.count, 1);
    EXPECT_EQ(story[0].narration.view(), "ici ");
    EXPECT_EQ(story[0].item_count, 0);
    EXPECT_EQ(story[0].is_ending, 0);
    EXPECT_EQ(story[0].dialogue_count, 0);
    EXPECT_EQ(story[0].choice_count, 0);
}

TEST(LoaderSections, MarkersMustStartTheLine) {
    const auto bom = load_text("\xEF\xBB\xBF# Section 0\n# Section 1\n");
    EXPECT_EQ(bom.count, 1);

    const auto indented = load_text("# Section\n  [Choix]\nA -> Section : 2\n [Fin]\n");
    ASSERT_EQ(indented.count, 1);
    EXPECT_EQ(indented[0].choice_count, 0);
    EXPECT_EQ(indented[0].is_ending, 0);

    const auto lower = load_text("# section\n# Section\n[fin]\n");
    ASSERT_EQ(lower.count, 1);
    EXPECT_EQ(lower[0].is_ending, 0);
}

TEST(LoaderSections, EndingMarkerWithTrailingText) {
    const auto story = load_text("# Section\n[Fin] de l'histoire\n");
    ASSERT_EQ(story.count, 1);
    EXPECT_EQ(story[0].is_ending, 1);
}

// --- Narration ------------------------------------------------------------------

TEST(LoaderNarration, LinesAreJoinedWithBlanks) {
    const auto story = load_text("# Section\n[Narration]\na\n\nb\n[/Narration] reste ignoré\n");
    EXPECT_EQ(story[0].narration.view(), "a  b ");
}

TEST(LoaderNarration, MarkersInsideAreText) {
    const auto story = load_text("# Section\n[Narration]\n# Section\n[Fin]\n\"clé\"\n[/Narration]\n");
    ASSERT_EQ(story.count, 1);
    EXPECT_EQ(story[0].narration.view(), "# Section [Fin] \"clé\" ");
    EXPECT_EQ(story[0].is_ending, 0);
    EXPECT_EQ(story[0].item_count, 0);
}

TEST(LoaderNarration, UnterminatedBlockTakesTheRestOfTheFile) {
    const auto story = load_text("# Section\n[Narration]\nun\n# Section\ndeux");
    ASSERT_EQ(story.count, 1);
    EXPECT_EQ(story[0].narration.view(), "un # Section deux ");
}

TEST(LoaderNarration, SecondBlockReplacesTheFirst) {
    const auto story = load_text("# Section\n[Narration]\nun\n[/Narration]\n[Narration]\ndeux\n[/Narration]\n");
    EXPECT_EQ(story[0].narration.view(), "deux ");
}

TEST(LoaderNarration, CappedAt999Bytes) {
    std::string text = "# Section\n[Narration]\n";
    for (int i = 0; i < 5; ++i) text += repeat(static_cast<char>('a' + i), 250) + "\n";
    text += "[/Narration]\n[Fin]\n";
    const auto story = load_text(text);
    const std::string_view narration = story[0].narration.view();
    ASSERT_EQ(narration.size(), 999u);
    EXPECT_EQ(narration.substr(0, 251), repeat('a', 250) + " ");
    // Four lines of 251 bytes would need 1004: the fourth is cut to 246 bytes.
    EXPECT_EQ(narration.substr(753), repeat('d', 246));
    EXPECT_EQ(story[0].is_ending, 1);  // reading went on after the block
}

TEST(LoaderNarration, LongPhysicalLineComesBackInPieces) {
    const std::string line = repeat('x', 255) + repeat('y', 45);
    const auto story = load_text("# Section\n[Narration]\n" + line + "\n[/Narration]\n");
    EXPECT_EQ(story[0].narration.view(), repeat('x', 255) + " " + repeat('y', 45) + " ");
}

TEST(LoaderNarration, LineOfExactly255BytesLeavesAnEmptyLineBehind) {
    const auto story = load_text("# Section\n[Narration]\n" + repeat('z', 255) + "\n[/Narration]\n");
    EXPECT_EQ(story[0].narration.view(), repeat('z', 255) + "  ");
}

TEST(LoaderNarration, LongLineSplitsBeforeMarkerTests) {
    // The remainder of a long line is seen as a line of its own, so a marker
    // that lands at byte 255 of a physical line opens a section.
    const auto story = load_text("# Section\n" + repeat('-', 255) + "# Section\n");
    EXPECT_EQ(story.count, 2);
}

// --- Dialogue blocks ---------------------------------------------------------------

TEST(LoaderDialogue, NameAndTextAreTakenExactly) {
    const auto story = load_text("# Section\n[Dialogue]\n- Vous : Bonjour\n- Marie: Salut\n\n");
    ASSERT_EQ(story[0].dialogue_count, 2);
    EXPECT_EQ(story[0].dialogues[0].character.view(), "Vous ");
    EXPECT_EQ(story[0].dialogues[0].text.view(), "Bonjour\n");
    EXPECT_EQ(story[0].dialogues[1].character.view(), "Marie");
    EXPECT_EQ(story[0].dialogues[1].text.view(), "Salut\n");
}

TEST(LoaderDialogue, ColonAsSecondByte) {
    const auto story = load_text("# Section\n[Dialogue]\n-:abc\n\n");
    ASSERT_EQ(story[0].dialogue_count, 1);
    EXPECT_EQ(story[0].dialogues[0].character.view(), "abc\n");
    EXPECT_EQ(story[0].dialogues[0].text.view(), "bc\n");
}

TEST(LoaderDialogue, ShortTailsAfterTheColon) {
    const auto story = load_text("# Section\n[Dialogue]\n- A:\n- B:");
    ASSERT_EQ(story[0].dialogue_count, 2);
    EXPECT_EQ(story[0].dialogues[0].character.view(), "A");
    EXPECT_EQ(story[0].dialogues[0].text.view(), "");
    EXPECT_EQ(story[0].dialogues[1].character.view(), "B");
    EXPECT_EQ(story[0].dialogues[1].text.view(), "");
}

TEST(LoaderDialogue, CrLfKeepsOnlyTheLfInTheText) {
    const auto story = load_text("# Section\r\n[Dialogue]\r\n- Vous : Oui\r\n\r\n");
    EXPECT_EQ(story[0].dialogues[0].text.view(), "Oui\n");
}

TEST(LoaderDialogue, LineWithoutColonIsSkippedAndNotCounted) {
    const auto story = load_text("# Section\n[Dialogue]\n- silence\n- A : un\n\n");
    ASSERT_EQ(story[0].dialogue_count, 1);
    EXPECT_EQ(story[0].dialogues[0].character.view(), "A ");
}

TEST(LoaderDialogue, SpeakerNameCappedAt49Bytes) {
    const auto story = load_text("# Section\n[Dialogue]\n- " + repeat('N', 60) + " : x\n\n");
    EXPECT_EQ(story[0].dialogues[0].character.view(), repeat('N', 49));
}

TEST(LoaderDialogue, LineEndingTheBlockIsConsumed) {
    // The gain-item line ends the block and is lost with it.
    const auto item = load_text("# Section\n[Dialogue]\n- A : x\n\"clé\"\n\"lampe\"\n");
    EXPECT_EQ(item[0].dialogue_count, 1);
    ASSERT_EQ(item[0].item_count, 1);
    EXPECT_EQ(item[0].items[0].name.view(), "lampe");

    // "[Dialogue]" followed by "[Choix]": no entry, no choice block.
    const auto choix = load_text("# Section\n[Dialogue]\n[Choix]\nA -> Section : 1\n");
    EXPECT_EQ(choix[0].dialogue_count, 0);
    EXPECT_EQ(choix[0].choice_count, 0);
}

TEST(LoaderDialogue, FifthEntryEndsTheBlockWithoutReadingOn) {
    std::string text = "# Section\n[Dialogue]\n";
    for (int i = 0; i < 6; ++i) text += "- P" + std::to_string(i) + " : t\n";
    text += "[Fin]\n";
    const auto story = load_text(text);
    ASSERT_EQ(story[0].dialogue_count, 5);
    EXPECT_EQ(story[0].dialogues[4].character.view(), "P4 ");
    EXPECT_EQ(story[0].is_ending, 1);

    // A line right after the fifth entry is seen by the main loop.
    const auto item = load_text("# Section\n[Dialogue]\n- a : 1\n- b : 2\n- c : 3\n- d : 4\n- e : 5\n\"clé\"\n");
    EXPECT_EQ(item[0].item_count, 1);
}

TEST(LoaderDialogue, SecondBlockStartsOverAndReplacesTheCount) {
    const auto story = load_text("# Section\n[Dialogue]\n- A : 1\n- B : 2\n\n[Dialogue]\n- C : 3\n\n");
    ASSERT_EQ(story[0].dialogue_count, 1);
    EXPECT_EQ(story[0].dialogues[0].character.view(), "C ");
}

// --- Choice blocks ---------------------------------------------------------------

TEST(LoaderChoice, TextTargetAndSeparator) {
    const auto story = load_text(
        "# Section\n[Choix]\nOuvrir la porte -> Section : 3\nFuir ->Section : 2\n"
        "Finir -> Section : -1\nLoin ->   Section:   +7   et plus\n\n");
    ASSERT_EQ(story[0].choice_count, 4);
    EXPECT_EQ(story[0].choices[0].text.view(), "Ouvrir la porte ");
    EXPECT_EQ(story[0].choices[0].next_section_id, 3);
    EXPECT_EQ(story[0].choices[1].text.view(), "Fuir ");
    EXPECT_EQ(story[0].choices[1].next_section_id, 0);
    EXPECT_EQ(story[0].choices[2].next_section_id, -1);
    EXPECT_EQ(story[0].choices[3].next_section_id, 7);
}

TEST(LoaderChoice, AnyByteMayStandAfterTheArrow) {
    const auto story = load_text("# Section\n[Choix]\nA ->xSection : 4\nB ->\tSection : 5\nC -> section : 6\n\n");
    EXPECT_EQ(story[0].choices[0].next_section_id, 4);
    EXPECT_EQ(story[0].choices[1].next_section_id, 5);
    EXPECT_EQ(story[0].choices[2].next_section_id, 0);
}

TEST(LoaderChoice, TargetsThatCannotBeReadKeepZero) {
    const auto story = load_text(
        "# Section\n[Choix]\nA ->\nB -> Section : x\nC -> Section : 99999999999\nD -> Section 3\nE ->");
    ASSERT_EQ(story[0].choice_count, 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(story[0].choices[i].next_section_id, 0) << i;
    EXPECT_EQ(story[0].choices[4].text.view(), "E ");
}

TEST(LoaderChoice, ConsequenceMarkerBeforeTheArrowOnly) {
    const auto story = load_text(
        "# Section\n[Choix]\nPrendre la clé ID_Conséquence : 1 -> Section : 4\n"
        "Jeter -> Section : 2 ID_Conséquence : 2\nRien ID_Conséquence : x -> Section : 1\n\n");
    EXPECT_EQ(story[0].choices[0].consequence_id, 1);
    EXPECT_EQ(story[0].choices[0].next_section_id, 4);
    EXPECT_EQ(story[0].choices[0].text.view(), "Prendre la clé ID_Conséquence : 1 ");
    EXPECT_EQ(story[0].choices[1].consequence_id, 0);
    EXPECT_EQ(story[0].choices[1].next_section_id, 2);
    EXPECT_EQ(story[0].choices[2].consequence_id, 0);
    EXPECT_TRUE(story[0].choices[0].item_add.empty());
    EXPECT_EQ(story[0].choices[0].points, 0);
}

TEST(LoaderChoice, LineEndingTheBlockIsConsumed) {
    // A header straight after the last choice is swallowed: the next
    // section's blocks overwrite this one and one section goes missing.
    const auto story = load_text(
        "# Section 0\n[Choix]\nA -> Section : 1\n# Section 1\n[Narration]\nsuite\n[/Narration]\n[Fin]\n");
    ASSERT_EQ(story.count, 1);
    EXPECT_EQ(story[0].choice_count, 1);
    EXPECT_EQ(story[0].narration.view(), "suite ");
    EXPECT_EQ(story[0].is_ending, 1);
}

TEST(LoaderChoice, FiveEntriesAtMostPerBlock) {
    std::string text = "# Section\n[Choix]\n";
    for (int i = 0; i < 7; ++i) text += "O" + std::to_string(i) + " -> Section : " + std::to_string(i) + "\n";
    text += "\n";
    const auto story = load_text(text);
    ASSERT_EQ(story[0].choice_count, 5);
    EXPECT_EQ(story[0].choices[4].next_section_id, 4);
}

TEST(LoaderChoice, SecondBlockKeepsEarlierTargetsWhenTheyDoNotParse) {
    const auto story = load_text("# Section\n[Choix]\nA -> Section : 3\n\n[Choix]\nB ->Section : 9\n\n");
    ASSERT_EQ(story[0].choice_count, 1);
    EXPECT_EQ(story[0].choices[0].text.view(), "B ");
    EXPECT_EQ(story[0].choices[0].next_section_id, 3);
}

// --- Item lines ----------------------------------------------------------------

TEST(LoaderItems, GainAndLoseLines) {
    const auto story = load_text("# Section\n\"clé\"\n<clé>\n\"\n<>\n\"ouvert\n");
    ASSERT_EQ(story[0].item_count, 4);
    EXPECT_EQ(story[0].items[0].type, item_gain);
    EXPECT_EQ(story[0].items[0].name.view(), "clé");
    EXPECT_EQ(story[0].items[1].type, item_lose);
    EXPECT_EQ(story[0].items[1].name.view(), "clé");
    EXPECT_EQ(story[0].items[2].type, item_gain);  // a lone double quote
    EXPECT_EQ(story[0].items[2].name.view(), "");
    EXPECT_EQ(story[0].items[3].type, item_lose);
    EXPECT_EQ(story[0].items[3].name.view(), "");
}

TEST(LoaderItems, NamesCappedAt48Bytes) {
    const auto story = load_text("# Section\n\"" + repeat('k', 60) + "\"\n");
    EXPECT_EQ(story[0].items[0].name.view(), repeat('k', 48));
}

TEST(LoaderItems, TenPerSectionAccumulatedAcrossTheSection) {
    std::string text = "# Section\n";
    for (int i = 0; i < 6; ++i) text += "\"i" + std::to_string(i) + "\"\n";
    text += "[Narration]\nx\n[/Narration]\n";
    for (int i = 6; i < 11; ++i) text += "\"i" + std::to_string(i) + "\"\n";
    text += "# Section\n\"autre\"\n";
    const auto story = load_text(text);
    ASSERT_EQ(story[0].item_count, 10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(story[0].items[i].name.view(), "i" + std::to_string(i));
    EXPECT_EQ(story[1].item_count, 1);
}

// --- Bytes ---------------------------------------------------------------------

TEST(LoaderBytes, CrLfFileLoadsLikeItsLfCopy) {
    const std::string lf =
        "# Section\n[Narration]\nUne nuit\nsans lune\n[/Narration]\n\"lanterne\"\n[Dialogue]\n- Vous : Qui va là ?\n\n"
        "[Choix]\nEntrer -> Section : 1\nFuir -> Section : -1\n\n# Section\n<lanterne>\n[Fin]\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? "\r\n"s : std::string(1, c);
    const auto a = load_text(lf);
    const auto b = load_text(crlf);
    ASSERT_EQ(a.count, 2);
    ASSERT_EQ(b.count, 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(a[i].narration, b[i].narration);
        EXPECT_EQ(a[i].item_count, b[i].item_count);
        EXPECT_EQ(a[i].items[0].name, b[i].items[0].name);
        EXPECT_EQ(a[i].dialogue_count, b[i].dialogue_count);
        EXPECT_EQ(a[i].dialogues[0].character, b[i].dialogues[0].character);
        EXPECT_EQ(a[i].dialogues[0].text, b[i].dialogues[0].text);
        EXPECT_EQ(a[i].choice_count, b[i].choice_count);
        for (int c = 0; c < 2; ++c) {
            EXPECT_EQ(a[i].choices[c].text, b[i].choices[c].text);
            EXPECT_EQ(a[i].choices[c].next_section_id, b[i].choices[c].next_section_id);
        }
        EXPECT_EQ(a[i].is_ending, b[i].is_ending);
    }
}

TEST(LoaderBytes, LoneCarriageReturnStaysButCutsMainLoopLines) {
    const auto story = load_text("# Section\n[Dialogue]\n- A : un\rdeux\n\n\"clé\"\rx\"\n");
    EXPECT_EQ(story[0].dialogues[0].text.view(), "un\rdeux\n");
    // The item line is cut at its CR: «"clé"» is a gain line.
    ASSERT_EQ(story[0].item_count, 1);
    EXPECT_EQ(story[0].items[0].name.view(), "clé");
}

TEST(LoaderBytes, CrLfPairCountsAsOneByteOfTheLineBuffer) {
    // 254 bytes + CR LF fits one read of 255 bytes.
    const auto story = load_text("# Section\n[Narration]\n" + repeat('c', 254) + "\r\n[/Narration]\n");
    EXPECT_EQ(story[0].narration.view(), repeat('c', 254) + " ");
}

TEST(LoaderBytes, UnicodeIsKeptByteForByte) {
    const auto story = load_text("# Section\n[Narration]\nÉtoile — « ciel » 星\n[/Narration]\n");
    EXPECT_EQ(story[0].narration.view(), "Étoile — « ciel » 星 ");
}

TEST(LoaderBytes, NulByteEndsTheLine) {
    const auto story = load_text("# Section\n[Narration]\nab\0cd\n[/Narration]\n\"x\0y\"\n"s);
    EXPECT_EQ(story[0].narration.view(), "ab ");
    EXPECT_EQ(story[0].item_count, 0);
}

TEST(LoaderBytes, LargeCrLfFileReadsLikeItsLfCopyAcrossBufferBoundaries) {
    // Line lengths vary so that CR LF pairs and long lines straddle the
    // reader's internal blocks at many different offsets.
    std::string lf;
    for (int i = 0; i < 100; ++i) {
        lf += "# Section\n[Narration]\n";
        for (int j = 0; j < 4; ++j) lf += repeat(static_cast<char>('a' + j), static_cast<std::size_t>((i * 37 + j * 101) % 300)) + "\n";
        lf += "[/Narration]\n[Dialogue]\n- A : " + repeat('q', static_cast<std::size_t>(i % 7)) + "\n\n";
        for (int j = 0; j < 3; ++j) lf += repeat(' ', static_cast<std::size_t>((i * 53 + j) % 400)) + "\n";
    }
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? "\r\n"s : std::string(1, c);
    const auto a = load_text(lf);
    const auto b = load_text(crlf);
    ASSERT_EQ(a.count, 100);
    ASSERT_EQ(b.count, 100);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(a[i].narration, b[i].narration) << i;
        ASSERT_EQ(a[i].dialogues[0].text, b[i].dialogues[0].text) << i;
        ASSERT_EQ(a[i].dialogues[0].text.view(), repeat('q', static_cast<std::size_t>(i % 7)) + "\n") << i;
    }
}

// --- Lookup ---------------------------------------------------------------------

TEST(SectionLookup, FindsLoadedIdsOnly) {
    const auto story = load_text("# Section\n# Section\n");
    EXPECT_EQ(get_section_by_id(*story.sections, story.count, 1), &story[1]);
    EXPECT_EQ(get_section_by_id(*story.sections, story.count, 2), nullptr);
    EXPECT_EQ(get_section_by_id(*story.sections, story.count, -1), nullptr);
    EXPECT_EQ(get_section_by_id(*story.sections, 0, 0), nullptr);
}

}  // namespace
