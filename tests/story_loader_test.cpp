// The story file reader, rule by rule, on story texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support.hpp"

namespace {

using namespace std::string_literals;

// A section's entries as text: [speaker|spoken], [option>target], [type:item].
std::string entries(const Section& s) {
    std::string out;
    for (int i = 0; i < s.dialogue_count; ++i) {
        out += "[" + std::string(s.dialogues[i].character) + "|" + std::string(s.dialogues[i].text) + "]";
    }
    for (int i = 0; i < s.choice_count; ++i) {
        out += "[" + std::string(s.choices[i].text) + ">" + std::to_string(s.choices[i].next_section_id) + "]";
    }
    for (int i = 0; i < s.item_count; ++i) out += "[" + std::to_string(s.items[i].type) + ":" + std::string(s.items[i].name) + "]";
    return out;
}

TEST(Loader, SectionsAreNumberedByOrderAndClearedWhenOpened) {
    const auto story = load_text("# Section 12\n# Section\n# Section 7 la grotte\n");
    ASSERT_EQ(story.count, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(story[i].id, i);
    // Loading again into the same table: each header clears its record.
    SectionTable& table = *story.sections;
    std::istringstream full("# Section\n[Fin]\n\"clé\"\n[Narration]\nx\n[/Narration]\n[Dialogue]\n- A : b\n\n"
                            "[Choix]\nA ID_Conséquence : 1 -> Section : 4\n");
    std::istringstream bare("# Section\n");
    ASSERT_EQ(load_story(full, "a", table), 1);
    ASSERT_EQ(load_story(bare, "b", table), 1);
    Section fresh;
    clear_section(fresh, 0);
    EXPECT_TRUE(table[0] == fresh);
}

TEST(Loader, FailuresAndTheirMessages) {
    std::string hundred;
    for (int i = 0; i < 100; ++i) hundred += "# Section\n[Fin]\n";
    EXPECT_EQ(load_text(hundred).count, 100);
    const auto too_many = load_text(hundred + "# Section\n");
    EXPECT_EQ(too_many.count, 0);
    EXPECT_EQ(too_many.output, "Erreur : Trop de sections dans le fichier.\n");
    const auto no_header = load_text("[Narration]\nIl était une fois\n[/Narration]\n[Fin]\n");
    EXPECT_EQ(no_header.count + no_header.output.size() + load_text("").count, 0u);
    // Only regular files are opened: a folder, or a device that never ends.
    std::vector<std::string> unreadable = {"./stories/absente.txt", std::filesystem::temp_directory_path().string()};
#ifndef _WIN32
    unreadable.push_back("/dev/zero");
#endif
    for (const std::string& path : unreadable) {
        LoadedStory story;
        FakeConsole console;
        EXPECT_EQ(load_story(path, *story.sections), 0);
        EXPECT_EQ(console.output(), "Erreur : Impossible d'ouvrir le fichier " + path + "\n");
    }
}

TEST(Loader, MarkersMustStartTheLineAndNeedASection) {
    EXPECT_EQ(load_text("\xEF\xBB\xBF# Section 0\n# Section 1\n").count, 1);  // a byte-order mark hides the header
    const auto indented = load_text("# Section\n  [Choix]\nA -> Section : 2\n [Fin]\n[fin]\n");
    EXPECT_EQ(indented[0].choice_count + indented[0].is_ending, 0);
    EXPECT_EQ(load_text("# Section\n[Fin] de l'histoire\n")[0].is_ending, 1);
    const auto early = load_text(
        "\"lampe\"\n[Fin]\n[Dialogue]\n- A : x\n\n[Choix]\nY -> Section : 3\n\n"
        "[Narration]\n# Section\n[/Narration]\n# Section\n[Narration]\nici\n[/Narration]\n");
    ASSERT_EQ(early.count, 1);
    EXPECT_EQ(entries(early[0]) + std::string(early[0].narration) + std::to_string(early[0].is_ending), "ici 0");
}

TEST(Loader, NarrationBlocks) {
    const std::pair<std::string, std::string> cases[] = {
        {"[Narration]\na\n\nb\n[/Narration] ignoré\n", "a  b "},
        {"[Narration]\n# Section\n[Fin]\n\"clé\"\n[/Narration]\n", "# Section [Fin] \"clé\" "},  // markers are text
        {"[Narration]\nun\n# Section\ndeux", "un # Section deux "},                           // runs to the end
        {"[Narration]\nun\n[/Narration]\n[Narration]\ndeux\n[/Narration]\n", "deux "},      // replaces
        {"[Narration]\n" + repeat("x", 300) + "\n[/Narration]\n", repeat("x", 255) + " " + repeat("x", 45) + " "},
        {"[Narration]\n" + repeat("z", 255) + "\n[/Narration]\n", repeat("z", 255) + "  "},
        {"[Narration]\n" + repeat("c", 254) + "\r\n[/Narration]\n", repeat("c", 254) + " "},  // CR LF counts once
        {"[Narration]\nab\0cd\n[/Narration]\n"s, "ab "},                                       // NUL ends the line
    };
    for (const auto& [block, expected] : cases) EXPECT_EQ(load_text("# Section\n" + block)[0].narration.view(), expected);

    std::string text = "# Section\n[Narration]\n";
    for (char c = 'a'; c < 'f'; ++c) text += std::string(250, c) + "\n";
    const auto capped = load_text(text + "[/Narration]\n[Fin]\n");
    EXPECT_EQ(capped[0].narration.view().size(), 999u);
    EXPECT_EQ(capped[0].narration.view().substr(753), repeat("d", 246));
    EXPECT_EQ(capped[0].is_ending, 1);
    // The rest of a long line is a line of its own, even for markers.
    EXPECT_EQ(load_text("# Section\n" + repeat("-", 255) + "# Section\n").count, 2);
}

TEST(Loader, DialogueBlocks) {
    EXPECT_EQ(entries(load_text("# Section\n[Dialogue]\n- Vous : Bonjour\n- silence\n- Marie: Salut\n-:abc\n- A:\n- " +
                                repeat("N", 60) + " : x\n\n")[0]),
              "[Vous |Bonjour\n][Marie|Salut\n][abc\n|bc\n][A|][" + repeat("N", 49) + "|x\n]");
    EXPECT_EQ(entries(load_text("# Section\r\n[Dialogue]\r\n- Vous : Oui\r\n\r\n")[0]), "[Vous |Oui\n]");
    EXPECT_EQ(entries(load_text("# Section\n[Dialogue]\n- A : un\rdeux\n\n")[0]), "[A |un\rdeux\n]");
    EXPECT_EQ(entries(load_text("# Section\n[Dialogue]\n- A : 1\n- B : 2\n\n[Dialogue]\n- C : 3\n\n")[0]), "[C |3\n]");
}

TEST(Loader, TheLineEndingABlockIsConsumedUnlessTheBlockIsFull) {
    EXPECT_EQ(entries(load_text("# Section\n[Dialogue]\n- A : x\n\"clé\"\n\"lampe\"\n")[0]), "[A |x\n][1:lampe]");
    EXPECT_EQ(entries(load_text("# Section\n[Dialogue]\n[Choix]\nA -> Section : 1\n")[0]), "");
    const auto header = load_text("# Section\n[Choix]\nA -> Section : 1\n# Section\n[Narration]\nx\n[/Narration]\n[Fin]\n");
    ASSERT_EQ(header.count, 1);
    EXPECT_EQ(header[0].narration.view(), "x ");
    EXPECT_EQ(header[0].is_ending, 1);
    // A full block ends without reading on: the sixth "- P" line reaches the
    // main loop and is ignored, "[Choix]" opens the next block, the item line is seen.
    const auto full = load_text("# Section\n[Dialogue]\n" + repeat("- P : t\n", 6) + "[Choix]\n" +
                                repeat("O -> Section : 1\n", 7) + "\"clé\"\n");
    EXPECT_EQ(entries(full[0]), repeat("[P |t\n]", 5) + repeat("[O >1]", 5) + "[1:clé]");
}

TEST(Loader, ChoiceBlocks) {
    // The second block's targets do not parse: each keeps the first block's.
    EXPECT_EQ(entries(load_text("# Section\n[Choix]\nOuvrir la porte -> Section : 3\nFuir ->Section : 2\n"
                                "Finir -> Section : -1\nLoin ->   Section:   +7   et plus\nA ->xSection : 4\n[Choix]\n"
                                "B -> section : 6\nC -> Section : 99999999999\nD -> Section 3\nE ->\nF ->")[0]),
              "[B >3][C >0][D >-1][E >7][F >4]");
    EXPECT_EQ(entries(load_text("# Section\n[Choix]\nOuvrir la porte -> Section : 3\n")[0]), "[Ouvrir la porte >3]");
    const auto consequences = load_text(
        "# Section\n[Choix]\nPrendre la clé ID_Conséquence : 1 -> Section : 4\n"
        "Jeter -> Section : 2 ID_Conséquence : 2\nRien ID_Conséquence : x -> Section : 1\n\n");
    const Section& c = consequences[0];
    EXPECT_EQ(c.choices[0].consequence_id, 1);
    EXPECT_EQ(c.choices[0].text.view(), "Prendre la clé ID_Conséquence : 1 ");
    EXPECT_EQ(c.choices[1].consequence_id + c.choices[2].consequence_id + c.choices[0].points, 0);
    EXPECT_TRUE(c.choices[0].item_add.empty());
}

// A spoken text starts past "-", the colon and one byte; an option text ends
// at the arrow: what is left of a 255-byte read is the most either can hold.
TEST(Loader, TheLongestSpokenAndOptionTextsAreWhatTheLineBufferLeaves) {
    const auto story = load_text("# Section\n[Dialogue]\n-: " + repeat("d", 300) + "\n\n[Choix]\n" +
                                 repeat("p", max_option_bytes) + "-> Section : 1\n\n# Section\n[Choix]\n" +
                                 repeat("q", max_option_bytes + 1) + "-> Section : 1\n");
    EXPECT_EQ(story[0].dialogues[0].text.view(), repeat("d", max_spoken_bytes));
    EXPECT_EQ(story[0].choices[0].text.view(), repeat("p", max_option_bytes));
    EXPECT_EQ(story[1].choice_count, 0);  // one byte more and the arrow is cut in two
}

TEST(Loader, ItemLines) {
    std::string text = "# Section\n\"clé\"\n<clé>\n\"\n<>\n\"ouvert\n<corde\n\"" + repeat("k", 60) + "\"\n\"clé\"\rx\"\n";
    text += "[Narration]\nx\n[/Narration]\n";
    for (int i = 0; i < 6; ++i) text += "\"i" + std::to_string(i) + "\"\n";
    const auto story = load_text(text + "# Section\n\"autre\"\n\"x\0y\"\n"s);
    EXPECT_EQ(entries(story[0]), "[1:clé][2:clé][1:][2:][1:" + repeat("k", 48) + "][1:clé][1:i0][1:i1][1:i2][1:i3]");
    EXPECT_EQ(story[1].item_count, 1);
}

TEST(Loader, CrLfReadsAsLfEvenAcrossTheReadersBlocks) {
    std::string lf = "# Section\n\"objet\"\n[Dialogue]\n- A : b\n\n[Choix]\nSuite -> Section : 1\n\n# Section\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? "\r\n"s : std::string(1, c);
    const auto a = load_text(lf);
    const auto b = load_text(crlf);
    EXPECT_EQ(b.count, 2);
    EXPECT_TRUE(*a.sections == *b.sections);
    // A pair split by the end of the first 64 KiB block.
    const auto split = load_text("# Section\n" + repeat(" ", 65506) + "\n[Dialogue]\n- A : b\r\n\n");
    EXPECT_EQ(split[0].dialogues[0].text.view(), "b\n");
}

TEST(SectionLookup, FindsLoadedIdsOnly) {
    const auto story = load_text("# Section\n# Section\n");
    EXPECT_EQ(get_section_by_id(*story.sections, story.count, 1), &story[1]);
    for (int absent : {2, -1}) EXPECT_EQ(get_section_by_id(*story.sections, story.count, absent), nullptr);
    EXPECT_EQ(get_section_by_id(*story.sections, 0, 0), nullptr);
}

}  // namespace
