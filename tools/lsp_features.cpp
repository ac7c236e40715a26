#include "lsp_features.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string_view>

#include "game_engine.hpp"
#include "story.hpp"
#include "story_graph.hpp"
#include "text_excerpt.hpp"
#include "wording.hpp"

namespace {

constexpr std::size_t first_words_characters = 40;

// The loaded things a 0-based editor line holds.
struct ChoiceAt {
    int section = -1;
    int index = -1;
};

ChoiceAt choice_on(const EditorStory& story, int line) {
    const StoryPlaces& places = story.checked.places;
    for (int id = 0; id < story.checked.section_count; ++id) {
        const auto s = static_cast<std::size_t>(id);
        const auto count = section_options(section_at(*story.checked.sections, id)).size();
        for (std::size_t c = 0; c < count; ++c) {
            if (places.choice[s][c] == line + 1) return {id, static_cast<int>(c)};
        }
    }
    return {};
}

const Item* item_on(const EditorStory& story, int line) {
    for (int id = 0; id < story.checked.section_count; ++id) {
        const auto items = section_items(section_at(*story.checked.sections, id));
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (story.checked.places.item[static_cast<std::size_t>(id)][i] == line + 1) return &items[i];
        }
    }
    return nullptr;
}

int section_with_header(const EditorStory& story, int line) {
    for (int id = 0; id < story.checked.section_count; ++id) {
        if (story.checked.places.header[static_cast<std::size_t>(id)] == line + 1) return id;
    }
    return -1;
}

// 0-based lines of the item lines of `type` that name `name`.
std::vector<int> item_lines(const EditorStory& story, std::string_view name, int type) {
    std::vector<int> lines;
    for (int id = 0; id < story.checked.section_count; ++id) {
        const auto items = section_items(section_at(*story.checked.sections, id));
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].type == type && items[i].name.view() == name) {
                lines.push_back(story.checked.places.item[static_cast<std::size_t>(id)][i] - 1);
            }
        }
    }
    return lines;
}

std::string first_words(const EditorStory& story, int id) {
    return excerpt(trim_blanks(section_at(*story.checked.sections, id).narration.view()), first_words_characters);
}

std::string listed_lines(const std::vector<int>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i == 0 ? "" : ", ") + std::to_string(lines[i] + 1);
    return text;
}

// How a section ends, for its outline entry.
std::string ending_note(const EditorStory& story, int id, const std::vector<bool>& can_end) {
    switch (section_end(section_at(*story.checked.sections, id))) {
        case SectionEnd::ending_screen: return "fin";
        case SectionEnd::stop: return "impasse : ni choix ni [Fin]";
        case SectionEnd::choice_menu: break;
    }
    return can_end[static_cast<std::size_t>(id)] ? std::string() : "aucune fin accessible";
}

// The number written after "# Section", if any.
std::string written_number(std::string_view header) {
    std::string_view rest = header.substr(std::min(section_marker.size(), header.size()));
    rest = trim_leading_blanks(rest);
    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
    return std::string(rest.substr(0, digits));
}

void complete_targets(const EditorStory& story, TextPosition at, std::string_view after_arrow,
                      std::vector<CompletionEntry>& out) {
    // "->", "-> ", "-> Section :", "-> Section : 1": what is typed decides
    // what the entry adds.
    const std::string_view typed = trim_leading_blanks(after_arrow);
    const std::size_t colon = typed.find(':');
    std::string lead;
    std::size_t digits_from = after_arrow.size();
    if (colon == std::string_view::npos) {
        if (!typed.empty() && !std::string_view("Section").starts_with(trim_trailing_blanks(typed))) return;
        lead = (after_arrow.empty() ? " " : "") + std::string("Section : ");
        digits_from = after_arrow.size() - typed.size();
    } else {
        const std::string_view number = trim_leading_blanks(typed.substr(colon + 1));
        if (number.find_first_not_of("-0123456789") != std::string_view::npos) return;
        digits_from = after_arrow.size() - number.size();
        if (number.size() == typed.size() - colon - 1) lead = " ";
    }
    const int start = at.character - utf16_length(after_arrow.substr(digits_from));
    const TextRange replaces{{at.line, start}, at};
    for (int id = 0; id < story.checked.section_count; ++id) {
        out.push_back({std::to_string(id), first_words(story, id), replaces, lead + std::to_string(id)});
    }
    out.push_back({std::to_string(end_section_id), "fin de la partie", replaces, lead + std::to_string(end_section_id)});
}

void complete_items(const EditorStory& story, TextPosition at, std::string_view line, char close,
                    std::vector<CompletionEntry>& out) {
    std::set<std::string, std::less<>> names;
    for (int id = 0; id < story.checked.section_count; ++id) {
        for (const Item& item : section_items(section_at(*story.checked.sections, id))) names.emplace(item.name.view());
    }
    const TextRange replaces{{at.line, 1}, at};
    for (const std::string& name : names) {
        if (!line.empty() && name == line.substr(1)) continue;
        out.push_back({name, close == '"' ? "objet gagné" : "objet retiré", replaces, name + close});
    }
}

void complete_markers(const EditorStory& story, TextPosition at, std::vector<CompletionEntry>& out) {
    const TextRange replaces{{at.line, 0}, at};
    const std::string next_header = std::string(section_marker) + " " + std::to_string(story.checked.section_count);
    for (std::string_view marker : {std::string_view(next_header), narration_marker, narration_end_marker,
                                    dialogue_marker, choice_marker, ending_marker}) {
        out.push_back({std::string(marker), "marqueur", replaces, std::string(marker)});
    }
}

}  // namespace

void recheck(EditorStory& story, std::size_t document_limit) {
    const std::size_t size = story.document.text().size();
    if (size > document_limit) {
        story.checked = CheckedStory{};
        story.checked.diagnostics.push_back(warning_at(
            0, "document de " + std::to_string(size) + " octets, trop long pour être vérifié pendant la frappe (plus de " +
                   std::to_string(document_limit) + " octets) : rien n'y est vérifié ; lancez orlimar-check FICHIER "
                   "dans un terminal"));
        return;
    }
    std::istringstream in(story.document.text(), std::ios::binary);
    story.checked = check_story(in, "");
}

std::vector<SectionSymbol> section_symbols(const EditorStory& story) {
    const int count = story.checked.section_count;
    const std::vector<bool> can_end = sections_that_can_end(*story.checked.sections, count);
    std::vector<SectionSymbol> symbols;
    for (int id = 0; id < count; ++id) {
        const int header = story.checked.places.header[static_cast<std::size_t>(id)] - 1;
        const int next = id + 1 < count ? story.checked.places.header[static_cast<std::size_t>(id) + 1] - 1
                                        : story.document.line_count();
        SectionSymbol symbol{id, header, std::max(header, next - 1), "Section " + std::to_string(id), {}};
        const std::string written = written_number(story.document.line(header));
        if (!written.empty() && written != std::to_string(id)) symbol.name += " (écrite " + written + ")";
        symbol.detail = first_words(story, id);
        const std::string note = ending_note(story, id, can_end);
        if (!note.empty()) symbol.detail += (symbol.detail.empty() ? "" : " — ") + note;
        symbols.push_back(std::move(symbol));
    }
    return symbols;
}

std::vector<int> definition_lines(const EditorStory& story, int line) {
    const ChoiceAt choice = choice_on(story, line);
    if (choice.section >= 0) {
        const int target =
            section_at(*story.checked.sections, choice.section).choices[static_cast<std::size_t>(choice.index)].next_section_id;
        if (!is_loaded_section(target, story.checked.section_count)) return {};
        return {story.checked.places.header[static_cast<std::size_t>(target)] - 1};
    }
    const Item* item = item_on(story, line);
    if (item == nullptr || item->type != item_lose) return {};
    return item_lines(story, item->name.view(), item_gain);
}

std::vector<int> reference_lines(const EditorStory& story, int line, bool with_header) {
    const int id = section_with_header(story, line);
    if (id < 0) return {};
    std::vector<int> lines;
    if (with_header) lines.push_back(line);
    for (int from = 0; from < story.checked.section_count; ++from) {
        const auto options = section_options(section_at(*story.checked.sections, from));
        for (std::size_t c = 0; c < options.size(); ++c) {
            if (options[c].next_section_id == id) {
                lines.push_back(story.checked.places.choice[static_cast<std::size_t>(from)][c] - 1);
            }
        }
    }
    return lines;
}

std::optional<std::string> hover_text(const EditorStory& story, int line) {
    const ChoiceAt choice = choice_on(story, line);
    if (choice.section >= 0) {
        const int target =
            section_at(*story.checked.sections, choice.section).choices[static_cast<std::size_t>(choice.index)].next_section_id;
        if (target == end_section_id) return "fin de la partie";
        if (!is_loaded_section(target, story.checked.section_count)) {
            return "la section " + std::to_string(target) + " n'existe pas";
        }
        return "Section " + std::to_string(target) + " : " + first_words(story, target);
    }
    const Item* item = item_on(story, line);
    if (item == nullptr) return std::nullopt;
    const std::vector<int> gained = item_lines(story, item->name.view(), item_gain);
    const std::vector<int> lost = item_lines(story, item->name.view(), item_lose);
    std::string text = exact_quote(item->name.view()) + " : ";
    text += gained.empty() ? "gagné nulle part" : "gagné ligne " + listed_lines(gained);
    if (!lost.empty()) text += ", retiré ligne " + listed_lines(lost);
    return text;
}

std::vector<CompletionEntry> completions(const EditorStory& story, TextPosition at) {
    const std::string_view line = story.document.line(at.line);
    const std::string_view typed = line.substr(0, byte_in_line(line, at.character));
    std::vector<CompletionEntry> out;
    if (const std::size_t arrow = typed.rfind(choice_arrow); arrow != std::string_view::npos) {
        complete_targets(story, at, typed.substr(arrow + choice_arrow.size()), out);
    } else if (typed.starts_with('"') || typed.starts_with('<')) {
        complete_items(story, at, typed, typed.front() == '"' ? '"' : '>', out);
    } else if (typed.empty() || typed.starts_with('[') || typed.starts_with('#')) {
        complete_markers(story, at, out);
    }
    return out;
}

std::vector<const Diagnostic*> fixes_between(const EditorStory& story, int first, int last) {
    std::vector<const Diagnostic*> found;
    for (const Diagnostic& diagnostic : story.checked.diagnostics) {
        const int line = diagnostic.line - 1;
        if (!diagnostic.fix.empty() && diagnostic.line > 0 && line >= first && line <= last) found.push_back(&diagnostic);
    }
    return found;
}

int diagnostic_line(const EditorStory& story, const Diagnostic& diagnostic) {
    return std::clamp(diagnostic.line - 1, 0, std::max(story.document.line_count() - 1, 0));
}
