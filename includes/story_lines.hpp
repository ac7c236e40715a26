// The story file's physical lines, as the loader reads them.
#pragma once

#include <cstddef>
#include <istream>
#include <string_view>
#include <vector>

// Reads a story line by line the way a C reader with a 256-byte buffer
// would: each read returns the next line up to and including its LF, but
// never more than 255 bytes, so the rest of a longer line comes back as a
// line of its own. A CR LF pair reads as a single LF on every platform (a
// lone CR stays), whatever mode the stream was opened in. The stream is read
// in large blocks, never whole.
class StoryLineReader {
public:
    explicit StoryLineReader(std::istream& in) : in_(in), buffer_(block_size) {}

    // Next line, or false at the end of the file. The view stays valid until
    // the next call. A line holding a NUL byte ends at that byte, as a C
    // string would.
    bool next(std::string_view& line);

    // Physical line (from 1) the last line read belongs to.
    [[nodiscard]] int line_number() const { return line_number_; }

    // Whether the last line read was cut at 255 bytes from a longer one.
    [[nodiscard]] bool was_split() const { return split_; }

private:
    static constexpr std::size_t block_size = 64 * 1024;

    // Moves the unread bytes to the front, reads the next block and turns
    // every CR LF into LF. A CR at the very end of the data is held back
    // until the next byte tells whether it starts a CR LF pair.
    void refill();
    void translate_line_ends();

    std::istream& in_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;    // next unread byte
    std::size_t ready_ = 0;  // end of the translated bytes
    std::size_t end_ = 0;    // end of the bytes read from the file
    bool at_end_ = false;
    int line_number_ = 0;
    int next_line_number_ = 1;
    bool split_ = false;
};
