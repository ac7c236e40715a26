// Short, printable pieces of story text for messages and map labels, and
// the words a text holds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// `text` with every byte that is not part of a well-formed UTF-8 sequence
// replaced by U+FFFD, so that whatever the story file holds can be shown.
std::string valid_utf8(std::string_view text);

// The start of `text` in at most `max_characters` characters (code points),
// with runs of white space folded into one blank, cut after a whole word
// where one fits and followed by "…" when something was left out.
std::string excerpt(std::string_view text, std::size_t max_characters);

// How many words `text` holds, as a word processor counts them in French: a
// word is a run of characters between blanks (non-breaking spaces included)
// that holds at least one letter or digit, so « l'homme » and « peut-être »
// are one word each and a dash or a quotation mark standing alone is none.
// Bytes that are not UTF-8 are neither letters nor blanks.
std::size_t count_words(std::string_view text);
