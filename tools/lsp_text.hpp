// A story as an editor holds it: its text, split into lines, with positions
// counted the way the Language Server Protocol counts them (a line, and
// UTF-16 code units within it), turned into byte offsets and back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct TextPosition {
    int line = 0;       // 0-based
    int character = 0;  // UTF-16 code units from the line's start
};

struct TextRange {
    TextPosition start;
    TextPosition end;
};

// UTF-16 code units that `bytes` of UTF-8 take; a byte that does not start
// a well-formed character counts as one unit, as editors show it.
int utf16_length(std::string_view bytes);

// The byte offset within `line` of the `character`-th UTF-16 unit, clamped
// to the line; a position inside a character goes to its start.
std::size_t byte_in_line(std::string_view line, int character);

class TextDocument {
public:
    explicit TextDocument(std::string text = {});

    const std::string& text() const { return text_; }
    int line_count() const { return static_cast<int>(line_starts_.size()); }

    // Line `index` (0-based) without its LF, nor the CR before it; empty
    // past the end.
    std::string_view line(int index) const;

    std::size_t offset_of(TextPosition position) const;
    TextPosition position_of(std::size_t offset) const;

    // The whole of line `index`, as a range.
    TextRange line_range(int index) const;

    // Replaces `range` with `replacement` (an incremental change).
    void replace(TextRange range, std::string_view replacement);
    void assign(std::string text);

private:
    void index_lines();

    std::string text_;
    std::vector<std::size_t> line_starts_;
};
