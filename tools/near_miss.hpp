// What a line that the game ignores was probably meant to be: a marker, a
// section header or an item line written with the wrong case or accents,
// typographic quotes, a missing bracket or stray blanks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "diagnostics.hpp"
#include "lookalikes.hpp"

// `text` in lower case, without accents and without its outer blanks: two
// spellings that only these tell apart fold to the same bytes. Covers ASCII
// and the Latin letters of French; other bytes are kept as they are.
std::string fold_spelling(std::string_view text);

enum class NearMissKind { section_header, marker, gain_item, lose_item };

enum class NearMissCause {
    letters,             // case or accents
    typographic_quotes,  // « », “ ”, ‹ › instead of the plain signs
    lookalike,           // another look-alike sign: no-break space, dash, arrow...
    missing_sign,        // a bracket, a quote, an angle bracket or the "#" is missing
    extra_sign,          // a bracket too many
    stray_blanks,        // blanks after the closing sign
    indented,            // blanks before the marker
    after_text,          // the marker ends a line of text
    spelling,            // the word or the signs around it are not the format's
};

struct NearMiss {
    NearMissKind kind;
    NearMissCause cause;
    std::string wanted;              // the line as the format wants it
    const Lookalike* sign = nullptr;  // for a look-alike: the first one
};

// Looks at a line the main loop ignored (cut at its line end).
std::optional<NearMiss> near_miss(std::string_view line);

// Looks at a line that an open narration block read as text: whether it
// tried to close the block ("[/narration]", "  [/Narration]",
// "texte[/Narration]").
std::optional<NearMiss> narration_end_near_miss(std::string_view line);

// Why the line is not what it tries to be, as told to an author.
std::string near_miss_cause(const NearMiss& miss);

// The warning for a near miss on `line`, whose bytes are `text`: what the
// game did with it (ignored, or `swallowed` by the end of the block before
// it), why, and the line to write instead.
Diagnostic describe_near_miss(int line, std::string_view text, const NearMiss& miss, bool swallowed = false);
