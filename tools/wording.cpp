#include "wording.hpp"

#include "text_excerpt.hpp"

std::string quote(std::string_view text) { return "« " + excerpt(text, quoted_line_characters) + " »"; }

std::string exact_quote(std::string_view text) { return "« " + valid_utf8(text) + " »"; }

std::string count_of(long long count, std::string_view word, std::string_view plural_ending) {
    std::string text = std::to_string(count) + " " + std::string(word);
    if (count > 1) text += plural_ending;
    return text;
}

std::string_view trim_leading_blanks(std::string_view text) {
    while (!text.empty() && is_line_blank(text.front())) text.remove_prefix(1);
    return text;
}

std::string_view trim_trailing_blanks(std::string_view text) {
    while (!text.empty() && is_line_blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view trim_blanks(std::string_view text) { return trim_trailing_blanks(trim_leading_blanks(text)); }
