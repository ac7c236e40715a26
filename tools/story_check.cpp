#include "story_check.hpp"

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
#include "near_miss.hpp"
#include "text_excerpt.hpp"
#include "wording.hpp"

namespace {

Diagnostic error_at(int line, std::string message) { return {Severity::error, line, std::move(message)}; }
Diagnostic warning_at(int line, std::string message) { return {Severity::warning, line, std::move(message)}; }
Diagnostic remark_at(int line, std::string message) { return {Severity::remark, line, std::move(message)}; }

// ===========================================================================
// Listening to the loader

// Keeps every notice, and where each stored thing was written. The target a
// choice line ends up with, and the speaker a dialogue line shows, are read
// from the table as soon as the line is stored, since a later block of the
// same section may reuse the entry.
class NoticeCollector final : public LoadListener {
public:
    explicit NoticeCollector(const SectionTable& sections) : sections_(sections) {}

    // Marker lines that one narration block read as text.
    struct SwallowedMarkers {
        int opening_line = 0;
        std::vector<LoadNotice> markers;
    };

    // A speaker shown in the player's green who does not look like the player.
    struct GreenSpeaker {
        int line = 0;
        std::string name;
    };

    void notice(const LoadNotice& notice) override {
        const bool in_table = notice.section >= 0 && notice.section < max_sections;
        const auto section = static_cast<std::size_t>(notice.section);
        const auto index = static_cast<std::size_t>(notice.index);
        switch (notice.kind) {
            case LoadNoticeKind::section_opened:
                if (in_table) {
                    lines.header[section] = notice.line;
                    header_text[section] = notice.bytes;
                }
                return;
            case LoadNoticeKind::ending_marked:
                if (in_table && lines.ending[section] == 0) lines.ending[section] = notice.line;
                return;
            case LoadNoticeKind::choice_stored:
                if (in_table && index < max_choices) {
                    lines.choice[section][index] = notice.line;
                    target_on_line[notice.line] = sections_[section].choices[index].next_section_id;
                }
                return;
            case LoadNoticeKind::item_stored:
                if (in_table && index < max_section_items) lines.item[section][index] = notice.line;
                return;
            case LoadNoticeKind::dialogue_stored:
                if (in_table && index < max_dialogues) note_speaker(sections_[section].dialogues[index].character.view(), notice.line);
                return;
            case LoadNoticeKind::narration_opened:
                narration_line_ = notice.line;
                return;
            case LoadNoticeKind::marker_in_narration:
                if (swallowed.empty() || swallowed.back().opening_line != narration_line_) {
                    swallowed.push_back({narration_line_, {}});
                }
                swallowed.back().markers.push_back(notice);
                return;
            default:
                problems.push_back(notice);
        }
    }

    StoryLines lines;
    std::array<std::string, max_sections> header_text;  // each loaded section's header line
    std::vector<LoadNotice> problems;
    std::map<int, int> target_on_line;  // line of a stored choice -> its target
    std::vector<SwallowedMarkers> swallowed;
    std::vector<GreenSpeaker> green_speakers;  // the first line of each

private:
    void note_speaker(std::string_view name, int line) {
        if (!is_player_name(name) || looks_like_the_player(name)) return;
        const bool known = std::any_of(green_speakers.begin(), green_speakers.end(),
                                       [&](const GreenSpeaker& s) { return s.name == name; });
        if (!known) green_speakers.push_back({line, std::string(name)});
    }

    // "Vous", "\"Vous\"", or "Vous" followed by something else than a
    // letter ("Vous (bas) ", "Vous-même "): the player, whatever the blanks.
    static bool looks_like_the_player(std::string_view name) {
        if (name.starts_with("\"Vous\"")) return true;
        if (!name.starts_with("Vous")) return false;
        if (name.size() == 4) return true;
        const char next = name[4];
        const bool letter = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') ||
                            static_cast<unsigned char>(next) >= 0x80;
        return !letter;
    }

    const SectionTable& sections_;
    int narration_line_ = 0;
};

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
    if (line.find("->") != std::string_view::npos) return "une ligne de choix";
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

// A header swallowed by a block opens no section: what follows goes on
// filling the current one.
std::string swallowed_header_note(const LoadNotice& notice) {
    if (classify_line(notice.bytes) != LineKind::section_header || notice.section < 0) return {};
    return ", si bien qu'aucune section ne s'ouvre ici et que la suite remplace le contenu de la section " +
           std::to_string(notice.section);
}

// --- Lines that were nearly right --------------------------------------------

std::string_view near_miss_cause(const NearMiss& miss) {
    switch (miss.cause) {
        case NearMissCause::letters:
            return "le jeu compare les marqueurs à l'octet près, majuscules et accents compris";
        case NearMissCause::typographic_quotes:
            return miss.kind == NearMissKind::gain_item
                       ? "il faut des guillemets droits \", pas des guillemets typographiques"
                       : "il faut les signes < et > du clavier, pas des guillemets typographiques";
        case NearMissCause::missing_sign:
            switch (miss.kind) {
                case NearMissKind::section_header: return "il manque le « # » du début";
                case NearMissKind::marker: return "il manque un crochet";
                case NearMissKind::gain_item: return "il manque un guillemet";
                case NearMissKind::lose_item: return "il manque un chevron";
            }
            break;
        case NearMissCause::stray_blanks:
            return miss.kind == NearMissKind::marker ? "pas d'espace entre les crochets et le mot"
                                                     : "rien ne doit suivre le dernier signe, pas même une espace";
        case NearMissCause::spelling:
            return miss.kind == NearMissKind::section_header
                       ? "un en-tête commence exactement par « # Section » : un dièse, une espace, Section"
                       : "le mot doit être exactement celui du format";
    }
    return {};
}

Diagnostic describe_near_miss(int line, std::string_view text, const NearMiss& miss) {
    std::string_view what;
    switch (miss.kind) {
        case NearMissKind::section_header: what = "en-tête de section mal écrit"; break;
        case NearMissKind::marker: what = "marqueur mal écrit"; break;
        case NearMissKind::gain_item:
        case NearMissKind::lose_item: what = "ligne d'objet mal écrite"; break;
    }
    const std::string wanted =
        miss.kind == NearMissKind::section_header ? quote(miss.wanted) : exact_quote(miss.wanted);
    return warning_at(line, std::string(what) + ", ligne ignorée : " + quote(text) + " (" +
                                std::string(near_miss_cause(miss)) + ") ; écrivez " + wanted);
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
            return error_at(line, "cible du choix illisible : après « -> », le jeu saute " + describe_byte(notice.bytes) +
                                      " puis attend « Section : N »" + kept_target_note(collector, line));
        case LoadNoticeKind::target_missing:
            return error_at(line, "cible du choix absente après « -> »" + kept_target_note(collector, line));
        case LoadNoticeKind::target_out_of_int_range:
            return error_at(line, "numéro de section trop grand pour être lu" + kept_target_note(collector, line));
        case LoadNoticeKind::block_end_swallowed:
            return warning_at(line, "ligne perdue (" + std::string(describe_swallowed_line(notice.bytes)) +
                                        ") : elle termine le bloc de dialogue ou de choix qui la précède "
                                        "sans être lue" + swallowed_header_note(notice) +
                                        " ; laissez une ligne vide avant elle");
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
        case LoadNoticeKind::player_name_without_blank:
            return warning_at(line, "« Vous: » sans espace avant le deux-points : la réplique s'affiche comme "
                                    "celle d'un autre personnage, en rouge ; écrivez « Vous : »");
        case LoadNoticeKind::line_ignored:
            return warning_at(line, "ligne ignorée : " + std::string(describe_ignored_line(notice.bytes)) + " hors de tout bloc");
        case LoadNoticeKind::section_opened:
        case LoadNoticeKind::narration_opened:
        case LoadNoticeKind::dialogue_stored:
        case LoadNoticeKind::choice_stored:
        case LoadNoticeKind::item_stored:
        case LoadNoticeKind::ending_marked:
        case LoadNoticeKind::marker_in_narration:  // one warning per block, below
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
            if (notice.bytes.find("->") != std::string::npos) found.choice.insert(notice.line);
        }
    }
    for (const LoadNotice& notice : problems) {
        if (notice.kind == LoadNoticeKind::line_ignored && choice_blocks_split.contains(notice.line) &&
            notice.bytes.find("->") != std::string::npos) {
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

// "« # Section 2 » (ligne 12), « # Section 3 » (ligne 20) et …"
std::string listed_headers(const std::vector<const LoadNotice*>& headers) {
    std::string text;
    for (std::size_t i = 0; i < headers.size(); ++i) {
        if (i > 0) text += i + 1 == headers.size() ? " et " : ", ";
        text += quote(headers[i]->bytes) + " (ligne " + std::to_string(headers[i]->line) + ")";
    }
    return text;
}

Diagnostic describe_swallowed_markers(const NoticeCollector::SwallowedMarkers& block, bool to_end_of_file) {
    std::vector<const LoadNotice*> headers;
    for (const LoadNotice& marker : block.markers) {
        if (classify_line(marker.bytes) == LineKind::section_header) headers.push_back(&marker);
    }
    std::string message = "marqueur lu comme du texte : le bloc [Narration] ouvert ligne " +
                          std::to_string(block.opening_line) + " n'est pas fermé avant cette ligne, qui entre dans sa " +
                          "narration avec " +
                          (to_end_of_file ? "toute la suite du fichier" : "la suite jusqu'au prochain « [/Narration] »");
    if (headers.size() == 1) {
        message += ", dont l'en-tête " + listed_headers(headers) +
                   " : cette section ne s'ouvre pas et les suivantes ont un numéro de moins";
    } else if (!headers.empty()) {
        message += ", dont les en-têtes " + listed_headers(headers) + " : ces " + std::to_string(headers.size()) +
                   " sections ne s'ouvrent pas et les suivantes ont " + std::to_string(headers.size()) +
                   " numéros de moins";
    }
    return warning_at(block.markers.front().line,
                      message + " ; fermez la narration par « [/Narration] » avant cette ligne");
}

// --- Speakers in the player's colour ----------------------------------------------

// How to keep a speaker red: a capital letter before V when that is all it
// takes, else a title in front of the name.
std::string red_spelling_advice(std::string_view name) {
    std::string capital(name);
    if (!capital.empty() && capital.front() >= 'a' && capital.front() <= 'z') {
        capital.front() = static_cast<char>(capital.front() - 'a' + 'A');
    }
    if (!is_player_name(capital)) return "par exemple " + quote(capital);
    return "par exemple avec un titre devant : " + quote("Dame " + capital);
}

Diagnostic describe_green_speaker(const NoticeCollector::GreenSpeaker& speaker) {
    const std::string_view name = trim_trailing_blanks(speaker.name);
    return warning_at(speaker.line, "le nom " + quote(name) +
                                        " s'affiche en vert, comme celui du joueur : le jeu met en vert tout nom "
                                        "classé après « Vous » octet par octet (initiale minuscule ou accentuée, "
                                        "noms en W, X, Y, Z…) ; pour qu'il s'affiche en rouge, commencez-le par une "
                                        "majuscule sans accent avant V, " +
                                        red_spelling_advice(name));
}

// Messages for the loader's notices. Everything before the first header is
// ignored alike, so only the first such line is reported, unless it nearly
// was a header or a marker.
std::vector<Diagnostic> describe_notices(const NoticeCollector& collector) {
    std::vector<Diagnostic> result;
    const LongBlockLines long_lines = find_long_block_lines(collector.problems);
    std::set<int> swallowing_blocks;
    for (const auto& block : collector.swallowed) swallowing_blocks.insert(block.opening_line);
    bool outside_reported = false;
    for (const LoadNotice& notice : collector.problems) {
        if (long_lines.covers(notice)) continue;
        if (auto miss = ignored_near_miss(notice)) {
            result.push_back(std::move(*miss));
            continue;
        }
        if (notice.kind == LoadNoticeKind::outside_section) {
            if (outside_reported) continue;
            outside_reported = true;
        }
        // Said with the markers the block swallowed.
        if (notice.kind == LoadNoticeKind::narration_unterminated && swallowing_blocks.contains(notice.line)) continue;
        if (auto diagnostic = describe_notice(notice, collector)) result.push_back(std::move(*diagnostic));
    }
    describe_long_block_lines(long_lines, result);
    for (const auto& block : collector.swallowed) {
        const bool to_end = std::any_of(collector.problems.begin(), collector.problems.end(), [&](const LoadNotice& n) {
            return n.kind == LoadNoticeKind::narration_unterminated && n.line == block.opening_line;
        });
        result.push_back(describe_swallowed_markers(block, to_end));
    }
    for (const auto& speaker : collector.green_speakers) result.push_back(describe_green_speaker(speaker));
    return result;
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

bool has_notice(const NoticeCollector& collector, LoadNoticeKind kind) {
    return std::any_of(collector.problems.begin(), collector.problems.end(),
                       [kind](const LoadNotice& notice) { return notice.kind == kind; });
}

// Sorted by line, file-wide first, keeping the order of discovery within a
// line; the same message twice on one line (pieces of one long line) once.
void sort_and_merge(std::vector<Diagnostic>& diagnostics) {
    std::stable_sort(diagnostics.begin(), diagnostics.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
    std::vector<Diagnostic> merged;
    std::size_t line_start = 0;
    for (Diagnostic& diagnostic : diagnostics) {
        if (!merged.empty() && merged.back().line != diagnostic.line) line_start = merged.size();
        const auto same_line = merged.begin() + static_cast<std::ptrdiff_t>(line_start);
        if (std::find(same_line, merged.end(), diagnostic) == merged.end()) merged.push_back(std::move(diagnostic));
    }
    diagnostics = std::move(merged);
}

// ===========================================================================
// Lost items: search over (section, inventory)

// Only the items that some line loses need their own count; every other item
// only takes room in the inventory.
struct ItemStep {
    enum class Kind { gain, lose, none } kind = Kind::none;
    int tracked = -1;  // index of a lost item's name, -1 for an untracked one
};

using SectionSteps = std::vector<std::vector<ItemStep>>;

SectionSteps item_steps(const SectionTable& sections, int section_count) {
    std::map<std::string_view, int> tracked;
    for (int id = 0; id < section_count; ++id) {
        const Section& section = section_at(sections, id);
        for (int i = 0; i < section.item_count; ++i) {
            const Item& item = section.items[static_cast<std::size_t>(i)];
            if (item.type == item_lose) tracked.emplace(item.name.view(), static_cast<int>(tracked.size()));
        }
    }
    SectionSteps steps(static_cast<std::size_t>(section_count));
    for (int id = 0; id < section_count; ++id) {
        const Section& section = section_at(sections, id);
        for (int i = 0; i < section.item_count; ++i) {
            const Item& item = section.items[static_cast<std::size_t>(i)];
            const auto found = tracked.find(item.name.view());
            const int index = found != tracked.end() ? found->second : -1;
            // One step per item line, so that step i is item line i.
            const ItemStep::Kind kind = item.type == item_gain   ? ItemStep::Kind::gain
                                        : item.type == item_lose ? ItemStep::Kind::lose
                                                                 : ItemStep::Kind::none;
            steps[static_cast<std::size_t>(id)].push_back({kind, index});
        }
    }
    return steps;
}

// What the inventory holds, as far as lost items are concerned: how many
// items in all, and how many of each tracked name (sorted, none at 0).
struct HeldItems {
    int total = 0;
    std::vector<std::pair<int, int>> tracked;

    // add_item: refused when the inventory is full.
    void gain(int name) {
        if (total >= max_inventory_items) return;
        ++total;
        if (name < 0) return;
        const auto it = std::lower_bound(tracked.begin(), tracked.end(), std::pair{name, 0});
        if (it != tracked.end() && it->first == name) {
            ++it->second;
        } else {
            tracked.insert(it, {name, 1});
        }
    }

    // remove_item: false when the item is not held.
    bool lose(int name) {
        const auto it = std::lower_bound(tracked.begin(), tracked.end(), std::pair{name, 0});
        if (it == tracked.end() || it->first != name) return false;
        --total;
        if (--it->second == 0) tracked.erase(it);
        return true;
    }
};

// A search state as a compact key: section, total, then (name, count) pairs.
std::string state_key(int section, const HeldItems& held) {
    std::string key;
    key.reserve(2 + 3 * held.tracked.size());
    key += static_cast<char>(section);
    key += static_cast<char>(held.total);
    for (const auto& [name, count] : held.tracked) {
        key += static_cast<char>(name & 0xFF);
        key += static_cast<char>(name >> 8);
        key += static_cast<char>(count);
    }
    return key;
}

int key_section(std::string_view key) { return static_cast<unsigned char>(key[0]); }

HeldItems key_items(std::string_view key) {
    HeldItems held;
    held.total = static_cast<unsigned char>(key[1]);
    for (std::size_t i = 2; i + 2 < key.size(); i += 3) {
        const int name = static_cast<unsigned char>(key[i]) | (static_cast<unsigned char>(key[i + 1]) << 8);
        held.tracked.emplace_back(name, static_cast<unsigned char>(key[i + 2]));
    }
    return held;
}

// Lose-item lines as (section, item index).
using LoseLine = std::pair<int, int>;

// Breadth-first from one or more start sections, each with an empty
// inventory; the lines of `known` are not looked for.
class ItemSearch {
public:
    ItemSearch(const SectionTable& sections, int section_count, std::size_t state_limit,
               std::vector<int> starts, std::set<LoseLine> known = {})
        : sections_(sections), section_count_(section_count), state_limit_(state_limit),
          steps_(item_steps(sections, section_count)), starts_(std::move(starts)), known_(std::move(known)) {
        for (std::size_t id = 0; id < steps_.size(); ++id) {
            for (std::size_t i = 0; i < steps_[id].size(); ++i) {
                const bool wanted = steps_[id][i].kind == ItemStep::Kind::lose &&
                                    !known_.contains({static_cast<int>(id), static_cast<int>(i)});
                lose_lines_ += wanted ? 1 : 0;
            }
        }
    }

    MissingItemSearch run() {
        MissingItemSearch result;
        if (section_count_ <= 0 || lose_lines_ == 0) return result;
        for (const int start : starts_) {
            if (is_loaded_section(start, section_count_) && !visit(state_key(start, HeldItems{}), -1)) result.complete = false;
        }
        for (std::size_t next = 0; next < states_.size() && found_.size() < lose_lines_; ++next) {
            if (!expand(next)) {
                result.complete = false;
                break;
            }
        }
        for (auto& [where, path] : found_) result.missing.push_back({where.first, where.second, std::move(path)});
        return result;
    }

private:
    struct State {
        const std::string* key;
        int parent;
    };

    // Plays the items of one state's section, then follows its choices.
    // False when the state bound is reached.
    bool expand(std::size_t index) {
        const std::string_view key = *states_[index].key;
        const int id = key_section(key);
        HeldItems held = key_items(key);
        const auto& section_steps = steps_[static_cast<std::size_t>(id)];
        for (std::size_t i = 0; i < section_steps.size(); ++i) {
            const ItemStep& step = section_steps[i];
            if (step.kind == ItemStep::Kind::gain) {
                held.gain(step.tracked);
            } else if (step.kind == ItemStep::Kind::lose && !held.lose(step.tracked)) {
                // The first time is the shortest path: states come in BFS order.
                const LoseLine line{id, static_cast<int>(i)};
                if (!found_.contains(line) && !known_.contains(line)) found_.emplace(line, path_to(index));
            }
        }
        if (found_.size() == lose_lines_) return true;  // nothing left to look for
        const Section& section = section_at(sections_, id);
        std::string next = state_key(0, held);  // the same inventory in each target section
        for (int c = 0; c < section.choice_count; ++c) {
            const int target = section.choices[static_cast<std::size_t>(c)].next_section_id;
            if (!is_loaded_section(target, section_count_)) continue;  // the playthrough ends there
            next[0] = static_cast<char>(target);
            if (!visit(next, static_cast<int>(index))) return false;
        }
        return true;
    }

    // Queues a state unless it was seen; false when the bound is reached.
    bool visit(std::string_view key, int parent) {
        if (seen_.contains(key)) return true;
        if (states_.size() >= state_limit_) return false;
        const auto it = seen_.emplace(key).first;
        states_.push_back({&*it, parent});
        return true;
    }

    std::vector<int> path_to(std::size_t index) const {
        std::deque<int> path;
        for (int at = static_cast<int>(index); at >= 0; at = states_[static_cast<std::size_t>(at)].parent) {
            path.push_front(key_section(*states_[static_cast<std::size_t>(at)].key));
        }
        return {path.begin(), path.end()};
    }

    const SectionTable& sections_;
    int section_count_;
    std::size_t state_limit_;
    SectionSteps steps_;
    std::vector<int> starts_;
    std::set<LoseLine> known_;
    std::size_t lose_lines_ = 0;
    // Looked up by view, so that a state already seen costs no copy.
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    std::unordered_set<std::string, KeyHash, std::equal_to<>> seen_;  // node-based: keys stay put
    std::vector<State> states_;
    std::map<LoseLine, std::vector<int>> found_;  // line -> path
};

// ===========================================================================
// Diagnostics over the loaded sections

std::string section_range(int section_count) {
    return "0 à " + std::to_string(section_count - 1) + ", ou -1 pour finir";
}

void check_targets(const SectionTable& sections, int section_count, const StoryLines& lines,
                   std::vector<Diagnostic>& out) {
    for (int id = 0; id < section_count; ++id) {
        const Section& section = section_at(sections, id);
        for (int c = 0; c < section.choice_count; ++c) {
            const int target = section.choices[static_cast<std::size_t>(c)].next_section_id;
            if (target == end_section_id || is_loaded_section(target, section_count)) continue;
            out.push_back(error_at(lines.choice[static_cast<std::size_t>(id)][static_cast<std::size_t>(c)],
                                   "le choix mène à la section " + std::to_string(target) +
                                       ", qui n'existe pas (" + section_range(section_count) +
                                       ") : la partie s'arrêterait sur une erreur"));
        }
    }
}

void check_sections(const SectionTable& sections, int section_count, const StoryLines& lines,
                    std::vector<Diagnostic>& out) {
    const std::vector<bool> reachable = reachable_sections(sections, section_count);
    const std::vector<bool> can_end = sections_that_can_end(sections, section_count);
    for (int id = 0; id < section_count; ++id) {
        const auto at = static_cast<std::size_t>(id);
        const Section& section = section_at(sections, id);
        const std::string name = "la section " + std::to_string(id);
        if (!reachable[at]) {
            out.push_back(warning_at(lines.header[at], name + " est inaccessible : aucun chemin depuis la section 0 n'y mène"));
        }
        if (section.choice_count == 0 && section.is_ending == 0) {
            out.push_back(warning_at(lines.header[at], name + " n'a ni choix ni [Fin] : la partie s'y arrête "
                                                              "sans écran de fin"));
        }
        if (section.choice_count > 0 && section.is_ending != 0) {
            const int line = lines.ending[at] != 0 ? lines.ending[at] : lines.header[at];
            out.push_back(warning_at(line, name + " porte [Fin] mais a des choix : son écran de fin "
                                                  "ne s'affiche jamais"));
        }
        if (!can_end[at]) {
            out.push_back(error_at(lines.header[at], "aucune fin n'est accessible depuis " + name +
                                                         " : le joueur y tourne en rond sans pouvoir finir"));
        }
    }
}

int item_line(const StoryLines& lines, int section, int index) {
    return lines.item[static_cast<std::size_t>(section)][static_cast<std::size_t>(index)];
}

const Item& item_at(const SectionTable& sections, int section, int index) {
    return section_at(sections, section).items[static_cast<std::size_t>(index)];
}

// For a lost item: a gained one spelt the same but for case or accents.
std::string near_gain_hint(const SectionTable& sections, int section_count, const StoryLines& lines,
                           std::string_view lost) {
    const std::string folded = fold_spelling(lost);
    for (int id = 0; id < section_count; ++id) {
        for (int i = 0; i < section_at(sections, id).item_count; ++i) {
            const Item& item = item_at(sections, id, i);
            if (item.type != item_gain || item.name.view() == lost || fold_spelling(item.name.view()) != folded) continue;
            return " ; vouliez-vous dire " + quote(item.name.view()) + ", gagné ligne " +
                   std::to_string(item_line(lines, id, i)) +
                   " ? Les noms d'objets doivent être identiques, majuscules et accents compris";
        }
    }
    return {};
}

std::string resume_message(const MissingItem& missing, std::string_view item) {
    const std::string save = std::to_string(missing.path.front());
    std::string message =
        missing.path.size() == 1
            ? "une partie reprise depuis une sauvegarde faite dans cette section (la " + save +
                  ") rejoue cette ligne sans l'objet " + quote(item)
            : "une partie reprise depuis une sauvegarde faite dans la section " + save +
                  " arrive ici sans l'objet " + quote(item) + " (chemin " + format_path(missing.path) + ")";
    return message + " : une reprise commence avec un inventaire vide, le joueur verrait l'erreur REMOVE_ITEM";
}

// Once per item: the first line, in the file, where some resumed game lacks
// it, unless a new game already can.
void check_resumed_items(const SectionTable& sections, int section_count, const StoryLines& lines,
                         const std::vector<MissingItem>& new_game, std::vector<Diagnostic>& out) {
    const MissingItemSearch search =
        find_missing_items_on_resume(sections, section_count, save_points(sections, section_count), new_game);
    std::map<std::string_view, const MissingItem*> first_per_item;
    for (const MissingItem& missing : search.missing) {
        const std::string_view name = item_at(sections, missing.section, missing.item_index).name.view();
        const MissingItem*& first = first_per_item[name];
        if (first == nullptr || item_line(lines, missing.section, missing.item_index) <
                                    item_line(lines, first->section, first->item_index)) {
            first = &missing;
        }
    }
    for (const auto& [name, missing] : first_per_item) {
        out.push_back(remark_at(item_line(lines, missing->section, missing->item_index),
                                resume_message(*missing, name) + near_gain_hint(sections, section_count, lines, name)));
    }
    if (!search.complete) {
        out.push_back(remark_at(0, "analyse des reprises interrompue après " + std::to_string(max_item_search_states) +
                                       " états : des objets manquants après une reprise peuvent ne pas être signalés"));
    }
}

void check_items(const SectionTable& sections, int section_count, const StoryLines& lines,
                 std::vector<Diagnostic>& out) {
    const MissingItemSearch search = find_missing_items(sections, section_count);
    for (const MissingItem& missing : search.missing) {
        const std::string_view name = item_at(sections, missing.section, missing.item_index).name.view();
        out.push_back(warning_at(item_line(lines, missing.section, missing.item_index),
                                 "l'objet " + quote(name) + " peut manquer quand cette ligne le retire"
                                 " (chemin " + format_path(missing.path) +
                                     ") : le joueur verrait l'erreur REMOVE_ITEM" +
                                     near_gain_hint(sections, section_count, lines, name)));
    }
    if (!search.complete) {
        out.push_back(warning_at(0, "analyse des objets interrompue après " +
                                        std::to_string(max_item_search_states) +
                                        " états : des objets manquants peuvent ne pas être signalés"));
    }
    check_resumed_items(sections, section_count, lines, search.missing, out);
}

}  // namespace

// ===========================================================================
// Path analysis

namespace {

// Which of the loaded sections some path from one of `starts` reaches.
std::vector<bool> reached_from(const SectionTable& sections, int section_count, const std::vector<int>& starts) {
    const int count = std::clamp(section_count, 0, max_sections);
    std::vector<bool> reached(static_cast<std::size_t>(count), false);
    std::vector<int> pending;
    for (const int start : starts) {
        if (is_loaded_section(start, count) && !reached[static_cast<std::size_t>(start)]) {
            reached[static_cast<std::size_t>(start)] = true;
            pending.push_back(start);
        }
    }
    while (!pending.empty()) {
        const Section& section = section_at(sections, pending.back());
        pending.pop_back();
        for (int c = 0; c < section.choice_count; ++c) {
            const int target = section.choices[static_cast<std::size_t>(c)].next_section_id;
            if (is_loaded_section(target, count) && !reached[static_cast<std::size_t>(target)]) {
                reached[static_cast<std::size_t>(target)] = true;
                pending.push_back(target);
            }
        }
    }
    return reached;
}

}  // namespace

std::vector<bool> reachable_sections(const SectionTable& sections, int section_count) {
    return reached_from(sections, section_count, {0});
}

std::vector<bool> sections_that_can_end(const SectionTable& sections, int section_count) {
    const int count = std::clamp(section_count, 0, max_sections);
    std::vector<bool> can_end(static_cast<std::size_t>(count), false);
    // Grow the set until no section joins it: at most one pass per section.
    for (bool grew = true; grew;) {
        grew = false;
        for (int id = 0; id < count; ++id) {
            if (can_end[static_cast<std::size_t>(id)]) continue;
            const Section& section = section_at(sections, id);
            bool ends = section.choice_count == 0;
            for (int c = 0; c < section.choice_count && !ends; ++c) {
                const int target = section.choices[static_cast<std::size_t>(c)].next_section_id;
                ends = !is_loaded_section(target, count) || can_end[static_cast<std::size_t>(target)];
            }
            if (ends) {
                can_end[static_cast<std::size_t>(id)] = true;
                grew = true;
            }
        }
    }
    return can_end;
}

MissingItemSearch find_missing_items(const SectionTable& sections, int section_count, std::size_t state_limit) {
    return ItemSearch(sections, std::clamp(section_count, 0, max_sections), state_limit, {0}).run();
}

std::vector<int> save_points(const SectionTable& sections, int section_count) {
    const std::vector<bool> reachable = reachable_sections(sections, section_count);
    std::vector<int> points;
    for (int id = 1; id < static_cast<int>(reachable.size()); ++id) {
        if (reachable[static_cast<std::size_t>(id)] && section_at(sections, id).choice_count > 0) points.push_back(id);
    }
    return points;
}

MissingItemSearch find_missing_items_on_resume(const SectionTable& sections, int section_count,
                                               const std::vector<int>& starts,
                                               const std::vector<MissingItem>& already_found,
                                               std::size_t state_limit) {
    const int count = std::clamp(section_count, 0, max_sections);
    // Lines out of the starts' reach are not looked for either: the search
    // would go on until its bound for them.
    std::set<LoseLine> known;
    for (const MissingItem& item : already_found) known.emplace(item.section, item.item_index);
    const std::vector<bool> reached = reached_from(sections, count, starts);
    for (int id = 0; id < count; ++id) {
        if (reached[static_cast<std::size_t>(id)]) continue;
        for (int i = 0; i < section_at(sections, id).item_count; ++i) known.emplace(id, i);
    }
    return ItemSearch(sections, count, state_limit, starts, std::move(known)).run();
}

std::string format_path(const std::vector<int>& path) {
    std::string text;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (i > 0) text += " → ";
        text += std::to_string(path[i]);
    }
    return text;
}

// ===========================================================================
// Checking a file

std::vector<Diagnostic> analyse_story(const SectionTable& sections, int section_count, const StoryLines& lines) {
    std::vector<Diagnostic> result;
    const int count = std::clamp(section_count, 0, max_sections);
    if (count == 0) return result;
    check_targets(sections, count, lines, result);
    check_sections(sections, count, lines, result);
    check_items(sections, count, lines, result);
    return result;
}

namespace {

// Runs `load` (one of the loader's entry points) with the loader's own
// messages to the player kept out of the way: the diagnostics say the same,
// for the author.
template <typename Load>
int load_quietly(Load load) {
    std::ostringstream messages_to_the_player;
    Console quiet = current_console();
    quiet.out = &messages_to_the_player;
    const ConsoleOverride guard(quiet);
    return load();
}

// Loads with a listener, then runs every check.
template <typename Load>
CheckedStory check_loaded(Load load) {
    CheckedStory checked;
    NoticeCollector collector(*checked.sections);
    checked.section_count = load_quietly([&] { return load(*checked.sections, &collector); });
    checked.diagnostics = describe_notices(collector);
    const bool refused = has_notice(collector, LoadNoticeKind::file_unopenable) ||
                         has_notice(collector, LoadNoticeKind::too_many_sections);
    if (checked.section_count == 0 && !refused) {
        checked.diagnostics.push_back(error_at(0, "aucun en-tête « # Section » : le jeu refuse de charger l'histoire"));
    }
    check_header_numbers(collector, checked.section_count, checked.diagnostics);
    std::vector<Diagnostic> analysis = analyse_story(*checked.sections, checked.section_count, collector.lines);
    checked.diagnostics.insert(checked.diagnostics.end(), std::make_move_iterator(analysis.begin()),
                               std::make_move_iterator(analysis.end()));
    sort_and_merge(checked.diagnostics);
    return checked;
}

}  // namespace

CheckedStory check_story(std::istream& in, std::string_view name) {
    return check_loaded([&](SectionTable& sections, LoadListener* listener) {
        return load_story(in, name, sections, listener);
    });
}

int load_story_lines(const std::string& path, SectionTable& sections, StoryLines& lines) {
    NoticeCollector collector(sections);
    const int section_count = load_quietly([&] { return load_story(path, sections, &collector); });
    lines = collector.lines;
    return section_count;
}

CheckedStory check_story_file(const std::string& path) {
    return check_loaded([&](SectionTable& sections, LoadListener* listener) {
        return load_story(path, sections, listener);
    });
}

// ===========================================================================
// Reporting

int exit_status(const std::vector<Diagnostic>& diagnostics) {
    const auto has = [&](Severity severity) {
        return std::any_of(diagnostics.begin(), diagnostics.end(),
                           [severity](const Diagnostic& d) { return d.severity == severity; });
    };
    if (has(Severity::error)) return status_errors;
    return has(Severity::warning) ? status_warnings : status_clean;
}

namespace {

std::string_view severity_word(Severity severity) {
    switch (severity) {
        case Severity::error: return "erreur";
        case Severity::warning: return "avertissement";
        case Severity::remark: return "remarque";
    }
    return "avertissement";
}

}  // namespace

void print_diagnostics(std::ostream& out, std::string_view file, const std::vector<Diagnostic>& diagnostics) {
    constexpr std::size_t severity_count = 3;
    std::array<std::size_t, severity_count> counts{};
    for (const Diagnostic& diagnostic : diagnostics) {
        ++counts[static_cast<std::size_t>(diagnostic.severity)];
        out << file;
        if (diagnostic.line > 0) out << ':' << diagnostic.line;
        out << ": " << severity_word(diagnostic.severity) << ": " << diagnostic.message << '\n';
    }
    const auto count = [&](Severity severity) { return static_cast<long long>(counts[static_cast<std::size_t>(severity)]); };
    out << file << ": " << count_of(count(Severity::error), "erreur") << ", "
        << count_of(count(Severity::warning), "avertissement");
    if (count(Severity::remark) > 0) out << " et " << count_of(count(Severity::remark), "remarque");
    out << '\n';
}
