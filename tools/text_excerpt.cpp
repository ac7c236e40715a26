#include "text_excerpt.hpp"

#include <vector>

namespace {

constexpr std::string_view replacement_character = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view ellipsis = "\xE2\x80\xA6";               // …

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t sequence_length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;  // allowed range of the second byte (rules out
    unsigned char high = 0xBF; // overlong forms, surrogates and past U+10FFFF)
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!is_continuation(byte(i))) return 0;
    }
    return length;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The characters of `text` (valid UTF-8), each as its own string.
std::vector<std::string_view> characters(std::string_view text) {
    std::vector<std::string_view> result;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequence_length(text.substr(i));
        result.push_back(text.substr(i, length));
        i += length;
    }
    return result;
}

}  // namespace

std::string valid_utf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequence_length(text.substr(i));
        if (length == 0) {
            result += replacement_character;
            ++i;
        } else {
            result += text.substr(i, length);
            i += length;
        }
    }
    return result;
}

std::string excerpt(std::string_view text, std::size_t max_characters) {
    // Fold white space and drop other control bytes first.
    std::string folded;
    for (char c : text) {
        const bool control = static_cast<unsigned char>(c) < 0x20 || c == '\x7F';
        if (is_blank(c) || control) {
            if (!folded.empty() && folded.back() != ' ') folded += ' ';
        } else {
            folded += c;
        }
    }
    if (!folded.empty() && folded.back() == ' ') folded.pop_back();
    const std::string clean = valid_utf8(folded);
    const std::vector<std::string_view> chars = characters(clean);
    if (chars.size() <= max_characters) return clean;

    // Keep room for the ellipsis; prefer to stop at the last blank.
    const std::size_t keep = max_characters > 0 ? max_characters - 1 : 0;
    std::size_t cut = keep;
    while (cut > 0 && chars[cut] != " ") --cut;
    if (cut == 0) cut = keep;  // a single long word: cut inside it
    std::string result;
    for (std::size_t i = 0; i < cut; ++i) result += chars[i];
    while (!result.empty() && result.back() == ' ') result.pop_back();
    result += ellipsis;
    return result;
}
