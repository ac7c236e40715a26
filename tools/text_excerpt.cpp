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

// The code point of the well-formed sequence of `length` bytes at the start
// of `text`.
char32_t code_point(std::string_view text, std::size_t length) {
    static constexpr unsigned char lead_bits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t point = static_cast<unsigned char>(text[0]) & lead_bits[length];
    for (std::size_t i = 1; i < length; ++i) point = (point << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    return point;
}

// What separates words: ASCII white space and the Unicode spaces French
// typography puts before « ! ? ; : » and inside numbers.
bool separates_words(char32_t point) {
    return point == ' ' || point == '\t' || point == '\n' || point == '\r' || point == '\v' || point == '\f' ||
           point == 0xA0 || (point >= 0x2000 && point <= 0x200B) || point == 0x202F || point == 0x205F ||
           point == 0x3000;
}

// Letters and digits: ASCII ones, and every code point from U+00C0 on but
// the multiplication and division signs and the blocks of punctuation,
// symbols, arrows and drawing (U+2000 to U+2BFF), so that «, — or … standing
// alone is no word.
bool is_word_character(char32_t point) {
    if (point < 0x80) {
        return (point >= 'a' && point <= 'z') || (point >= 'A' && point <= 'Z') || (point >= '0' && point <= '9');
    }
    return point >= 0xC0 && point != 0xD7 && point != 0xF7 && !(point >= 0x2000 && point < 0x2C00);
}

}  // namespace

std::size_t count_words(std::string_view text) {
    std::size_t words = 0;
    bool in_word = false;  // within a run of characters that holds a letter or a digit
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequence_length(text.substr(i));
        if (length == 0) {  // a byte that is not UTF-8 neither makes nor ends a word
            ++i;
            continue;
        }
        const char32_t point = code_point(text.substr(i), length);
        i += length;
        if (separates_words(point)) {
            in_word = false;
        } else if (!in_word && is_word_character(point)) {
            in_word = true;
            ++words;
        }
    }
    return words;
}

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
