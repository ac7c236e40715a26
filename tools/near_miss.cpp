#include "near_miss.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "lookalikes.hpp"
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

// Whether `a` becomes `b` in at most `budget` edits, an edit being a byte
// changed, added or removed, or two neighbouring bytes swapped.
bool within_edits(std::string_view a, std::string_view b, std::size_t budget) {
    if (a.size() > b.size()) std::swap(a, b);
    if (b.size() - a.size() > budget) return false;
    // Optimal string alignment distance, three rows at a time.
    std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                row[j] = std::min(row[j], before[j - 2] + 1);
            }
        }
        before.swap(previous);
        previous.swap(row);
    }
    return previous[b.size()] <= budget;
}

// How many edits a misspelt marker word may hold: none below five letters,
// where one edit turns ordinary words into markers; two from eight.
std::size_t edit_budget(std::string_view word) {
    if (word.size() < 5) return 0;
    return word.size() < 8 ? 1 : 2;
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
    std::string folded;  // the word between the brackets, slash included, folded
    std::string_view marker;
};

// The bracketed markers of the format, from the core's list of line kinds.
const std::vector<MarkerWord>& marker_words() {
    static const std::vector<MarkerWord> words = [] {
        std::vector<MarkerWord> found;
        for (const LineKind kind : all_line_kinds) {
            const std::string_view marker = line_marker(kind);
            if (!marker.starts_with('[') || !marker.ends_with(']')) continue;
            found.push_back({fold_spelling(marker.substr(1, marker.size() - 2)), marker});
        }
        return found;
    }();
    return words;
}

// Where the word of a bracketed marker starts: after "[", blanks, and
// the slash of "[/Narration]", written "[ /", "[\\" or "/" alone.
std::size_t marker_word_start(std::string_view line, bool open, bool& slash, bool& doubled) {
    doubled = open && line.size() > 1 && line[1] == '[';
    std::size_t at = skip_blanks(line, open ? (doubled ? 2 : 1) : 0);
    slash = at < line.size() && (line[at] == '/' || line[at] == '\\');
    return slash ? skip_blanks(line, at + 1) : at;
}

// "[fin]", "[Choix", "Dialogue]", "[Dialogues]", "[ Fin ]", "[Narattion]",
// "[/narration]", "[Narration]]", or the word alone on its line.
std::optional<NearMiss> marker_near_miss(std::string_view line) {
    const bool open = line.starts_with('[');
    bool slash = false;
    bool doubled = false;
    const std::size_t word_start = marker_word_start(line, open, slash, doubled);
    const std::size_t end = word_end(line, word_start);
    const std::size_t after = skip_blanks(line, end);
    const bool close = after < line.size() && line[after] == ']';
    std::size_t rest = close ? after + 1 : after;
    const bool doubled_close = close && rest < line.size() && line[rest] == ']';
    if (doubled_close) ++rest;
    const bool extra_bracket = doubled || doubled_close;
    const bool alone = trim_blanks(line.substr(rest)).empty();
    if (!open && !close && !alone) return std::nullopt;
    const std::string folded = (slash ? "/" : "") + fold_spelling(line.substr(word_start, end - word_start));
    // The word itself first, so that "[/narration]" is not "[Narration]"
    // with a slash too many.
    const std::vector<MarkerWord>& words = marker_words();
    const auto same_word = std::find_if(words.begin(), words.end(),
                                        [&](const MarkerWord& candidate) { return folded == candidate.folded; });
    for (const MarkerWord& candidate : words) {
        const bool same = folded == candidate.folded;
        const bool close_enough = same_word == words.end() && open && close &&
                                  within_edits(folded, candidate.folded, edit_budget(candidate.folded));
        if (!same && !close_enough) continue;
        NearMissCause cause = NearMissCause::spelling;
        if (!open || !close) {
            cause = NearMissCause::missing_sign;
        } else if (extra_bracket) {
            cause = NearMissCause::extra_sign;
        } else if (same && word_start == (slash ? 2u : 1u) + (doubled ? 1u : 0u) && after == end) {
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

namespace {

std::optional<NearMiss> near_miss_of_plain_line(std::string_view raw) {
    const std::string_view line = trim_blanks(raw);
    if (line.empty() || line.find(choice_arrow) != std::string_view::npos || line.starts_with('-')) return std::nullopt;
    if (line.front() == '#' || fold_spelling(line).starts_with("section")) {
        if (auto header = header_near_miss(line)) return header;
    }
    if (auto marker = marker_near_miss(line)) return marker;
    return item_near_miss(raw, line);
}

}  // namespace

std::optional<NearMiss> near_miss(std::string_view raw) {
    if (classify_line(raw) != LineKind::other) return std::nullopt;  // well written, maybe in the wrong place
    if (auto miss = near_miss_of_plain_line(raw)) return miss;
    // A header or a marker written with a look-alike sign: the whole line is
    // the format's, so every look-alike in it goes.
    const auto found = first_lookalike(raw);
    if (!found) return std::nullopt;
    const std::string plain = plain_signs(raw);
    const LineKind kind = classify_line(plain);
    if (kind == LineKind::section_header || is_block_marker(kind) || kind == LineKind::narration_end) {
        return NearMiss{kind == LineKind::section_header ? NearMissKind::section_header : NearMissKind::marker,
                        NearMissCause::lookalike, plain, found->sign};
    }
    auto miss = near_miss_of_plain_line(plain);
    if (!miss || (miss->kind != NearMissKind::section_header && miss->kind != NearMissKind::marker)) return std::nullopt;
    miss->cause = NearMissCause::lookalike;
    miss->sign = found->sign;
    return miss;
}

std::optional<NearMiss> narration_end_near_miss(std::string_view line) {
    if (classify_line(line) != LineKind::other) return std::nullopt;
    const std::size_t written = line.find(narration_end_marker);
    if (written != std::string_view::npos) {
        const bool indented = trim_leading_blanks(line.substr(0, written)).empty();
        return NearMiss{NearMissKind::marker, indented ? NearMissCause::indented : NearMissCause::after_text,
                        std::string(narration_end_marker)};
    }
    auto miss = near_miss(line);
    if (!miss || miss->kind != NearMissKind::marker || miss->wanted != narration_end_marker) return std::nullopt;
    if (miss->cause != NearMissCause::lookalike && line.size() != trim_leading_blanks(line).size() &&
        classify_line(trim_leading_blanks(line)) != LineKind::other) {
        miss->cause = NearMissCause::indented;
    }
    return miss;
}

std::string near_miss_cause(const NearMiss& miss) {
    switch (miss.cause) {
        case NearMissCause::letters:
            return "le jeu compare les marqueurs à l'octet près, majuscules et accents compris";
        case NearMissCause::typographic_quotes:
            return miss.kind == NearMissKind::gain_item
                       ? "il faut des guillemets droits \", pas des guillemets typographiques"
                       : "il faut les signes < et > du clavier, pas des guillemets typographiques";
        case NearMissCause::lookalike:
            return miss.sign ? "il contient " + describe_lookalike(*miss.sign) : std::string();
        case NearMissCause::missing_sign:
            switch (miss.kind) {
                case NearMissKind::section_header: return "il manque le « # » du début";
                case NearMissKind::marker: return "il manque un crochet";
                case NearMissKind::gain_item: return "il manque un guillemet";
                case NearMissKind::lose_item: return "il manque un chevron";
            }
            break;
        case NearMissCause::extra_sign:
            return "un crochet de trop";
        case NearMissCause::stray_blanks:
            return miss.kind == NearMissKind::marker ? "pas d'espace entre les crochets et le mot"
                                                     : "rien ne doit suivre le dernier signe, pas même une espace";
        case NearMissCause::indented:
            return "un marqueur doit commencer au tout début de la ligne";
        case NearMissCause::after_text:
            return "un marqueur doit être seul au début de sa ligne, pas à la fin d'un texte";
        case NearMissCause::spelling:
            return miss.kind == NearMissKind::section_header
                       ? "un en-tête commence exactement par « # Section » : un dièse, une espace, Section"
                       : "le mot doit être exactement celui du format";
    }
    return {};
}

Diagnostic describe_near_miss(int line, std::string_view text, const NearMiss& miss, bool swallowed) {
    std::string_view what;
    switch (miss.kind) {
        case NearMissKind::section_header: what = "en-tête de section mal écrit"; break;
        case NearMissKind::marker: what = "marqueur mal écrit"; break;
        case NearMissKind::gain_item:
        case NearMissKind::lose_item: what = "ligne d'objet mal écrite"; break;
    }
    const std::string_view after = swallowed ? " ; elle termine aussi le bloc qui la précède sans être lue : laissez "
                                               "une ligne vide avant elle"
                                             : "";
    return with_fix(warning_at(line, std::string(what) + (swallowed ? ", ligne perdue : " : ", ligne ignorée : ") +
                                         quote(text) + " (" + near_miss_cause(miss) + ")" + std::string(after)),
                    miss.wanted);
}
