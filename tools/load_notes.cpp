#include "load_notes.hpp"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <unordered_set>
#include <utility>

#include "console.hpp"
#include "decimal.hpp"
#include "game_engine.hpp"
#include "inventor.hpp"
#include "line_notes.hpp"
#include "near_miss.hpp"
#include "text_excerpt.hpp"
#include "wording.hpp"

namespace {

// How a byte is named in a message to an author.
std::string describe_byte(std::string_view bytes) {
    if (bytes.empty()) return "la fin de ligne";
    const char c = bytes.front();
    const auto byte = static_cast<unsigned char>(c);
    if (c == ' ') return "une espace";
    if (c == '\t') return "une tabulation";
    if (c == '\n' || c == '\r') return "la fin de ligne";
    if (byte < 0x20 || byte >= 0x7F) {
        static constexpr char hex[] = "0123456789ABCDEF";
        return std::string("l'octet 0x") + hex[byte >> 4] + hex[byte & 0xF];
    }
    return std::string("« ") + c + " »";
}

// What a line swallowed at the end of a block is, as named to an author.
std::string_view describe_swallowed_line(std::string_view line) {
    switch (classify_line(line)) {
        case LineKind::section_header:
            return "un en-tête de section";
        case LineKind::gain_item:
        case LineKind::lose_item:
            return "une ligne d'objet";
        case LineKind::narration_start:
        case LineKind::narration_end:
        case LineKind::dialogue_start:
        case LineKind::choice_start:
        case LineKind::ending:
            return "un marqueur";
        case LineKind::other:
            break;
    }
    return "du texte";
}

// What a line that the main loop ignores looks like it was meant to be.
std::string_view describe_ignored_line(std::string_view line) {
    if (line.find(choice_arrow) != std::string_view::npos) return "une ligne de choix";
    if (line.starts_with('-')) return "une ligne de dialogue";
    if (classify_line(line) == LineKind::narration_end) return "un marqueur [/Narration]";
    return "du texte";
}

// What happens to a choice whose target could not be read.
std::string kept_target_note(const NoticeCollector& collector, int line) {
    const auto found = collector.target_on_line.find(line);
    if (found == collector.target_on_line.end()) return {};
    return " ; ce choix mène à la section " + std::to_string(found->second);
}

// Leaving a blank line mends a swallowed marker, header or item line; text
// only shows in a narration.
std::string swallowed_line_advice(const LoadNotice& notice) {
    if (classify_line(cut_at_line_end(notice.bytes)) != LineKind::other) return " ; laissez une ligne vide avant elle";
    return " ; seul le texte d'un bloc [Narration] s'affiche";
}

// A header swallowed by a block opens no section: what follows goes on
// filling the current one.
std::string swallowed_header_note(const LoadNotice& notice) {
    if (classify_line(notice.bytes) != LineKind::section_header || notice.section < 0) return {};
    return ", si bien qu'aucune section ne s'ouvre ici et que la suite remplace le contenu de la section " +
           std::to_string(notice.section);
}

// Whether an ignored line was meant to open a narration, dialogue or choice block.
bool opens_a_block(const LoadNotice& notice) {
    const auto miss = near_miss(notice.bytes);
    if (!miss || miss->kind != NearMissKind::marker) return false;
    const LineKind kind = classify_line(miss->wanted);
    return kind == LineKind::narration_start || kind == LineKind::dialogue_start || kind == LineKind::choice_start;
}

// The near miss a line ignored by the main loop is, if any.
std::optional<Diagnostic> ignored_near_miss(const LoadNotice& notice) {
    if (notice.kind != LoadNoticeKind::line_ignored && notice.kind != LoadNoticeKind::outside_section) return {};
    if (notice.bytes.empty()) return {};
    const std::optional<NearMiss> miss = near_miss(notice.bytes);
    if (!miss) return {};
    return describe_near_miss(notice.line, notice.bytes, *miss);
}

// The message for a problem the loader noticed.
std::optional<Diagnostic> describe_notice(const LoadNotice& notice, const NoticeCollector& collector) {
    const int line = notice.line;
    switch (notice.kind) {
        case LoadNoticeKind::file_unopenable:
            return error_at(0, "impossible d'ouvrir le fichier");
        case LoadNoticeKind::too_many_sections:
            return error_at(line, "plus de " + std::to_string(max_sections) +
                                      " sections : le jeu refuse de charger l'histoire");
        case LoadNoticeKind::target_unparsed:
            // Nothing but blanks after the arrow is a missing target, not a
            // misread one.
            if (is_only_scan_blanks(notice.bytes)) {
                return error_at(line, "cible du choix absente après « -> »" + kept_target_note(collector, line));
            }
            if (auto lookalike = describe_lookalike_target(notice, collector, kept_target_note(collector, line))) {
                return lookalike;
            }
            return error_at(line, "cible du choix illisible : après « -> », le jeu saute " + describe_byte(notice.bytes) +
                                      " puis attend « Section : N »" + kept_target_note(collector, line));
        case LoadNoticeKind::target_out_of_int_range:
            return error_at(line, "numéro de section trop grand pour être lu" + kept_target_note(collector, line));
        case LoadNoticeKind::block_end_swallowed:
            if (auto entry = describe_lookalike_entry(notice, collector)) return entry;
            if (const auto miss = near_miss(cut_at_line_end(notice.bytes))) {
                return describe_near_miss(line, cut_at_line_end(notice.bytes), *miss, true);
            }
            return warning_at(line, "ligne perdue (" + std::string(describe_swallowed_line(notice.bytes)) +
                                        ") : elle termine le bloc de dialogue ou de choix qui la précède "
                                        "sans être lue" + swallowed_header_note(notice) + swallowed_line_advice(notice));
        case LoadNoticeKind::dialogue_without_colon:
            return warning_at(line, "ligne de dialogue sans « : » : elle est sautée");
        case LoadNoticeKind::dialogue_past_limit:
            return warning_at(line, "ligne de dialogue au-delà de la " + std::to_string(max_dialogues) +
                                        "e du bloc : elle est ignorée");
        case LoadNoticeKind::choice_past_limit:
            return warning_at(line, "choix au-delà du " + std::to_string(max_choices) +
                                        "e du bloc : il est ignoré");
        case LoadNoticeKind::item_past_limit:
            return warning_at(line, "ligne d'objet au-delà de la " + std::to_string(max_section_items) +
                                        "e de la section : elle est ignorée");
        case LoadNoticeKind::narration_cut:
            return warning_at(line, "narration coupée à " + std::to_string(LongText::max_size) + " octets");
        case LoadNoticeKind::name_cut:
            return warning_at(line, "nom du personnage coupé à " + std::to_string(NameText::max_size) + " octets");
        case LoadNoticeKind::item_name_cut:
            return warning_at(line, "nom d'objet coupé à " + std::to_string(max_item_name_bytes) + " octets");
        case LoadNoticeKind::line_split:
            return warning_at(line, "ligne trop longue : le jeu en lit " + std::to_string(line_buffer_size - 1) +
                                        " octets (fin de ligne comprise) et prend la suite pour une autre ligne");
        case LoadNoticeKind::byte_order_mark:
            return warning_at(line, "marque d'ordre des octets (BOM) en tête du fichier : "
                                    "la première ligne n'est pas reconnue");
        case LoadNoticeKind::indented_marker:
            return warning_at(line, "ligne indentée ignorée : " + quote(notice.bytes) +
                                        " doit commencer au début de la ligne");
        case LoadNoticeKind::outside_section:
            return warning_at(line, "contenu avant le premier en-tête « # Section » : il est ignoré");
        case LoadNoticeKind::narration_unterminated:
            return warning_at(line, "bloc [Narration] sans « [/Narration] » : il prend toute la suite du fichier");
        case LoadNoticeKind::consequence_after_arrow:
            return warning_at(line, "« ID_Conséquence : » après « -> » n'est pas lu : il doit précéder la flèche");
        case LoadNoticeKind::line_ignored:
            return warning_at(line, "ligne ignorée : " + std::string(describe_ignored_line(notice.bytes)) + " hors de tout bloc");
        case LoadNoticeKind::section_opened:
        case LoadNoticeKind::narration_opened:
        case LoadNoticeKind::narration_text:      // with the markers and missed ends, below
        case LoadNoticeKind::narration_closed:
        case LoadNoticeKind::dialogue_opened:
        case LoadNoticeKind::choice_opened:
        case LoadNoticeKind::dialogue_stored:
        case LoadNoticeKind::choice_stored:
        case LoadNoticeKind::item_stored:
        case LoadNoticeKind::ending_marked:
        case LoadNoticeKind::dialogue_block_full:  // told as the entries past it
        case LoadNoticeKind::choice_block_full:
        case LoadNoticeKind::dialogue_line_split:  // with the long lines, below
        case LoadNoticeKind::choice_line_split:
            break;
    }
    return std::nullopt;
}

// --- Long dialogue and choice lines ----------------------------------------------

// The dialogue and choice lines the reader split: one warning each, instead
// of the general one about long lines and of those about the pieces.
struct LongBlockLines {
    std::set<int> dialogue;
    std::set<int> choice;

    [[nodiscard]] bool covers(const LoadNotice& notice) const {
        const bool piece_problem = notice.kind == LoadNoticeKind::line_split ||
                                   notice.kind == LoadNoticeKind::block_end_swallowed ||
                                   notice.kind == LoadNoticeKind::line_ignored ||
                                   notice.kind == LoadNoticeKind::dialogue_without_colon;
        return piece_problem && (dialogue.contains(notice.line) || choice.contains(notice.line));
    }
};

// A dialogue block's piece that starts with "-" was a dialogue line. A
// choice block's piece was a choice line when it or the rest of its line
// (which the main loop then reads) holds the arrow.
LongBlockLines find_long_block_lines(const std::vector<LoadNotice>& problems) {
    LongBlockLines found;
    std::set<int> choice_blocks_split;
    for (const LoadNotice& notice : problems) {
        if (notice.kind == LoadNoticeKind::dialogue_line_split && notice.bytes.starts_with('-')) {
            found.dialogue.insert(notice.line);
        } else if (notice.kind == LoadNoticeKind::choice_line_split) {
            choice_blocks_split.insert(notice.line);
            if (notice.bytes.find(choice_arrow) != std::string::npos) found.choice.insert(notice.line);
        }
    }
    for (const LoadNotice& notice : problems) {
        if (notice.kind == LoadNoticeKind::line_ignored && choice_blocks_split.contains(notice.line) &&
            notice.bytes.find(choice_arrow) != std::string::npos) {
            found.choice.insert(notice.line);
        }
    }
    return found;
}

void describe_long_block_lines(const LongBlockLines& lines, std::vector<Diagnostic>& out) {
    const std::string limit = "le jeu lit au plus " + std::to_string(line_buffer_size - 1) +
                              " octets par ligne (fin de ligne comprise) et coupe ";
    for (const int line : lines.dialogue) {
        out.push_back(warning_at(line, "réplique trop longue : " + limit +
                                           "celle-ci en deux ; la suite, lue comme une autre ligne, termine le bloc "
                                           "[Dialogue] ; raccourcissez la réplique ou partagez-la en deux lignes "
                                           "« - Nom : … » (une lettre accentuée compte 2 octets)"));
    }
    for (const int line : lines.choice) {
        out.push_back(warning_at(line, "choix trop long : " + limit +
                                           "celui-ci en deux, ce qui termine le bloc [Choix] ; raccourcissez le "
                                           "texte de l'option (une lettre accentuée compte 2 octets)"));
    }
}

// --- Markers swallowed by a narration --------------------------------------------

// "« # Section 2 » (ligne 12), « # Section 3 » (ligne 20) et …", the first
// max_told_per_kind of `total` headers, then how many more.
std::string listed_headers(const std::vector<const LoadNotice*>& headers, int total) {
    const std::size_t shown = std::min<std::size_t>(headers.size(), max_told_per_kind);
    const int more = total - static_cast<int>(shown);
    std::string text;
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) text += i + 1 == shown && more == 0 ? " et " : ", ";
        text += quote(headers[i]->bytes) + " (ligne " + std::to_string(headers[i]->line) + ")";
    }
    if (more > 0) text += " et " + std::to_string(more) + (more == 1 ? " autre" : " autres");
    return text;
}

// `missed_end`: the first line of the block that tried to close it, or 0.
Diagnostic describe_swallowed_markers(const NoticeCollector::SwallowedMarkers& block, bool to_end_of_file,
                                      int missed_end) {
    std::vector<const LoadNotice*> headers;
    for (const LoadNotice& marker : block.markers) {
        if (classify_line(marker.bytes) == LineKind::section_header) headers.push_back(&marker);
    }
    std::string message = "marqueur lu comme du texte : le bloc [Narration] ouvert ligne " +
                          std::to_string(block.opening_line) + " n'est pas fermé avant cette ligne, qui entre dans sa " +
                          "narration avec " +
                          (to_end_of_file ? "toute la suite du fichier" : "la suite jusqu'au prochain « [/Narration] »");
    const int total = std::max(block.headers, static_cast<int>(headers.size()));
    if (total == 1) {
        message += ", dont l'en-tête " + listed_headers(headers, total) +
                   " : cette section ne s'ouvre pas et les suivantes ont un numéro de moins";
    } else if (total > 1) {
        message += ", dont les en-têtes " + listed_headers(headers, total) + " : ces " + std::to_string(total) +
                   " sections ne s'ouvrent pas et les suivantes ont " + std::to_string(total) +
                   " numéros de moins";
    }
    const int first = block.markers.front().line;
    return warning_at(first, message + (missed_end > 0 && missed_end < first
                                            ? " ; corrigez la fin de narration mal écrite de la ligne " +
                                                  std::to_string(missed_end)
                                            : std::string(" ; fermez la narration par « [/Narration] » avant cette ligne")));
}

// --- Header numbers ---------------------------------------------------------------

// The digits written after "# Section", if any.
std::string_view written_number(std::string_view header) {
    const std::string_view rest = trim_leading_blanks(header.substr(std::min(section_marker.size(), header.size())));
    std::size_t digits = 0;
    while (digits < rest.size() && is_decimal_digit(rest[digits])) ++digits;
    return rest.substr(0, digits);
}

// What a choice "-> Section : N" leads to, for a header that reads N.
std::string where_target_leads(const NoticeCollector& collector, DecimalScan written, int section_count) {
    if (written.status != DecimalStatus::ok || !is_loaded_section(written.value, section_count)) {
        return "à une section qui n'existe pas : la partie s'arrêterait sur une erreur";
    }
    const auto at = static_cast<std::size_t>(written.value);
    return "à la section " + std::to_string(written.value) + ", dont l'en-tête est " +
           quote(collector.header_text[at]) + " (ligne " + std::to_string(collector.lines.header[at]) + ")";
}

// --- Bounds -------------------------------------------------------------------------

// "et 3 autres lignes du même genre, de la ligne 23 à la ligne 25 : …"
Diagnostic untold_lines(const NoticeCollector::Untold& rest) {
    const std::string others = rest.count == 1 ? "1 autre ligne" : std::to_string(rest.count) + " autres lignes";
    return warning_at(rest.first_line, "et " + others + " du même genre, de la ligne " + std::to_string(rest.first_line) +
                                           " à la ligne " + std::to_string(rest.last_line) +
                                           " : elles ne sont pas détaillées");
}

// What a message is about, as far as telling problems of one kind goes: its
// words before the first quote, number, colon or comma ("un autre bloc ",
// "texte sur la ligne du marqueur "), with its severity.
std::string problem_kind(const Diagnostic& diagnostic) {
    const std::string_view message = diagnostic.message;
    std::size_t end = message.find_first_of("0123456789:,");
    end = std::min(end, message.find("«"));
    return std::to_string(static_cast<int>(diagnostic.severity)) + std::string(message.substr(0, end));
}

// Appends `found` to `out`, the first max_told_per_kind problems of each kind
// one by one and the rest counted, as the loader's own problems are.
void tell_at_most(std::vector<Diagnostic> found, std::vector<Diagnostic>& out) {
    std::map<std::string, int> told;
    std::map<std::string, NoticeCollector::Untold> untold;
    std::vector<std::string> order;  // kinds past the bound, in the order they got there
    for (Diagnostic& diagnostic : found) {
        const std::string kind = problem_kind(diagnostic);
        if (told[kind]++ < max_told_per_kind) {
            out.push_back(std::move(diagnostic));
            continue;
        }
        NoticeCollector::Untold& rest = untold[kind];
        if (rest.count++ == 0) {
            rest.first_line = diagnostic.line;
            order.push_back(kind);
        }
        rest.last_line = diagnostic.line;
    }
    for (const std::string& kind : order) out.push_back(untold_lines(untold[kind]));
}

// The lines of one sort that the collector counted instead of keeping.
void describe_unexamined(const NoticeCollector::Untold& rest, int examined, std::string_view what,
                         std::string_view unreported, std::vector<Diagnostic>& out) {
    if (rest.count == 0) return;
    const std::string which =
        rest.count == 1 ? "1 autre, ligne " + std::to_string(rest.first_line) + ", n'est pas examinée"
                        : std::to_string(rest.count) + " autres, de la ligne " + std::to_string(rest.first_line) +
                              " à la ligne " + std::to_string(rest.last_line) + ", ne sont pas examinées";
    out.push_back(warning_at(rest.first_line, "analyse des " + std::string(what) + " interrompue après " +
                                                  std::to_string(examined) + " lignes : " + which + " ; " +
                                                  std::string(unreported) + " peuvent ne pas être signalés"));
}

}  // namespace

std::vector<Diagnostic> describe_notices(const NoticeCollector& collector) {
    std::vector<Diagnostic> result;
    const LongBlockLines long_lines = find_long_block_lines(collector.problems);
    std::set<int> swallowing_blocks;
    for (const auto& block : collector.swallowed) swallowing_blocks.insert(block.opening_line);
    bool outside_reported = false;
    int block_stop = 0;        // the last line that ended a block unread
    int misspelt_opener = 0;   // the last misspelt marker meant to open a block
    int lines_after_stop = 0;  // how many ignored lines follow it so far
    for (const LoadNotice& notice : collector.problems) {
        if (long_lines.covers(notice)) continue;
        if (auto miss = ignored_near_miss(notice)) {
            result.push_back(std::move(*miss));
            misspelt_opener = opens_a_block(notice) ? notice.line : 0;
            lines_after_stop = 0;
            continue;
        }
        if (notice.kind == LoadNoticeKind::outside_section) {
            if (outside_reported) continue;
            outside_reported = true;
        }
        // Said with the markers the block swallowed.
        if (notice.kind == LoadNoticeKind::narration_unterminated && swallowing_blocks.contains(notice.line)) continue;
        auto diagnostic = describe_notice(notice, collector);
        if (!diagnostic) continue;
        if (notice.kind == LoadNoticeKind::block_end_swallowed) {
            block_stop = notice.line;
            misspelt_opener = 0;
            lines_after_stop = 0;
        } else if (notice.kind == LoadNoticeKind::line_ignored && (block_stop != 0 || misspelt_opener != 0) &&
                   notice.line == std::max(block_stop, misspelt_opener) + lines_after_stop + 1) {
            // The lines right after the line that ended their block, or after
            // the misspelt marker that was to open it.
            ++lines_after_stop;
            diagnostic->message += misspelt_opener != 0
                                       ? " : le marqueur qui devait ouvrir son bloc, ligne " +
                                             std::to_string(misspelt_opener) + ", est mal écrit"
                                       : " : le bloc s'est arrêté ligne " + std::to_string(block_stop);
        }
        result.push_back(std::move(*diagnostic));
    }
    describe_long_block_lines(long_lines, result);
    std::vector<Diagnostic> swallowed;
    for (const auto& block : collector.swallowed) {
        const bool to_end = std::any_of(collector.problems.begin(), collector.problems.end(), [&](const LoadNotice& n) {
            return n.kind == LoadNoticeKind::narration_unterminated && n.line == block.opening_line;
        });
        const auto missed = std::find_if(collector.missed_ends.begin(), collector.missed_ends.end(),
                                         [&](const auto& end) { return end.opening_line == block.opening_line; });
        swallowed.push_back(describe_swallowed_markers(block, to_end, missed != collector.missed_ends.end() ? missed->line : 0));
    }
    tell_at_most(std::move(swallowed), result);
    for (const auto& [kind, rest] : collector.untold) result.push_back(untold_lines(rest));
    // What is read off the lines kept, a kind of problem at a time.
    for (const auto describe : {describe_block_lines, describe_dialogue_lines, describe_missed_ends}) {
        std::vector<Diagnostic> found;
        describe(collector, found);
        tell_at_most(std::move(found), result);
    }
    const NoticeCollector::Unexamined& rest = collector.unexamined;
    const int examined = collector.examined_lines();
    describe_unexamined(rest.block_lines, examined, "marqueurs de bloc",
                        "des blocs répétés dans une section ou du texte sur la ligne d'un marqueur", result);
    describe_unexamined(rest.dialogues, examined, "répliques",
                        "des espaces manquantes après le tiret ou le deux-points et des noms mal colorés", result);
    describe_unexamined(rest.narration_markers, examined, "marqueurs lus comme du texte dans une narration",
                        "des en-têtes et des blocs perdus dans une narration", result);
    describe_unexamined(rest.narration_lines, examined, "lignes de narration",
                        "des « [/Narration] » mal écrits", result);
    return result;
}

void check_header_numbers(const NoticeCollector& collector, int section_count, std::vector<Diagnostic>& out) {
    for (int id = 0; id < section_count; ++id) {
        const auto at = static_cast<std::size_t>(id);
        const std::string_view number = written_number(collector.header_text[at]);
        if (number.empty()) continue;
        const DecimalScan written = scan_decimal(number);
        if (written.status == DecimalStatus::ok && written.value == id) continue;
        out.push_back(warning_at(collector.lines.header[at],
                                 "en-tête numéroté " + std::string(number) + " alors que c'est la section " +
                                     std::to_string(id) +
                                     " : le jeu numérote les sections dans l'ordre du fichier à partir de 0, sans "
                                     "lire ce numéro ; un choix « -> Section : " + std::string(number) + " » mène " +
                                     where_target_leads(collector, written, section_count)));
    }
}

void note_place(StoryPlaces& places, const LoadNotice& notice) {
    if (notice.section < 0 || notice.section >= max_sections) return;
    const auto section = static_cast<std::size_t>(notice.section);
    const auto index = static_cast<std::size_t>(notice.index);
    switch (notice.kind) {
        case LoadNoticeKind::section_opened:
            places.header[section] = notice.line;
            return;
        case LoadNoticeKind::ending_marked:
            if (places.ending[section] == 0) places.ending[section] = notice.line;
            return;
        case LoadNoticeKind::narration_opened:
            places.narration[section] = notice.line;  // a later block replaces the narration
            return;
        case LoadNoticeKind::choice_stored:
            if (index < max_choices) places.choice[section][index] = notice.line;
            return;
        case LoadNoticeKind::dialogue_stored:
            if (index < max_dialogues) places.dialogue[section][index] = notice.line;
            return;
        case LoadNoticeKind::item_stored:
            if (index < max_section_items) places.item[section][index] = notice.line;
            return;
        default:
            return;
    }
}

bool has_notice(const NoticeCollector& collector, LoadNoticeKind kind) {
    return std::any_of(collector.problems.begin(), collector.problems.end(),
                       [kind](const LoadNotice& notice) { return notice.kind == kind; });
}
