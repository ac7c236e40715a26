// The colour codes the game writes around coloured texts, and how to find
// them again in what it wrote.
#pragma once

#include <cstddef>
#include <string_view>

inline constexpr std::string_view colour_red = "\033[31m";     // other speakers, the menu's invalid choice
inline constexpr std::string_view colour_green = "\033[32m";   // the player's name, options, MAR
inline constexpr std::string_view colour_yellow = "\033[33m";  // the menu's extra entries, ORLI
inline constexpr std::string_view colour_blue = "\033[34m";    // the selection banner
inline constexpr std::string_view colour_reset = "\033[0m";    // after every coloured text

// Length of the colour code starting at `at` in `text` ("\033[", digits and
// ';', then "m"), or 0 when none starts there.
constexpr std::size_t colour_code_length(std::string_view text, std::size_t at) {
    if (text.substr(at, 2) != "\033[") return 0;
    std::size_t end = at + 2;
    while (end < text.size() && ((text[end] >= '0' && text[end] <= '9') || text[end] == ';')) ++end;
    return end < text.size() && text[end] == 'm' ? end + 1 - at : 0;
}
