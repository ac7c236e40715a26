#include "lsp_text.hpp"

#include <algorithm>
#include <utility>

namespace {

// The length of the well-formed UTF-8 character at `at`, or 0.
std::size_t character_length(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    else return 0;
    if (at + length > bytes.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(bytes[at + i]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

// UTF-16 units of the character at `at` and the bytes it takes.
std::pair<int, std::size_t> next_character(std::string_view bytes, std::size_t at) {
    const std::size_t length = character_length(bytes, at);
    if (length == 0) return {1, 1};
    return {length == 4 ? 2 : 1, length};
}

}  // namespace

int utf16_length(std::string_view bytes) {
    int units = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        const auto [width, length] = next_character(bytes, at);
        units += width;
        at += length;
    }
    return units;
}

std::size_t byte_in_line(std::string_view line, int character) {
    std::size_t at = 0;
    for (int units = 0; at < line.size();) {
        const auto [width, length] = next_character(line, at);
        if (units + width > character) break;
        units += width;
        at += length;
    }
    return at;
}

TextDocument::TextDocument(std::string text) : text_(std::move(text)) { index_lines(); }

void TextDocument::index_lines() {
    // Sized once: a long document of short lines would otherwise hold the
    // index twice while it grows.
    line_starts_.clear();
    line_starts_.reserve(1 + static_cast<std::size_t>(std::count(text_.begin(), text_.end(), '\n')));
    line_starts_.push_back(0);
    for (std::size_t at = text_.find('\n'); at != std::string::npos; at = text_.find('\n', at + 1)) {
        line_starts_.push_back(at + 1);
    }
}

std::string_view TextDocument::line(int index) const {
    if (index < 0 || index >= line_count()) return {};
    const std::size_t start = line_starts_[static_cast<std::size_t>(index)];
    const std::size_t next =
        index + 1 < line_count() ? line_starts_[static_cast<std::size_t>(index) + 1] - 1 : text_.size();
    std::string_view content(text_.data() + start, next - start);
    if (content.ends_with('\r')) content.remove_suffix(1);
    return content;
}

std::size_t TextDocument::offset_of(TextPosition position) const {
    if (position.line < 0) return 0;
    if (position.line >= line_count()) return text_.size();
    const std::size_t start = line_starts_[static_cast<std::size_t>(position.line)];
    return start + byte_in_line(line(position.line), std::max(position.character, 0));
}

TextPosition TextDocument::position_of(std::size_t offset) const {
    offset = std::min(offset, text_.size());
    const auto next = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
    const auto index = static_cast<int>(next - line_starts_.begin()) - 1;
    const std::size_t start = line_starts_[static_cast<std::size_t>(index)];
    const std::string_view content = line(index);
    const std::size_t within = std::min(offset - start, content.size());
    return {index, utf16_length(content.substr(0, within))};
}

TextRange TextDocument::line_range(int index) const {
    return {{index, 0}, {index, utf16_length(line(index))}};
}

void TextDocument::replace(TextRange range, std::string_view replacement) {
    std::size_t start = offset_of(range.start);
    std::size_t end = offset_of(range.end);
    if (end < start) std::swap(start, end);
    text_.replace(start, end - start, replacement);
    index_lines();
}

void TextDocument::assign(std::string text) {
    text_ = std::move(text);
    index_lines();
}
