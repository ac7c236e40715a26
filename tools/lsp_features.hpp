// What an editor shows of a story, read off one check of its text: the
// sections as an outline, where a target or an item leads, what to offer
// while the author types, and the lines the checker would write instead.
// Lines here are 0-based, as editors count them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "lsp_text.hpp"
#include "story_check.hpp"

// A story checked as the editor holds it.
struct EditorStory {
    TextDocument document;
    CheckedStory checked;
};

// The largest document checked while the author types, 16 MiB: more than
// 30 times the largest story the format's caps can hold, and the size at which
// one check, the document's copies and its line index still take under a
// second and 256 MB. A larger one gets a single warning instead.
inline constexpr std::size_t max_checked_document_bytes = std::size_t{16} << 20;

// Checks the document's text the way orlimar-check checks a file, unless it
// is longer than `document_limit` bytes: then its one diagnostic says that
// it was not checked, and how to check it.
void recheck(EditorStory& story, std::size_t document_limit = max_checked_document_bytes);

struct SectionSymbol {
    int id = 0;
    int header_line = 0;
    int last_line = 0;   // the line before the next header, or the last line
    std::string name;    // "Section 3", with the number written in its header when that differs
    std::string detail;  // first words of its narration; how it ends
};

std::vector<SectionSymbol> section_symbols(const EditorStory& story);

// From a choice line: its target's header. From a lose-item line: the
// lines that gain that item.
std::vector<int> definition_lines(const EditorStory& story, int line);

// From a header line: the choices that lead to that section, and the
// header itself when `with_header`.
std::vector<int> reference_lines(const EditorStory& story, int line, bool with_header);

// On a choice line: the first words of the section it leads to. On an item
// line: where the item is gained and lost.
std::optional<std::string> hover_text(const EditorStory& story, int line);

struct CompletionEntry {
    std::string label;
    std::string detail;
    TextRange replaces;    // what typing it replaces on the line
    std::string new_text;
};

// After "->": the section numbers; in an item line: the item names the
// story uses; at a line's start: the markers.
std::vector<CompletionEntry> completions(const EditorStory& story, TextPosition at);

// The diagnostics that carry the line to write, on lines first to last.
std::vector<const Diagnostic*> fixes_between(const EditorStory& story, int first, int last);

// The 0-based editor line of a diagnostic (file-wide ones on the first line).
int diagnostic_line(const EditorStory& story, const Diagnostic& diagnostic);
