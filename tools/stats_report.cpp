#include "stats_report.hpp"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string_view>
#include <vector>

#include "game_engine.hpp"
#include "story.hpp"
#include "wording.hpp"

namespace {

using Milliseconds = std::chrono::milliseconds;

// --- A table with aligned columns ------------------------------------------

enum class Align { left, right };

struct Column {
    std::string heading;
    Align align;
};

// Characters, not bytes: headings and cells are UTF-8.
std::size_t width_of(std::string_view text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

class Table {
public:
    explicit Table(std::vector<Column> columns) : columns_(std::move(columns)) {}

    // A label written above the columns from `first_column` on.
    void group(std::size_t first_column, std::string label) { groups_.emplace_back(first_column, std::move(label)); }

    void add_row(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }

    void write(std::ostream& out) const {
        std::vector<std::size_t> widths;
        for (const Column& column : columns_) widths.push_back(width_of(column.heading));
        for (const auto& row : rows_) {
            for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], width_of(row[c]));
        }
        if (!groups_.empty()) write_groups(out, widths);
        std::vector<std::string> headings;
        for (const Column& column : columns_) headings.push_back(column.heading);
        write_row(out, widths, headings);
        for (const auto& row : rows_) write_row(out, widths, row);
    }

private:
    static constexpr std::size_t gap = 2;

    void write_groups(std::ostream& out, const std::vector<std::size_t>& widths) const {
        std::string line;
        std::size_t at = 0;  // characters written so far
        std::size_t start = 0;
        std::size_t column = 0;
        for (const auto& [first, label] : groups_) {
            for (; column < first; ++column) start += widths[column] + gap;
            line += std::string(start - std::min(start, at), ' ') + label;
            at = std::max(at, start) + width_of(label);
        }
        out << line << '\n';
    }

    void write_row(std::ostream& out, const std::vector<std::size_t>& widths,
                   const std::vector<std::string>& cells) const {
        std::string line;
        for (std::size_t c = 0; c < columns_.size(); ++c) {
            const std::string& cell = c < cells.size() ? cells[c] : std::string();
            const std::string padding(widths[c] - width_of(cell), ' ');
            if (c > 0) line += std::string(gap, ' ');
            line += columns_[c].align == Align::right ? padding + cell : cell + padding;
        }
        out << trim_trailing_blanks(line) << '\n';
    }

    std::vector<Column> columns_;
    std::vector<std::pair<std::size_t, std::string>> groups_;
    std::vector<std::vector<std::string>> rows_;
};

// --- Plain text -------------------------------------------------------------

constexpr std::string_view nothing = "—";

std::string number(std::size_t value) { return std::to_string(value); }

std::string max_heading(std::size_t limit) { return "max/" + std::to_string(limit); }

void add_figures(std::vector<std::string>& cells, const TextFigures& figures, bool with_count) {
    if (with_count) cells.push_back(number(static_cast<std::size_t>(figures.texts)));
    cells.push_back(number(figures.words));
    cells.push_back(number(figures.bytes));
    cells.push_back(number(figures.longest));
}

std::vector<std::string> section_row(const SectionStats& stats) {
    std::vector<std::string> cells;
    cells.push_back(stats.section < 0 ? "total" : std::to_string(stats.section));
    cells.push_back(stats.section < 0 ? "" : std::to_string(stats.line));
    add_figures(cells, stats.narration, false);
    add_figures(cells, stats.speech, true);
    add_figures(cells, stats.options, true);
    cells.push_back(typing_time(stats.typing));
    return cells;
}

void write_section_table(std::ostream& out, const StoryStats& stats) {
    const auto right = [](std::string heading) { return Column{std::move(heading), Align::right}; };
    // The section, then three groups of columns (narration, spoken texts,
    // options), then the typing time.
    Table table({right("section"), right("ligne"),
                 right("mots"), right("octets"), right(max_heading(LongText::max_size)),
                 right("nb"), right("mots"), right("octets"), right(max_heading(max_spoken_bytes)),
                 right("nb"), right("mots"), right("octets"), right(max_heading(max_option_bytes)),
                 right("frappe")});
    table.group(2, "narration");
    table.group(5, "répliques");
    table.group(9, "options");
    for (const SectionStats& section : stats.sections) table.add_row(section_row(section));
    table.add_row(section_row(stats.total));
    table.write(out);
    out << "\nmax : le plus long texte, en octets, face à ce que le jeu en garde au plus.\n"
        << "frappe : ce que le joueur attend pendant que le jeu tape la section : la narration à "
        << narration_delay_ms << " ms\npar octet, les répliques à " << dialogue_delay_ms
        << " ms et, sur un écran de fin, la narration retapée à " << ending_delay_ms << " ms.\n"
        << "Le total compte chaque section une fois.\n";
}

std::string ending_name(const Ending& ending) {
    const std::string section = "section " + std::to_string(ending.section);
    switch (ending.kind) {
        case EndingKind::end_option:
            return "choix " + std::to_string(ending.option + 1) + " de la " + section + ", vers -1";
        case EndingKind::ending_screen:
            return section + ", écran de fin";
        case EndingKind::no_choices:
            return section + ", sans écran de fin";
    }
    return section;
}

// The sections a walkthrough plays: its path without the end value.
std::size_t sections_played(const Ending& ending) {
    return static_cast<std::size_t>(std::count_if(ending.sections.begin(), ending.sections.end(),
                                                  [](int id) { return id != end_section_id; }));
}

void write_ending_table(std::ostream& out, const StoryStats& stats) {
    if (stats.endings.empty()) {
        out << "Aucune fin : chaque section a des choix et aucun ne mène à -1.\n";
        return;
    }
    out << "Fins, par le plus court chemin depuis la section 0 :\n";
    Table table({{"ligne", Align::right}, {"fin", Align::left}, {"sections", Align::right}, {"frappe", Align::right},
                 {"choix", Align::left}, {"chemin", Align::left}});
    for (const EndingStats& entry : stats.endings) {
        const Ending& ending = entry.ending;
        if (!ending.reachable) {
            table.add_row({std::to_string(ending.line), ending_name(ending), std::string(nothing), std::string(nothing),
                           "", "inaccessible"});
            continue;
        }
        table.add_row({std::to_string(ending.line), ending_name(ending), number(sections_played(ending)),
                       typing_time(entry.typing), format_keys(ending.keys), format_path(ending.sections)});
    }
    table.write(out);
}

// --- JSON -------------------------------------------------------------------

using Json = nlohmann::ordered_json;

Json figures_json(const TextFigures& figures) {
    return {{"textes", figures.texts},
            {"mots", figures.words},
            {"octets", figures.bytes},
            {"plus_long", figures.longest}};
}

Json section_json(const SectionStats& stats) {
    Json json;
    if (stats.section >= 0) {
        json["section"] = stats.section;
        json["ligne"] = stats.line;
    }
    json["narration"] = figures_json(stats.narration);
    json["repliques"] = figures_json(stats.speech);
    json["options"] = figures_json(stats.options);
    json["frappe_ms"] = stats.typing.count();
    return json;
}

std::string_view ending_kind_json(EndingKind kind) {
    switch (kind) {
        case EndingKind::ending_screen:
            return "ecran_de_fin";
        case EndingKind::no_choices:
            return "sans_ecran_de_fin";
        case EndingKind::end_option:
            return "choix_vers_fin";
    }
    return "";
}

Json ending_json(const EndingStats& entry) {
    const Ending& ending = entry.ending;
    Json json = {{"ligne", ending.line}, {"nature", ending_kind_json(ending.kind)}, {"section", ending.section}};
    json["choix"] = ending.kind == EndingKind::end_option ? Json(ending.option + 1) : Json(nullptr);
    json["accessible"] = ending.reachable;
    json["sections"] = ending.reachable ? Json(sections_played(ending)) : Json(nullptr);
    json["touches"] = ending.reachable ? Json(ending.keys) : Json(nullptr);
    json["chemin"] = ending.reachable ? Json(ending.sections) : Json(nullptr);
    json["frappe_ms"] = ending.reachable ? Json(entry.typing.count()) : Json(nullptr);
    return json;
}

}  // namespace

std::string typing_time(Milliseconds time) {
    const long long ms = time.count();
    const long long minutes = ms / 60'000;
    const long long seconds = ms / 1000 % 60;
    char text[48];
    if (minutes == 0) {
        std::snprintf(text, sizeof text, "%lld,%03lld s", seconds, ms % 1000);
    } else {
        std::snprintf(text, sizeof text, "%lld min %02lld,%03lld s", minutes, seconds, ms % 1000);
    }
    return text;
}

void write_stats_text(std::ostream& out, const std::string& file, const StoryStats& stats) {
    out << file << " : " << count_of(static_cast<long long>(stats.sections.size()), "section") << ", "
        << count_of(static_cast<long long>(stats.endings.size()), "fin") << "\n\n";
    write_section_table(out, stats);
    out << '\n';
    write_ending_table(out, stats);
}

void write_stats_json(std::ostream& out, const std::string& file, const StoryStats& stats) {
    Json json;
    json["fichier"] = file;
    json["limites_octets"] = {
        {"narration", LongText::max_size}, {"replique", max_spoken_bytes}, {"option", max_option_bytes}};
    json["delais_ms_par_octet"] = {
        {"narration", narration_delay_ms}, {"replique", dialogue_delay_ms}, {"texte_de_fin", ending_delay_ms}};
    Json sections = Json::array();
    for (const SectionStats& section : stats.sections) sections.push_back(section_json(section));
    json["sections"] = std::move(sections);
    json["total"] = section_json(stats.total);
    Json endings = Json::array();
    for (const EndingStats& ending : stats.endings) endings.push_back(ending_json(ending));
    json["fins"] = std::move(endings);
    // A file name that is not UTF-8 must not stop the report.
    out << json.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}
