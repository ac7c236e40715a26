// Reading a decimal integer the way the "%d" conversion of formatted input
// does: optional white space, an optional sign, then digits. Shared by the
// story loader, the save file and the console so that all three agree on
// what a number is. Unlike "%d", a number outside int range is reported
// instead of being silently wrapped or clamped.
#pragma once

#include <climits>
#include <cstddef>
#include <streambuf>
#include <string>
#include <string_view>

enum class DecimalStatus {
    ok,
    no_number,
    out_of_range,
    end_of_input,  // nothing but white space before the end (stream reading only)
};

struct DecimalScan {
    DecimalStatus status;
    int value = 0;
};

// The white space that formatted input skips.
constexpr bool is_scan_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Whether `text` holds nothing but that white space (or nothing at all).
constexpr bool is_only_scan_blanks(std::string_view text) {
    for (const char c : text) {
        if (!is_scan_blank(c)) return false;
    }
    return true;
}

constexpr bool is_decimal_digit(char c) { return c >= '0' && c <= '9'; }

namespace decimal_detail {

// Past this magnitude a number can no longer fit in an int, whatever its sign.
inline constexpr long long beyond_int = static_cast<long long>(INT_MAX) + 2;

constexpr long long add_digit(long long magnitude, char digit) {
    return magnitude < beyond_int ? magnitude * 10 + (digit - '0') : magnitude;
}

constexpr DecimalScan finish(bool negative, long long magnitude) {
    const long long value = negative ? -magnitude : magnitude;
    if (value < INT_MIN || value > INT_MAX) return {DecimalStatus::out_of_range};
    return {DecimalStatus::ok, static_cast<int>(value)};
}

}  // namespace decimal_detail

// Scans the start of `text`.
constexpr DecimalScan scan_decimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_scan_blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size() || !is_decimal_digit(text[i])) return {DecimalStatus::no_number};
    long long magnitude = 0;
    for (; i < text.size() && is_decimal_digit(text[i]); ++i) magnitude = decimal_detail::add_digit(magnitude, text[i]);
    return decimal_detail::finish(negative, magnitude);
}

// Skips white space in a stream; returns the next byte, left unread, or EOF.
inline int skip_scan_blanks(std::streambuf& in) {
    int c = in.sgetc();
    while (c != std::char_traits<char>::eof() && is_scan_blank(static_cast<char>(c))) c = in.snextc();
    return c;
}

// Scans from a stream; the byte that stopped the scan stays unread, so what
// follows the number is left for the next read.
inline DecimalScan scan_decimal(std::streambuf& in) {
    using traits = std::char_traits<char>;
    int c = skip_scan_blanks(in);
    if (c == traits::eof()) return {DecimalStatus::end_of_input};
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = in.snextc();
    }
    if (c == traits::eof() || !is_decimal_digit(static_cast<char>(c))) return {DecimalStatus::no_number};
    long long magnitude = 0;
    for (; c != traits::eof() && is_decimal_digit(static_cast<char>(c)); c = in.snextc()) {
        magnitude = decimal_detail::add_digit(magnitude, static_cast<char>(c));
    }
    return decimal_detail::finish(negative, magnitude);
}
