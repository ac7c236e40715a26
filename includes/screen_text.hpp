// How text lands on a terminal screen: UTF-8 characters, their display
// columns, where the terminal would fold a line, and where a typed text may
// end its line early so that no word is cut. Plain rules over bytes, the
// same on every system; the console applies them on the player's terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace screen_text {

// How many bytes the UTF-8 character that starts with `lead` takes: 1 for
// ASCII and for bytes that cannot start a character (a continuation byte,
// 0xF8 and above), which are shown on their own.
constexpr std::size_t utf8_length(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

constexpr bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Columns a printable character takes when the system cannot tell: none for
// combining marks and zero-width signs, two for the wide East Asian
// characters and emoji, one otherwise.
int fallback_columns(char32_t character);

// The system's own answer (wcwidth on POSIX), -1 when it has none.
using ColumnsOf = int (*)(char32_t character);

// Follows the cursor's column over the bytes written to a terminal of
// `width` columns (0: unknown, never folds), as the terminal moves it:
// line feeds and carriage returns go back to column 0, escape sequences
// (colours) take no room, a character that does not fit folds the line.
class ColumnTracker {
public:
    explicit ColumnTracker(ColumnsOf columns_of = nullptr) : columns_of_(columns_of) {}

    void set_width(int width) { width_ = width > 0 ? width : 0; }
    int width() const { return width_; }
    int column() const { return column_; }
    void at_line_start() { column_ = 0; }

    void feed(std::string_view bytes);

private:
    enum class State { text, escape, control_sequence };
    void feed_byte(unsigned char byte);
    void advance(int columns);

    ColumnsOf columns_of_;
    int width_ = 0;
    int column_ = 0;
    State state_ = State::text;
    char32_t pending_ = 0;      // the character being decoded
    std::size_t missing_ = 0;   // its continuation bytes still to come
};

// Columns of a character, asking `columns_of` first.
int character_columns(char32_t character, ColumnsOf columns_of);

// `text` as typed from `column` on a terminal of `width` columns, with a
// line feed in place of each blank after which the next word would not fit
// on the line. Every other byte stays; a word wider than a whole line is
// left for the terminal to fold; `width` 0 changes nothing.
std::string wrap_words(std::string_view text, int column, int width, ColumnsOf columns_of = nullptr);

}  // namespace screen_text
