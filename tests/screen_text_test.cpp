// Where typed text lands on a terminal: display columns and word wrapping.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "screen_text.hpp"

namespace {

using namespace screen_text;

struct WrapCase {
    const char* name;
    std::string_view text;
    int column;
    int width;
    std::string_view shown;
};

TEST(ScreenText, WrapsAtTheLastBlankThatKeepsTheNextWordOnTheLine) {
    const WrapCase cases[] = {
        {"width unknown", "un deux trois quatre", 0, 0, "un deux trois quatre"},
        {"fits exactly", "un deux", 0, 7, "un deux"},
        {"one column short", "un deux", 0, 6, "un\ndeux"},
        // Counted in bytes, "éé éé éé" is 14 wide and would break twice.
        {"accents are one column", "éé éé éé", 0, 8, "éé éé éé"},
        {"box drawing is one column", "══ ║║ ╔╗", 0, 5, "══ ║║\n╔╗"},
        {"colour codes take no room", "\033[31mrouge\033[0m vert bleu", 0, 10, "\033[31mrouge\033[0m vert\nbleu"},
        {"wide characters are two", "日本 語", 0, 6, "日本\n語"},
        {"starts after a prefix", "abc def", 5, 8, "abc\ndef"},
        {"the text's own line ends restart the count", "abcd\nef gh", 0, 5, "abcd\nef gh"},
        {"a word wider than the line is left to the terminal", "a bcdefghij k", 0, 5, "a bcdefghij k"},
        {"blanks running past the edge", "abcd  ef", 0, 5, "abcd \nef"},
    };
    for (const WrapCase& test : cases) {
        EXPECT_EQ(wrap_words(test.text, test.column, test.width), test.shown) << test.name;
    }
}

TEST(ScreenText, TheCursorFollowsTheTerminal) {
    struct TrackCase {
        const char* name;
        std::string_view bytes;
        int width;
        int column;
    };
    const TrackCase cases[] = {
        {"plain", "abc", 0, 3},
        {"line feed", "abc\nde", 0, 2},
        {"carriage return", "abc\rd", 0, 1},
        {"escape sequences", "\033[1;32mab\033[0m", 0, 2},
        {"two-byte letters", "éèà", 0, 3},
        {"a cut character counts once", "\xC3" "a", 0, 2},
        {"stray continuation byte", "\x80", 0, 1},
        {"tab to the next stop", "ab\tc", 0, 9},
        {"folds when the next character does not fit", "abcdef", 4, 2},
        {"the last column is still on the line", "abcd", 4, 4},
    };
    for (const TrackCase& test : cases) {
        ColumnTracker cursor;
        cursor.set_width(test.width);
        cursor.feed(test.bytes);
        EXPECT_EQ(cursor.column(), test.column) << test.name;
    }
}

TEST(ScreenText, TheSystemsWidthComesFirstAndTheTableWhenItCannotTell) {
    constexpr ColumnsOf cannot_tell = [](char32_t) { return -1; };
    constexpr ColumnsOf all_wide = [](char32_t) { return 2; };
    EXPECT_EQ(character_columns(U'é', cannot_tell), 1);
    EXPECT_EQ(character_columns(U'\u0301', cannot_tell), 0);  // combining acute accent
    EXPECT_EQ(character_columns(U'語', nullptr), 2);
    EXPECT_EQ(character_columns(U'é', all_wide), 2);
}

}  // namespace
