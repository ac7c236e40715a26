// Language Server Protocol messages on a byte stream: a header of
// "Name: value" lines, each ended by CR LF, an empty line, then the
// Content-Length bytes of a JSON body.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

// Bodies longer than this are read past and dropped, as are header lines
// longer than the next. 32 MiB carries a document of the largest size the
// server checks (max_checked_document_bytes) even when every line of it is
// short, while what the server holds of one message stays under 256 MB.
inline constexpr std::size_t max_message_bytes = std::size_t{32} << 20;
inline constexpr std::size_t max_header_line_bytes = 4096;

enum class ReadStatus {
    message,  // `body` holds one message
    skipped,  // a malformed or oversized message was read past; `problem` says why
    end,      // the stream ended
};

struct ReadMessage {
    ReadStatus status = ReadStatus::end;
    std::string body;
    std::string problem;
    std::size_t dropped_bytes = 0;  // the length of a body skipped for being too long
};

ReadMessage read_message(std::istream& in);

void write_message(std::ostream& out, std::string_view body);
