#include "line_notes.hpp"

#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string_view>
#include <utility>

#include "game_engine.hpp"
#include "lookalikes.hpp"
#include "near_miss.hpp"
#include "story.hpp"
#include "wording.hpp"

namespace {

using BlockLine = NoticeCollector::BlockLine;
using DialogueLine = NoticeCollector::DialogueLine;

std::string_view marker_of(LoadNoticeKind kind) {
    switch (kind) {
        case LoadNoticeKind::narration_opened: return narration_marker;
        case LoadNoticeKind::narration_closed: return narration_end_marker;
        case LoadNoticeKind::dialogue_opened: return dialogue_marker;
        default: return choice_marker;
    }
}

// What a block that another one replaces loses.
std::string_view what_is_lost(LoadNoticeKind kind) {
    switch (kind) {
        case LoadNoticeKind::narration_opened: return "le texte du bloc de la ligne {} ne s'affiche jamais";
        case LoadNoticeKind::dialogue_opened: return "les répliques du bloc de la ligne {} ne s'affichent jamais";
        default: return "les options du bloc de la ligne {} ne s'affichent jamais";
    }
}

// `text` with its "{}" replaced by the line number.
std::string with_line(std::string_view text, int line) {
    const std::size_t at = text.find("{}");
    return std::string(text.substr(0, at)) + std::to_string(line) + std::string(text.substr(at + 2));
}

// Where to put text written after a marker on its own line.
std::string_view where_text_goes(LoadNoticeKind kind) {
    switch (kind) {
        case LoadNoticeKind::narration_opened: return "écrivez ce texte sur la ligne suivante";
        case LoadNoticeKind::narration_closed: return "écrivez ce texte avant « [/Narration] », dans la narration";
        case LoadNoticeKind::dialogue_opened: return "écrivez chaque réplique sur sa propre ligne, « - Nom : texte »";
        default:
            return "au-dessus des choix, le jeu n'affiche que son propre titre : mettez cette phrase à la fin de la "
                   "narration";
    }
}

void describe_text_after_marker(const BlockLine& block, std::vector<Diagnostic>& out) {
    const std::string_view marker = marker_of(block.kind);
    const std::string_view line = cut_at_line_end(block.bytes);
    const std::string_view text = trim_any_blanks(line.substr(std::min(marker.size(), line.size())));
    if (text.empty()) return;
    out.push_back(warning_at(block.line, "texte sur la ligne du marqueur " + exact_quote(marker) +
                                             " : le jeu ne lit rien après lui, " + quote(text) +
                                             " ne s'affiche pas ; " + std::string(where_text_goes(block.kind))));
}

// A letter, as far as speaker names go: ASCII letters and every byte of a
// multi-byte character but for the blanks that look like spaces.
bool continues_a_word(std::string_view name, std::size_t at) {
    if (const Lookalike* sign = lookalike_at(name, at); sign && sign->invisible) return false;
    const char c = name[at];
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
}

// "Vous", "\"Vous\"", or "Vous" followed by something else than a letter
// ("Vous (bas) ", "Vous-même ", "Vous" and a no-break space): the player.
bool looks_like_the_player(std::string_view name) {
    if (name.starts_with("\"Vous\"")) return true;
    if (!name.starts_with(player_speaker)) return false;
    return name.size() == player_speaker.size() || !continues_a_word(name, player_speaker.size());
}

// The name with its first letter as a capital without accent, if that is
// a different spelling.
std::string with_plain_capital(std::string_view name) {
    if (name.empty()) return {};
    std::size_t first = 1;
    const auto lead = static_cast<unsigned char>(name.front());
    if (lead >= 0xC0) first = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    std::string initial = fold_spelling(name.substr(0, std::min(first, name.size())));
    if (initial.size() != 1 || initial.front() < 'a' || initial.front() > 'z') return {};
    initial.front() = static_cast<char>(initial.front() - 'a' + 'A');
    std::string respelt = initial + std::string(name.substr(std::min(first, name.size())));
    return respelt == name ? std::string() : respelt;
}

Diagnostic describe_green_speaker(int line, std::string_view stored) {
    const std::string_view name = trim_any_blanks(stored);
    std::string message = "le nom " + quote(name) +
                          " s'affiche en vert, comme celui du joueur : le jeu met en vert tout nom classé après "
                          "« Vous » octet par octet, c'est-à-dire qui commence par une minuscule, une lettre "
                          "accentuée, W, X, Y, Z, ou V suivi de ce qui se classe après « ous »";
    const std::string respelt = with_plain_capital(stored);
    if (!respelt.empty() && !is_player_name(respelt)) {
        message += " ; écrit " + quote(trim_any_blanks(respelt)) + ", il s'afficherait en rouge";
    } else {
        message += " ; un nom s'affiche en rouge quand il se classe avant « Vous » : une majuscule sans accent de A "
                   "à U, ou V suivi de ce qui se classe avant « ous » (Valentin, Victor)";
    }
    return warning_at(line, message);
}

// "- Vous : " and the speech, for a player's line written otherwise.
std::string player_line(std::string_view line, std::size_t colon) {
    return "- " + std::string(player_speaker) + " : " + std::string(trim_any_blanks(line.substr(colon + 1)));
}

void describe_speaker(const DialogueLine& dialogue, std::string_view line, std::set<std::string>& told,
                      std::vector<Diagnostic>& out) {
    const std::string_view name = dialogue.name;
    const std::size_t colon = line.find(':');
    const std::string_view bare = trim_any_blanks(name);
    if (fold_spelling(bare) == fold_spelling(player_speaker) && !is_player_name(name)) {
        const std::string message =
            name == player_speaker
                ? "« Vous: » sans espace avant le deux-points : la réplique s'affiche comme celle d'un autre "
                  "personnage, en rouge"
                : "le nom " + quote(bare) +
                      " s'affiche en rouge, comme celui d'un autre personnage : le jeu ne reconnaît le joueur qu'à "
                      "« Vous » écrit ainsi, V majuscule puis minuscules, suivi d'une espace";
        out.push_back(with_fix(warning_at(dialogue.line, message), player_line(line, colon)));
        return;
    }
    if (!is_player_name(name) || looks_like_the_player(name) || told.contains(dialogue.name)) return;
    told.insert(dialogue.name);
    out.push_back(describe_green_speaker(dialogue.line, name));
}

// "-Marie : ...": the game always skips two bytes before the name.
std::optional<Diagnostic> dash_problem(const DialogueLine& dialogue, std::string_view line) {
    const std::size_t after = dialogue_dash.size();
    if (line.size() <= after || is_line_blank(line[after])) return std::nullopt;
    const Lookalike* sign = lookalike_at(line, after);
    const bool blank = sign != nullptr && sign->invisible;
    const std::string fixed = std::string(dialogue_dash) + " " +
                              std::string(line.substr(after + (blank ? sign->bytes.size() : 0)));
    const std::string cause =
        blank ? "après le tiret, " + describe_lookalike(*sign) +
                    " : le jeu saute le tiret et un seul octet, et le nom affiché commence par un caractère cassé"
              : "il manque une espace après le tiret : le jeu saute toujours le tiret et le signe qui le suit, si "
                "bien que le nom affiché est " + quote(trim_any_blanks(dialogue.name));
    return with_fix(warning_at(dialogue.line, cause), fixed);
}

// "- Marie :Salut": the game always skips the byte after the colon.
std::optional<Diagnostic> colon_problem(const DialogueLine& dialogue, std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon < 2 || colon + 1 >= line.size() || is_line_blank(line[colon + 1])) {
        return std::nullopt;
    }
    const Lookalike* sign = lookalike_at(line, colon + 1);
    const bool blank = sign != nullptr && sign->invisible;
    const std::string fixed = std::string(line.substr(0, colon + 1)) + " " +
                              std::string(line.substr(colon + 1 + (blank ? sign->bytes.size() : 0)));
    const std::string cause =
        blank ? "après « : », " + describe_lookalike(*sign) +
                    " : le jeu saute un seul octet après le deux-points, et la réplique affichée commence par un "
                    "caractère cassé"
              : "pas d'espace après « : » : le jeu saute toujours le signe qui suit le deux-points, si bien que "
                "la réplique affichée commence par " + quote(line.substr(std::min(colon + 2, line.size())));
    return with_fix(warning_at(dialogue.line, cause), fixed);
}

bool narration_runs_to_end(const NoticeCollector& collector, int opening_line) {
    for (const LoadNotice& notice : collector.problems) {
        if (notice.kind == LoadNoticeKind::narration_unterminated && notice.line == opening_line) return true;
    }
    return false;
}

// The option the line was meant to be, with the look-alike arrow replaced.
std::optional<std::pair<std::string, const Lookalike*>> with_plain_arrow(std::string_view line) {
    for (std::size_t at = 0; at < line.size(); ++at) {
        const Lookalike* sign = lookalike_at(line, at);
        if (sign == nullptr) continue;
        std::size_t length = 0;
        if (sign->plain == choice_arrow) {
            length = sign->bytes.size();
        } else if (sign->plain == dialogue_dash && line.substr(at + sign->bytes.size()).starts_with('>')) {
            length = sign->bytes.size() + 1;  // "–>"
        } else {
            continue;
        }
        return std::pair{std::string(line.substr(0, at)) + std::string(choice_arrow) +
                             plain_signs(line.substr(at + length)),
                         sign};
    }
    return std::nullopt;
}

// Whether the game reads the target of `line` as a choice line.
bool choice_target_reads(std::string_view line) {
    struct TargetWatch final : LoadListener {
        bool unread = false;
        void notice(const LoadNotice& notice) override {
            unread |= notice.kind == LoadNoticeKind::target_unparsed ||
                      notice.kind == LoadNoticeKind::target_out_of_int_range;
        }
    } watch;
    std::istringstream story(std::string(section_marker) + " 0\n" + std::string(choice_marker) + "\n" +
                             std::string(line) + "\n");
    const auto sections = std::make_unique<SectionTable>();
    read_story(story, *sections, &watch);
    return !watch.unread;
}

}  // namespace

void describe_block_lines(const NoticeCollector& collector, std::vector<Diagnostic>& out) {
    std::map<std::pair<int, LoadNoticeKind>, int> last_opened;
    for (const BlockLine& block : collector.block_lines) {
        describe_text_after_marker(block, out);
        if (block.kind == LoadNoticeKind::narration_closed || block.section < 0) continue;
        const auto [earlier, first] = last_opened.try_emplace({block.section, block.kind}, block.line);
        if (first) continue;
        out.push_back(warning_at(
            block.line, "un autre bloc " + exact_quote(marker_of(block.kind)) + " dans la section " +
                            std::to_string(block.section) + " : le jeu ne garde que le dernier, et " +
                            with_line(what_is_lost(block.kind), earlier->second) + " ; réunissez-les en un seul bloc"));
        earlier->second = block.line;
    }
}

void describe_dialogue_lines(const NoticeCollector& collector, std::vector<Diagnostic>& out) {
    std::set<std::string> told;  // names already warned of as green
    for (const DialogueLine& dialogue : collector.dialogues) {
        const std::string_view line = cut_at_line_end(dialogue.bytes);
        if (auto dash = dash_problem(dialogue, line)) {
            out.push_back(std::move(*dash));
            continue;
        }
        if (auto colon = colon_problem(dialogue, line)) out.push_back(std::move(*colon));
        describe_speaker(dialogue, line, told, out);
    }
}

void describe_missed_ends(const NoticeCollector& collector, std::vector<Diagnostic>& out) {
    for (const NoticeCollector::MissedEnd& end : collector.missed_ends) {
        const std::string_view line = cut_at_line_end(end.bytes);
        const std::string rest = narration_runs_to_end(collector, end.opening_line)
                                     ? "toute la suite du fichier"
                                     : "la suite jusqu'au prochain « [/Narration] »";
        Diagnostic missed = warning_at(end.line, "fin de narration mal écrite : " + quote(line) +
                                                     " ne ferme pas le bloc [Narration] ouvert ligne " +
                                                     std::to_string(end.opening_line) + " (" +
                                                     near_miss_cause(end.miss) + ") ; le jeu la lit comme du texte, avec " +
                                                     rest);
        if (end.miss.cause == NearMissCause::after_text) {
            // The text stays in the narration; the marker goes on a line of its own.
            const std::string_view text = line.substr(0, line.rfind(narration_end_marker));
            missed.message += " ; écrivez " + exact_quote(narration_end_marker) + " seul sur sa ligne";
            missed.fix = std::string(text) + "\n" + std::string(narration_end_marker);
            out.push_back(std::move(missed));
        } else {
            out.push_back(with_fix(std::move(missed), narration_end_marker));
        }
    }
}

std::optional<Diagnostic> describe_lookalike_entry(const LoadNotice& notice, const NoticeCollector& collector) {
    const auto block = collector.swallowed_by.find(notice.line);
    if (notice.kind != LoadNoticeKind::block_end_swallowed || block == collector.swallowed_by.end()) return {};
    const std::string_view line = cut_at_line_end(notice.bytes);
    if (block->second == LoadNoticeKind::dialogue_opened) {
        const Lookalike* dash = lookalike_at(line, 0);
        if (dash == nullptr || dash->plain != dialogue_dash) return {};
        std::string_view rest = line.substr(dash->bytes.size());
        if (const Lookalike* blank = lookalike_at(rest, 0); blank && blank->invisible) rest.remove_prefix(blank->bytes.size());
        const std::string fixed = std::string(dialogue_dash) + (rest.starts_with(' ') ? "" : " ") + std::string(rest);
        if (fixed.find(':') == std::string::npos) return {};
        return with_fix(warning_at(notice.line, "réplique perdue : elle commence par " + describe_lookalike(*dash) +
                                                    ", que le jeu ne reconnaît pas ; elle termine le bloc [Dialogue] "
                                                    "sans être lue"),
                        fixed);
    }
    const auto arrow = with_plain_arrow(line);
    if (!arrow) return {};
    return with_fix(warning_at(notice.line, "option perdue : sa flèche est " + describe_lookalike(*arrow->second) +
                                                " ; elle termine le bloc [Choix] sans être lue"),
                    arrow->first);
}

std::optional<Diagnostic> describe_lookalike_target(const LoadNotice& notice, const NoticeCollector& collector,
                                                    std::string_view note) {
    const auto found = first_lookalike(notice.bytes);
    const auto stored = collector.choice_lines.find(notice.line);
    if (!found || stored == collector.choice_lines.end()) return std::nullopt;
    const std::string_view line = cut_at_line_end(stored->second);
    const std::size_t arrow = line.find(choice_arrow);
    if (arrow == std::string_view::npos) return std::nullopt;
    const std::size_t target = arrow + choice_arrow.size();
    const std::string fixed = std::string(line.substr(0, target)) + plain_signs(line.substr(target));
    if (!choice_target_reads(fixed)) return std::nullopt;
    return with_fix(error_at(notice.line, "cible du choix illisible : après « -> », " +
                                              describe_lookalike(*found->sign) + std::string(note)),
                    fixed);
}
