// The reports of orlimar-check where golden cases cannot look: how words are
// counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "text_excerpt.hpp"

namespace {

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

}  // namespace
