#include "story_map.hpp"

// The story map: a Graphviz digraph of the loaded sections and their choices.
#include <algorithm>
#include <initializer_list>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "story_check.hpp"
#include "text_excerpt.hpp"
#include "wording.hpp"

namespace {

// How much text a node or an edge shows.
constexpr std::size_t node_text_characters = 32;
constexpr std::size_t edge_text_characters = 28;

constexpr std::string_view end_node = "fin";

// A double-quoted DOT string. Quotes and backslashes are escaped so that the
// story text is shown as written.
std::string dot_string(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string section_node(int id) { return dot_string("s" + std::to_string(id)); }
std::string missing_node(int target) { return dot_string("absente " + std::to_string(target)); }

// Label lines joined with DOT's centred line break. Each line is escaped on
// its own, so that the break is the only escape sequence left in.
std::string label(std::initializer_list<std::string> lines) {
    std::string joined;
    for (const std::string& line : lines) {
        if (line.empty()) continue;
        if (!joined.empty()) joined += "\\n";
        const std::string quoted = dot_string(line);
        joined += quoted.substr(1, quoted.size() - 2);
    }
    return "\"" + joined + "\"";
}

bool is_ending_screen(const Section& section) { return section_end(section) == SectionEnd::ending_screen; }
bool is_dead_end(const Section& section) { return section_end(section) == SectionEnd::stop; }

void write_section_node(std::ostream& out, int id, const Section& section, bool reachable) {
    std::string mark;
    std::string fill = "white";
    std::string shape = "box";
    if (is_ending_screen(section)) {
        mark = "[Fin]";
        fill = "palegreen";
        shape = "box, peripheries=2";
    } else if (is_dead_end(section)) {
        mark = "(impasse)";
        fill = "lightpink";
        shape = "octagon";
    } else if (section.is_ending != 0) {
        mark = "([Fin] jamais affiché)";
    }
    std::string style = "filled";
    std::string extra;
    if (!reachable) {
        fill = "lightgrey";
        style += ",dashed";
        extra = ", color=grey50, fontcolor=grey40";
        mark += mark.empty() ? "(inaccessible)" : " (inaccessible)";
    }
    out << "  " << section_node(id) << " [label="
        << label({std::to_string(id), excerpt(section.narration.view(), node_text_characters), mark})
        << ", shape=" << shape << ", style=" << dot_string(style) << ", fillcolor=" << fill << extra << "];\n";
}

}  // namespace

void write_story_map(std::ostream& out, std::string_view title, const SectionTable& sections, int section_count) {
    const int count = loaded_count(section_count);
    const std::vector<bool> reachable = reachable_sections(sections, count);

    out << "digraph histoire {\n";
    out << "  graph [label=" << label({valid_utf8(title)}) << ", labelloc=t];\n";
    out << "  node [shape=box];\n";
    out << "  edge [fontsize=10];\n";

    bool needs_end_node = false;
    std::set<int> missing_targets;
    for (int id = 0; id < count; ++id) {
        const Section& section = section_at(sections, id);
        write_section_node(out, id, section, reachable[static_cast<std::size_t>(id)]);
    }
    for (int id = 0; id < count; ++id) {
        const Section& section = section_at(sections, id);
        const bool greyed = !reachable[static_cast<std::size_t>(id)];
        for (const Choice& choice : section_options(section)) {
            const int target = choice.next_section_id;
            std::string head;
            std::string colour = greyed ? ", color=grey50, fontcolor=grey40" : "";
            if (target == end_section_id) {
                head = dot_string(end_node);
                needs_end_node = true;
            } else if (is_loaded_section(target, count)) {
                head = section_node(target);
            } else {
                head = missing_node(target);
                missing_targets.insert(target);
                colour = ", color=red, fontcolor=red";
            }
            out << "  " << section_node(id) << " -> " << head
                << " [label=" << label({excerpt(trim_trailing_blanks(choice.text.view()), edge_text_characters)}) << colour
                << "];\n";
        }
    }
    if (needs_end_node) {
        out << "  " << dot_string(end_node) << " [label=\"Fin\", shape=doublecircle];\n";
    }
    for (int target : missing_targets) {
        out << "  " << missing_node(target) << " [label="
            << label({"section " + std::to_string(target), "(absente)"})
            << ", style=dashed, color=red, fontcolor=red];\n";
    }
    out << "}\n";
}
