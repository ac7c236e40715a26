#include "lookalikes.hpp"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<Lookalike, 26> lookalikes{{
    {"\xC2\xA0", "espace insécable", " ", true},
    {"\xE2\x80\xAF", "espace fine insécable", " ", true},
    {"\xE2\x80\x89", "espace fine", " ", true},
    {"\xE2\x80\x8B", "espace de largeur nulle", "", true},
    {"\xEF\xBB\xBF", "marque d'ordre des octets (BOM)", "", true},
    {"\xE2\x80\x90", "trait d'union typographique", "-", false},
    {"\xE2\x80\x91", "trait d'union insécable", "-", false},
    {"\xE2\x80\x92", "tiret numérique", "-", false},
    {"\xE2\x80\x93", "tiret demi-cadratin", "-", false},
    {"\xE2\x80\x94", "tiret cadratin", "-", false},
    {"\xE2\x88\x92", "signe moins", "-", false},
    {"\xE2\x86\x92", "flèche typographique", "->", false},
    {"\xE2\x9F\xB6", "flèche longue", "->", false},
    {"\xE2\x87\x92", "flèche double", "->", false},
    {"\xE2\x9E\x94", "flèche typographique", "->", false},
    {"\xE2\x9E\x9C", "flèche typographique", "->", false},
    {"\xE2\x80\x99", "apostrophe typographique", "'", false},
    {"\xE2\x80\x98", "apostrophe ouvrante", "'", false},
    {"\xCA\xBC", "apostrophe modificative", "'", false},
    {"\xC2\xAB", "guillemet français", "\"", false},
    {"\xC2\xBB", "guillemet français", "\"", false},
    {"\xE2\x80\x9C", "guillemet anglais", "\"", false},
    {"\xE2\x80\x9D", "guillemet anglais", "\"", false},
    {"\xE2\x80\x9E", "guillemet bas", "\"", false},
    {"\xE2\x80\xB9", "chevron typographique", "<", false},
    {"\xE2\x80\xBA", "chevron typographique", ">", false},
}};

// A combining accent (U+0300 to U+0327, two bytes 0xCC xx) and the letters
// it composes with, each with the code point of the composed letter.
struct CombiningAccent {
    char second_byte;
    std::string_view letters;
    std::array<char32_t, 12> composed;
};

constexpr std::array<CombiningAccent, 6> combining_accents{{
    {'\x80', "AEIOUaeiou", {0xC0, 0xC8, 0xCC, 0xD2, 0xD9, 0xE0, 0xE8, 0xEC, 0xF2, 0xF9}},                // grave
    {'\x81', "AEIOUYaeiouy", {0xC1, 0xC9, 0xCD, 0xD3, 0xDA, 0xDD, 0xE1, 0xE9, 0xED, 0xF3, 0xFA, 0xFD}},  // acute
    {'\x82', "AEIOUaeiou", {0xC2, 0xCA, 0xCE, 0xD4, 0xDB, 0xE2, 0xEA, 0xEE, 0xF4, 0xFB}},                // circumflex
    {'\x83', "ANOano", {0xC3, 0xD1, 0xD5, 0xE3, 0xF1, 0xF5}},                                              // tilde
    {'\x88', "AEIOUYaeiouy", {0xC4, 0xCB, 0xCF, 0xD6, 0xDC, 0x178, 0xE4, 0xEB, 0xEF, 0xF6, 0xFC, 0xFF}}, // diaeresis
    {'\xA7', "Cc", {0xC7, 0xE7}},                                                                          // cedilla
}};

void append_utf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The composed letter for `letter` followed by the accent at `text[at]`.
std::optional<char32_t> composed_letter(char letter, std::string_view text, std::size_t at) {
    if (at + 1 >= text.size() || text[at] != '\xCC') return std::nullopt;
    for (const CombiningAccent& accent : combining_accents) {
        if (accent.second_byte != text[at + 1]) continue;
        const std::size_t found = accent.letters.find(letter);
        if (found != std::string_view::npos) return accent.composed[found];
    }
    return std::nullopt;
}

}  // namespace

const Lookalike* lookalike_at(std::string_view text, std::size_t at) {
    const std::string_view rest = text.substr(std::min(at, text.size()));
    const auto found = std::find_if(lookalikes.begin(), lookalikes.end(),
                                    [&](const Lookalike& sign) { return rest.starts_with(sign.bytes); });
    return found == lookalikes.end() ? nullptr : &*found;
}

std::optional<FoundLookalike> first_lookalike(std::string_view text, std::size_t from) {
    for (std::size_t at = from; at < text.size(); ++at) {
        if (static_cast<unsigned char>(text[at]) < 0x80) continue;
        if (const Lookalike* sign = lookalike_at(text, at)) return FoundLookalike{at, sign};
    }
    return std::nullopt;
}

std::string plain_signs(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const Lookalike* sign = lookalike_at(text, at)) {
            plain += sign->plain;
            at += sign->bytes.size();
        } else {
            plain += text[at++];
        }
    }
    return plain;
}

std::string_view trim_any_blanks(std::string_view text) {
    const auto blank_at_start = [](std::string_view t) -> std::size_t {
        if (t.front() == ' ' || t.front() == '\t') return 1;
        const Lookalike* sign = lookalike_at(t, 0);
        return sign != nullptr && sign->invisible ? sign->bytes.size() : 0;
    };
    const auto blank_at_end = [](std::string_view t) -> std::size_t {
        if (t.back() == ' ' || t.back() == '\t') return 1;
        for (const Lookalike& sign : lookalikes) {
            if (sign.invisible && t.ends_with(sign.bytes)) return sign.bytes.size();
        }
        return 0;
    };
    while (!text.empty()) {
        if (const std::size_t n = blank_at_start(text)) {
            text.remove_prefix(n);
        } else if (const std::size_t m = blank_at_end(text)) {
            text.remove_suffix(m);
        } else {
            break;
        }
    }
    return text;
}

std::string describe_lookalike(const Lookalike& sign) {
    if (sign.invisible) {
        return "une " + std::string(sign.name) + (sign.plain.empty() ? ", invisible" : " au lieu d'une espace ordinaire");
    }
    return "« " + std::string(sign.bytes) + " » (" + std::string(sign.name) + ") au lieu de « " +
           std::string(sign.plain) + " »";
}

std::string compose_accents(std::string_view text) {
    std::string composed;
    composed.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (const auto letter = composed_letter(text[at], text, at + 1)) {
            append_utf8(composed, *letter);
            at += 2;
        } else {
            composed += text[at];
        }
    }
    return composed;
}

bool has_decomposed_accent(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (composed_letter(text[at], text, at + 1)) return true;
    }
    return false;
}
