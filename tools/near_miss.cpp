#include "near_miss.hpp"

#include <algorithm>
#include <array>
#include <cstddef>

#include "story.hpp"
#include "wording.hpp"

namespace {

// Base letters of U+00C0 to U+00FF (second byte 0x80 to 0xBF after 0xC3);
// '.' keeps the character as it is.
constexpr std::string_view latin1_letters =
    "aaaaaa.ceeeeiiiidnooooo.ouuuuy.."
    "aaaaaa.ceeeeiiiidnooooo.ouuuuy.y";

// A byte that can be part of a word: an ASCII letter or any byte of a
// multi-byte character.
bool is_word_byte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || byte >= 0x80;
}

std::size_t word_end(std::string_view text, std::size_t from) {
    while (from < text.size() && is_word_byte(text[from])) ++from;
    return from;
}

std::size_t skip_blanks(std::string_view text, std::size_t from) {
    while (from < text.size() && is_line_blank(text[from])) ++from;
    return from;
}

// Whether `a` becomes `b` by changing, adding or removing at most one byte.
bool within_one_edit(std::string_view a, std::string_view b) {
    if (a.size() > b.size()) std::swap(a, b);
    if (b.size() - a.size() > 1) return false;
    std::size_t i = 0;
    while (i < a.size() && a[i] == b[i]) ++i;
    if (i == a.size()) return true;  // equal, or one byte added at the end
    if (a.size() == b.size()) return a.substr(i + 1) == b.substr(i + 1);
    return a.substr(i) == b.substr(i + 1);
}

// The typographic signs that stand in for the plain ones, with what they
// stand for. Non-breaking spaces count as blanks.
struct Replacement {
    std::string_view typographic;
    char plain;
};
constexpr std::array<Replacement, 10> typographic_signs{{
    {"\xC2\xAB", '"'},      // «
    {"\xC2\xBB", '"'},      // »
    {"\xE2\x80\x9C", '"'},  // “
    {"\xE2\x80\x9D", '"'},  // ”
    {"\xE2\x80\x9E", '"'},  // „
    {"\xE2\x80\xB9", '<'},  // ‹
    {"\xE2\x80\xBA", '>'},  // ›
    {"\xC2\xA0", ' '},      // no-break space
    {"\xE2\x80\xAF", ' '},  // narrow no-break space
    {"\xE2\x80\x89", ' '},  // thin space
}};

std::string plain_signs(std::string_view text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size();) {
        const auto found = std::find_if(typographic_signs.begin(), typographic_signs.end(),
                                        [&](const Replacement& r) { return text.substr(i).starts_with(r.typographic); });
        if (found != typographic_signs.end()) {
            plain += found->plain;
            i += found->typographic.size();
        } else {
            plain += text[i++];
        }
    }
    return plain;
}

std::optional<NearMiss> item_between(char open, char close, std::string_view name, NearMissCause cause) {
    name = trim_blanks(name);
    if (name.empty()) return std::nullopt;
    const NearMissKind kind = open == '"' ? NearMissKind::gain_item : NearMissKind::lose_item;
    return NearMiss{kind, cause, std::string(1, open) + std::string(name) + close};
}

// An item line with a quote or an angle bracket missing at one end; the
// line holds no other such sign and is no longer than an item line can be.
std::optional<NearMiss> item_missing_sign(std::string_view line) {
    if (line.size() > max_item_name_bytes + 1) return std::nullopt;
    const auto count = [&](char c) { return std::count(line.begin(), line.end(), c); };
    const auto quotes = count('"');
    const auto angles = count('<') + count('>');
    if (quotes == 1 && angles == 0 && (line.front() == '"' || line.back() == '"')) {
        return item_between('"', '"', line.front() == '"' ? line.substr(1) : line.substr(0, line.size() - 1),
                            NearMissCause::missing_sign);
    }
    if (quotes == 0 && angles == 1 && (line.front() == '<' || line.back() == '>')) {
        return item_between('<', '>', line.front() == '<' ? line.substr(1) : line.substr(0, line.size() - 1),
                            NearMissCause::missing_sign);
    }
    return std::nullopt;
}

std::optional<NearMiss> item_near_miss(std::string_view raw, std::string_view line) {
    const LineKind trimmed_kind = classify_line(line);
    if (line.size() != raw.size() && (trimmed_kind == LineKind::gain_item || trimmed_kind == LineKind::lose_item)) {
        const NearMissKind kind = trimmed_kind == LineKind::gain_item ? NearMissKind::gain_item : NearMissKind::lose_item;
        return NearMiss{kind, NearMissCause::stray_blanks, std::string(line)};
    }
    const std::string plain = plain_signs(line);
    if (plain != line) {
        const std::string_view p = trim_blanks(plain);
        const LineKind kind = classify_line(p);
        if (kind == LineKind::gain_item && p.size() >= 2) {
            return item_between('"', '"', p.substr(1, p.size() - 2), NearMissCause::typographic_quotes);
        }
        if (kind == LineKind::lose_item && p.size() >= 2) {
            return item_between('<', '>', p.substr(1, p.size() - 2), NearMissCause::typographic_quotes);
        }
        if (auto missing = item_missing_sign(p)) {
            missing->cause = NearMissCause::typographic_quotes;
            return missing;
        }
        return std::nullopt;
    }
    return item_missing_sign(line);
}

struct MarkerWord {
    std::string_view folded;
    std::string_view marker;
};
constexpr std::array<MarkerWord, 4> marker_words{{
    {"narration", narration_marker},
    {"dialogue", dialogue_marker},
    {"choix", choice_marker},
    {"fin", ending_marker},
}};

// "[fin]", "[Choix", "Dialogue]", "[Dialogues]", "[ Fin ]", or the word
// alone on its line.
std::optional<NearMiss> marker_near_miss(std::string_view line) {
    const bool open = line.starts_with('[');
    const std::size_t word_start = skip_blanks(line, open ? 1 : 0);
    const std::size_t end = word_end(line, word_start);
    const std::size_t after = skip_blanks(line, end);
    const bool close = after < line.size() && line[after] == ']';
    const bool alone = trim_blanks(line.substr(close ? after + 1 : after)).empty();
    if (!open && !close && !alone) return std::nullopt;
    const std::string_view word = line.substr(word_start, end - word_start);
    const std::string folded = fold_spelling(word);
    for (const MarkerWord& candidate : marker_words) {
        const bool same = folded == candidate.folded;
        const bool close_enough = open && close && candidate.folded.size() >= 5 && within_one_edit(folded, candidate.folded);
        if (!same && !close_enough) continue;
        NearMissCause cause = NearMissCause::spelling;
        if (!open || !close) {
            cause = NearMissCause::missing_sign;
        } else if (same && word_start == 1 && after == end) {
            cause = NearMissCause::letters;
        } else if (same) {
            cause = NearMissCause::stray_blanks;
        }
        return NearMiss{NearMissKind::marker, cause, std::string(candidate.marker)};
    }
    return std::nullopt;
}

// "# section 2", "#Section 2", "## Section 2", "Section 2".
std::optional<NearMiss> header_near_miss(std::string_view line) {
    constexpr std::string_view header = section_marker;
    std::size_t start = 0;
    while (start < line.size() && (line[start] == '#' || is_line_blank(line[start]))) ++start;
    const bool hashed = start > 0 && line.front() == '#';
    const std::size_t end = word_end(line, start);
    if (fold_spelling(line.substr(start, end - start)) != "section") return std::nullopt;
    const std::string_view rest = line.substr(end);
    const std::string_view rest_trimmed = trim_blanks(rest);
    if (!hashed && !rest_trimmed.empty() && !(rest_trimmed.front() >= '0' && rest_trimmed.front() <= '9')) {
        return std::nullopt;
    }
    NearMissCause cause = NearMissCause::spelling;
    if (!hashed) {
        cause = NearMissCause::missing_sign;
    } else if (line.substr(0, start) == "# ") {
        cause = NearMissCause::letters;
    }
    std::string wanted(header);
    if (!rest.empty() && !is_line_blank(rest.front())) wanted += ' ';
    wanted += rest;
    return NearMiss{NearMissKind::section_header, cause, std::move(wanted)};
}

}  // namespace

std::string fold_spelling(std::string_view text) {
    text = trim_blanks(text);
    std::string folded;
    folded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            folded += static_cast<char>(c - 'A' + 'a');
        } else if (c == '\xC3' && i + 1 < text.size()) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            const char base = second >= 0x80 && second <= 0xBF ? latin1_letters[second - 0x80] : '.';
            if (base != '.') {
                folded += base;
                ++i;
            } else {
                folded += c;
            }
        } else if (c == '\xC5' && i + 1 < text.size() && (text[i + 1] == '\x92' || text[i + 1] == '\x93')) {
            folded += "oe";  // Œ, œ
            ++i;
        } else {
            folded += c;
        }
    }
    return folded;
}

std::optional<NearMiss> near_miss(std::string_view raw) {
    const std::string_view line = trim_blanks(raw);
    if (line.empty() || line.find(choice_arrow) != std::string_view::npos || line.starts_with('-')) return std::nullopt;
    if (line.front() == '#' || fold_spelling(line).starts_with("section")) {
        if (auto header = header_near_miss(line)) return header;
    }
    if (auto marker = marker_near_miss(line)) return marker;
    return item_near_miss(raw, line);
}
