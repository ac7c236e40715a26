#include "lsp_transport.hpp"

#include <algorithm>
#include <charconv>
#include <istream>
#include <optional>
#include <ostream>

namespace {

constexpr std::string_view content_length = "content-length";

// One header line without its line end; nothing at the end of the stream.
// A line past the limit is read to its end and comes back as `too_long`.
std::optional<std::string> read_header_line(std::istream& in, bool& too_long) {
    std::string line;
    too_long = false;
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        if (line.size() < max_header_line_bytes) {
            line += static_cast<char>(c);
        } else {
            too_long = true;
        }
    }
    if (line.empty()) return std::nullopt;
    return line;
}

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x - 'A' + 'a' : x) == y;
           });
}

// The value of a "Content-Length: N" line, if it is one and N reads.
std::optional<std::size_t> length_in(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !same_name(line.substr(0, colon), content_length)) return std::nullopt;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    std::size_t length = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    if (value.empty() || error != std::errc{} || end != value.data() + value.size()) return std::nullopt;
    return length;
}

}  // namespace

ReadMessage read_message(std::istream& in) {
    std::optional<std::size_t> length;
    bool malformed = false;
    bool any_line = false;
    for (;;) {
        bool too_long = false;
        const std::optional<std::string> line = read_header_line(in, too_long);
        if (!line) return {ReadStatus::end, {}, {}};
        if (line->empty()) {
            if (!any_line) continue;  // blank lines between messages
            break;
        }
        any_line = true;
        if (too_long) {
            malformed = true;
        } else if (const auto value = length_in(*line)) {
            length = value;
        }
    }
    if (malformed || !length) return {ReadStatus::skipped, {}, "en-tête sans Content-Length lisible"};
    if (*length > max_message_bytes) {
        in.ignore(static_cast<std::streamsize>(*length));
        return {ReadStatus::skipped, {}, "message de " + std::to_string(*length) + " octets, trop long", *length};
    }
    std::string body(*length, '\0');
    in.read(body.data(), static_cast<std::streamsize>(*length));
    if (static_cast<std::size_t>(in.gcount()) != *length) return {ReadStatus::end, {}, {}};
    return {ReadStatus::message, std::move(body), {}};
}

void write_message(std::ostream& out, std::string_view body) {
    out << "Content-Length: " << body.size() << "\r\n\r\n" << body;
    out.flush();
}
