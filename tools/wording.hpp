// The small pieces of French every message of orlimar-check is made of:
// quoted story text, counted words, and the blanks an author may leave
// around what they wrote.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Longest piece of a story line quoted in a message.
inline constexpr std::size_t quoted_line_characters = 40;

// "« text »": a short excerpt of story text, printable whatever its bytes.
std::string quote(std::string_view text);

// "« text »" with the whole text, printable whatever its bytes: for what an
// author must type exactly.
std::string exact_quote(std::string_view text);

// "0 erreur", "1 erreur", "2 erreurs": in French, 0 and 1 take the singular.
// `plural_ending` is what the plural adds ("" for "fois", "choix").
std::string count_of(long long count, std::string_view word, std::string_view plural_ending = "s");

// The blanks an author may leave on a line: space and tab.
constexpr bool is_line_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim_leading_blanks(std::string_view text);
std::string_view trim_trailing_blanks(std::string_view text);
std::string_view trim_blanks(std::string_view text);
