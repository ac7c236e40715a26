// What a line that the game ignores was probably meant to be: a marker, a
// section header or an item line written with the wrong case or accents,
// typographic quotes, a missing bracket or stray blanks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// `text` in lower case, without accents and without its outer blanks: two
// spellings that only these tell apart fold to the same bytes. Covers ASCII
// and the Latin letters of French; other bytes are kept as they are.
std::string fold_spelling(std::string_view text);

enum class NearMissKind { section_header, marker, gain_item, lose_item };

enum class NearMissCause {
    letters,             // case or accents
    typographic_quotes,  // « », “ ”, ‹ › instead of the plain signs
    missing_sign,        // a bracket, a quote, an angle bracket or the "#" is missing
    stray_blanks,        // blanks after the closing sign
    spelling,            // the word or the signs around it are not the format's
};

struct NearMiss {
    NearMissKind kind;
    NearMissCause cause;
    std::string wanted;  // the line as the format wants it
};

// Looks at a line the main loop ignored (cut at its line end).
std::optional<NearMiss> near_miss(std::string_view line);
