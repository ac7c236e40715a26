// What the golden transcripts cannot see: pauses, flushes, limits and the
// cases a story file cannot reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#include <tuple>

#include "game_engine.hpp"
#include "save_load.hpp"
#include "startup.hpp"
#include "support.hpp"

namespace fs = std::filesystem;

namespace {

using Pauses = std::vector<long long>;

TEST(Typewriter, PausesBeforeEveryByteOnAGridAndFlushesAfterIt) {
    FakeConsole console;
    typewriter_effect("é!", 50);  // é is two bytes
    EXPECT_EQ(console.pacer.pauses_ms, (Pauses{50, 50, 50}));
    console.flushes.resize(3);
    EXPECT_EQ(console.flushes, (std::vector<std::string>{"\xC3", "é", "é!"}));
    typewriter_effect("", 50);
    typewriter_effect("abc", 0);
    typewriter_effect("d", -5);
    EXPECT_EQ(console.output(), "é!\n\nabc\nd\n");
    EXPECT_EQ(console.pacer.pauses_ms.size(), 3u);
    // Byte k is due at start + k × 20 ms: waking late shortens the next pause.
    console.pacer.oversleep = std::chrono::milliseconds(3);
    typewriter_effect(std::string(999, 'x'), 20);
    const Pauses pauses(console.pacer.pauses_ms.begin() + 3, console.pacer.pauses_ms.end());
    EXPECT_EQ(pauses.front(), 20);
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 17), 998);
}

TEST(Typewriter, TheRestComesAtOnceWhenAsked) {
    FakeConsole console;
    console.pacer.rest_at = 3;
    typewriter_effect("abcdef", 20);
    typewriter_effect("", 20);  // texts typed without pauses have nothing to listen for
    typewriter_effect("gh", 0);
    EXPECT_EQ(console.output(), "abcdef\n\ngh\n");
    EXPECT_EQ(console.pacer.pauses_ms.size(), 3u);  // no wait after the rest was asked for
    EXPECT_EQ(console.pacer.texts, "<>");
}

TEST(ConsoleReaders, PromptIsOnScreenBeforeWaiting) {
    FakeConsole console("2\n o\n");
    console_out() << "Votre choix : ";
    EXPECT_EQ(read_number().value, 2);
    console_out() << "(o/n) : ";
    EXPECT_EQ(read_answer(), 'o');
    EXPECT_EQ(console.flushes, (std::vector<std::string>{"Votre choix : ", "Votre choix : (o/n) : "}));
}

TEST(SectionPlayer, SpeakerColoursAndTypingSpeeds) {
    const auto story = load_text(
        "# Section\n[Narration]\nab\n[/Narration]\n[Dialogue]\n- Vous : S\n- Vous: S\n- Garde : H\n- \"Vous\": O\n"
        "- Zoé : L\n\n[Fin]\n");
    FakeConsole console("n\nO\n");
    Inventory inv;
    EXPECT_EQ(play_section(story[0], inv, 0, "x"), end_section_id);
    const std::string green = "\033[32m", red = "\033[31m", reset = "\033[0m";
    const std::string spoken = "ab \n\n" + green + "Vous " + reset + "\nS\n\n" + red + "Vous" + reset + "\nS\n\n" + red +
                               "Garde " + reset + "\nH\n\n" + green + "\"Vous\"" + reset + "\nO\n\n" + green + "Zoé " +
                               reset + "\nL\n\n";
    EXPECT_EQ(console.output().substr(0, spoken.size()), spoken);
    // Narration at 20 ms a byte, each spoken line (with its line end) at 50,
    // the narration again at 50 on the ending screen.
    Pauses expected(3, 20);
    expected.insert(expected.end(), 2 * 5 + 3, 50);
    EXPECT_EQ(console.pacer.pauses_ms, expected);
    EXPECT_TRUE(ending(""));  // "O"; the game loop asks again and decides
}

// Counts a story file cannot hold (negative, past the capacity) and every
// number around the menu's entries.
TEST(MenuRules, HowASectionEndsAndWhatEachNumberAnswers) {
    struct EndCase { int choice_count; int is_ending; SectionEnd end; int options; };
    for (const EndCase& c : std::vector<EndCase>{{0, 1, SectionEnd::ending_screen, 0},
                                                 {0, 0, SectionEnd::stop, 0},
                                                 {-3, 1, SectionEnd::ending_screen, 0},
                                                 {1, 1, SectionEnd::choice_menu, 1},
                                                 {max_choices + 5, 0, SectionEnd::choice_menu, max_choices}}) {
        SCOPED_TRACE(c.choice_count);
        auto section = std::make_unique<Section>();
        section->choice_count = c.choice_count;
        section->is_ending = c.is_ending;
        EXPECT_EQ(section_end(*section), c.end);
        EXPECT_EQ(menu_numbers(*section).options, c.options);
    }
    struct EntryCase { int options; int number; MenuEntry entry; };
    for (const EntryCase& c : std::vector<EntryCase>{{3, 1, MenuEntry::option},
                                                     {3, 3, MenuEntry::option},
                                                     {3, 4, MenuEntry::inventory},
                                                     {3, 5, MenuEntry::save},
                                                     {3, 0, MenuEntry::invalid},
                                                     {3, 6, MenuEntry::invalid},
                                                     {3, -4, MenuEntry::invalid},
                                                     {1, 2, MenuEntry::inventory}}) {
        SCOPED_TRACE(std::to_string(c.options) + " options, " + std::to_string(c.number));
        EXPECT_EQ(menu_entry(MenuNumbers{c.options}, c.number), c.entry);
    }
}

TEST(ApplyConsequence, FollowsItsTable) {
    Inventory inv;
    FakeConsole console;
    for (const auto& [id, add, remove] : {std::tuple{consequence_gain, "clé", ""}, {consequence_gain, "", ""},
                                          {consequence_lose, "", "clé"}, {consequence_lose, "", "clé"}, {7, "a", "b"}}) {
        apply_consequence(id, inv, add, remove);
    }
    EXPECT_EQ(console.output(),
              "Vous avez obtenu : clé\nVous avez utilisé : clé\n"
              "REMOVE_ITEM: Objet 'clé' introuvable dans l'inventaire.\nErreur : clé n'est pas dans votre inventaire.\n");
    EXPECT_EQ(inv.item_count, 0);
}

std::string shown(const Inventory& inv) {
    FakeConsole console;
    display_inventory(inv);
    return console.output();
}

TEST(Inventory, DuplicatesTheLastItemTakingTheFreedSlotAndFullAtFifty) {
    Inventory inv;
    FakeConsole console;
    for (const char* name : {"lampe", "clé", "corde", "clé"}) EXPECT_TRUE(add_item(inv, name));
    EXPECT_TRUE(remove_item(inv, "lampe"));
    EXPECT_EQ(shown(inv), "\n--- Inventaire ---\n- clé\n- clé\n- corde\n");
    EXPECT_TRUE(remove_item(inv, "clé"));
    EXPECT_EQ(shown(inv), "\n--- Inventaire ---\n- corde\n- clé\n");
    EXPECT_FALSE(remove_item(inv, "Clé"));  // exact, case-sensitive
    while (inv.item_count < max_inventory_items) ASSERT_TRUE(add_item(inv, "objet"));
    EXPECT_FALSE(add_item(inv, "de trop"));
    EXPECT_EQ(inv.item_count, 50);
    EXPECT_EQ(console.output(), "REMOVE_ITEM: Objet 'Clé' introuvable dans l'inventaire.\nErreur : Inventaire plein !\n");
    inv.points = 7;
    init_inventory(inv);
    EXPECT_EQ(inv.item_count + inv.points, 0);
    EXPECT_EQ(shown(inv), "\n--- Inventaire ---\nVotre inventaire est vide.\n");
}

TEST(StoryMenu, TitleIsTheFileNameWithoutItsLastExtension) {
    FakeConsole console;
    for (const char* path : {"C:\\jeux\\conte.txt", "a\\b/c\\d.txt", "sans_extension", "./stories/.cache"}) display_story_title(path);
    EXPECT_EQ(console.output(), "\n\n=== conte ===\n\n\n=== c\\d ===\n\n\n=== sans_extension ===\n\n\n===  ===\n");
}

TEST(StoryMenu, AtMostAHundredStoriesAndPathsCutTo255Bytes) {
    TempDir dir;
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    fs::create_directory("stories");
    for (int i = 0; i <= 100; ++i) dir.write("stories/h" + std::to_string(i) + ".txt", "");
    StoryPath chosen;
    {
        FakeConsole console("101\n100\n");
        EXPECT_TRUE(select_story(chosen));
        EXPECT_EQ(console.output().find("\n101. "), std::string::npos);
        EXPECT_NE(console.output().find("(1-100) : Choix invalide. Veuillez réessayer : "), std::string::npos);
    }
    fs::current_path(previous);
    const std::vector<std::string> long_name = {std::string(250, 'n') + ".txt"};
    FakeConsole console("1\n");
    EXPECT_TRUE(select_story(long_name, chosen));
    EXPECT_EQ(chosen.view(), ("./stories/" + long_name[0]).substr(0, 255));
}

// An output that takes `room` bytes, then fails as a full disk does.
class FillingOutput final : public std::streambuf {
public:
    explicit FillingOutput(std::size_t room) : room_(room) {}

protected:
    int_type overflow(int_type c) override {
        if (room_ == 0) return traits_type::eof();
        --room_;
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char*, std::streamsize count) override {
        const auto taken = std::min(static_cast<std::size_t>(count), room_);
        room_ -= taken;
        return static_cast<std::streamsize>(taken);
    }
    int sync() override { return room_ == 0 ? -1 : 0; }

private:
    std::size_t room_;
};

struct NoSaves final : SaveSlot {
    int load(std::string_view) override { return 0; }
    void save(std::string_view, int) override {}
};

// A game whose output stops being written ends with status 1, without
// pausing or reading any more; while writes succeed nothing changes.
TEST(LostOutput, EndsTheGameAtOnceWithStatusOne) {
    const std::string loop = "# Section 0\n[Narration]\nEncore un tour.\n[/Narration]\n[Choix]\nTourner -> Section : 0\n";
    const std::string keys = "1\n" + repeat("1\n", 500);
    const auto play = [&](std::streambuf& output, RecordingPacer& pacer, std::istringstream& answers) {
        std::ostream out(&output);
        const ConsoleOverride console(Console{&answers, &out, &pacer});
        NoSaves no_saves;
        const SaveSlotOverride slot(no_saves);
        StoriesInMemory shelf({{"boucle.txt", loop}});
        return run_program(shelf);
    };
    std::stringbuf whole;
    RecordingPacer pacer;
    std::istringstream answers(keys);
    ASSERT_EQ(play(whole, pacer, answers), 0);
    const std::size_t first_narration = whole.str().find("Encore");
    ASSERT_NE(first_narration, std::string::npos);

    // Lost before the story menu's answer, then in the middle of the first narration.
    for (const std::size_t room : {std::size_t{0}, first_narration + 5}) {
        SCOPED_TRACE(room);
        FillingOutput filling(room);
        RecordingPacer pacer_after_loss;
        std::istringstream answers_after_loss(keys);
        EXPECT_EQ(play(filling, pacer_after_loss, answers_after_loss), 1);
        EXPECT_EQ(answers_after_loss.tellg(), room == 0 ? 0 : 1) << "answers read after the output was lost";
        EXPECT_LE(pacer_after_loss.pauses_ms.size(), room == 0 ? 0 : 6) << "paused into nothing";
    }
}
}  // namespace
