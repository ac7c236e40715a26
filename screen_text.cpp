#include "screen_text.hpp"

#include <array>
#include <utility>

namespace screen_text {
namespace {

constexpr unsigned char escape = 0x1B;
constexpr int tab_stop = 8;

using Range = std::pair<char32_t, char32_t>;

// Combining marks and zero-width signs.
constexpr std::array<Range, 9> zero_width = {{
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},
    {0x200B, 0x200F}, {0x20D0, 0x20FF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
}};

// East Asian wide and full-width characters, and the emoji blocks.
constexpr std::array<Range, 12> double_width = {{
    {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFE30, 0xFE4F}, {0xFF00, 0xFF60},
    {0x1F300, 0x1FAFF}, {0x20000, 0x3FFFD},
}};

template <std::size_t count>
bool in_ranges(char32_t character, const std::array<Range, count>& ranges) {
    for (const auto& [first, last] : ranges) {
        if (character >= first && character <= last) return true;
    }
    return false;
}

// Columns of the next word of `text` from `start`: up to a blank, a line end or the end.
int word_columns(std::string_view text, std::size_t start, ColumnsOf columns_of) {
    std::size_t end = start;
    while (end < text.size() && text[end] != ' ' && text[end] != '\n') ++end;
    ColumnTracker measure(columns_of);
    measure.feed(text.substr(start, end - start));
    return measure.column();
}

}  // namespace

int fallback_columns(char32_t character) {
    if (in_ranges(character, zero_width)) return 0;
    if (in_ranges(character, double_width)) return 2;
    return 1;
}

int character_columns(char32_t character, ColumnsOf columns_of) {
    const int columns = columns_of != nullptr ? columns_of(character) : -1;
    return columns >= 0 ? columns : fallback_columns(character);
}

void ColumnTracker::feed(std::string_view bytes) {
    for (const char byte : bytes) feed_byte(static_cast<unsigned char>(byte));
}

void ColumnTracker::advance(int columns) {
    if (width_ > 0 && column_ + columns > width_) column_ = 0;  // the terminal folds before it
    column_ += columns;
}

void ColumnTracker::feed_byte(unsigned char byte) {
    switch (state_) {
        case State::escape:
            state_ = byte == '[' ? State::control_sequence : State::text;
            return;
        case State::control_sequence:
            if (byte >= 0x40 && byte <= 0x7E) state_ = State::text;  // its final byte
            return;
        case State::text:
            break;
    }
    if (missing_ > 0) {
        if (is_continuation(byte)) {
            pending_ = (pending_ << 6) | (byte & 0x3F);
            if (--missing_ == 0) advance(character_columns(pending_, columns_of_));
            return;
        }
        missing_ = 0;
        advance(1);  // a cut character shows as one replacement sign
    }
    if (byte == '\n' || byte == '\r') {
        column_ = 0;
    } else if (byte == '\t') {
        column_ = (column_ / tab_stop + 1) * tab_stop;
        if (width_ > 0 && column_ > width_) column_ = width_;
    } else if (byte == '\b') {
        if (column_ > 0) --column_;
    } else if (byte == escape) {
        state_ = State::escape;
    } else if (byte < 0x20 || byte == 0x7F) {
        // other control characters take no room
    } else if (byte < 0x80) {
        advance(1);
    } else if (const std::size_t length = utf8_length(byte); length > 1) {
        missing_ = length - 1;
        pending_ = byte & (0x7F >> length);
    } else {
        advance(1);  // a byte that starts no character
    }
}

std::string wrap_words(std::string_view text, int column, int width, ColumnsOf columns_of) {
    std::string wrapped(text);
    if (width <= 0) return wrapped;
    ColumnTracker cursor(columns_of);
    cursor.set_width(width);
    cursor.feed(std::string(static_cast<std::size_t>(column > 0 ? column : 0), ' '));
    for (std::size_t at = 0; at < wrapped.size(); ++at) {
        if (wrapped[at] == ' ') {
            const int next = word_columns(wrapped, at + 1, columns_of);
            const bool word_fits_a_line = next <= width;
            if (cursor.column() + 1 + next > width && word_fits_a_line) wrapped[at] = '\n';
        }
        cursor.feed(std::string_view(&wrapped[at], 1));
    }
    return wrapped;
}

}  // namespace screen_text
