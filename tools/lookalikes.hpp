// Characters that look like the signs the format is made of but are other
// bytes: what a word processor or a French keyboard layout types in place of
// the plain space, dash, arrow, quote or apostrophe. The game compares bytes,
// so each one silently breaks the line it stands in; the checker names them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct Lookalike {
    std::string_view bytes;  // its UTF-8 encoding
    std::string_view name;   // as named to a French author
    std::string_view plain;  // what the format wants in its place
    bool invisible;          // a blank: naming it says more than quoting it
};

// The look-alike that starts at `at` in `text`, if any.
const Lookalike* lookalike_at(std::string_view text, std::size_t at);

// A look-alike found in a text: where, and which.
struct FoundLookalike {
    std::size_t at = 0;
    const Lookalike* sign = nullptr;
};

// The first look-alike in `text`, from `from` on.
std::optional<FoundLookalike> first_lookalike(std::string_view text, std::size_t from = 0);

// `text` with every look-alike replaced by its plain sign.
std::string plain_signs(std::string_view text);

// "« — » (tiret cadratin) au lieu de « - »", or for a blank "une espace
// insécable au lieu d'une espace ordinaire".
std::string describe_lookalike(const Lookalike& sign);

// `text` without the blanks around it: spaces, tabs and the invisible
// look-alikes (no-break spaces...).
std::string_view trim_any_blanks(std::string_view text);

// `text` with the accents written as a letter followed by a combining mark
// (what some Mac and Linux tools produce) composed into the one character
// French keyboards type. Covers the Latin letters of French.
std::string compose_accents(std::string_view text);

// Whether `text` holds a letter followed by a combining accent.
bool has_decomposed_accent(std::string_view text);
