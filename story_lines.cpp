#include "story_lines.hpp"

#include <algorithm>
#include <cstring>

#include "story.hpp"

bool StoryLineReader::next(std::string_view& line) {
    constexpr std::size_t max_read = line_buffer_size - 1;
    for (;;) {
        const std::size_t available = ready_ - pos_;
        const std::size_t window = std::min(available, max_read);
        const char* start = buffer_.data() + pos_;
        const auto* lf = static_cast<const char*>(std::memchr(start, '\n', window));
        const bool drained = at_end_ && ready_ == end_;
        if (lf == nullptr && !drained && available <= max_read) {
            // Either the line may go on past the buffered bytes, or it
            // fills the whole read and the next byte tells whether the
            // physical line goes on: read more first.
            if (!(available == max_read && pos_ + max_read < ready_)) {
                refill();
                continue;
            }
        }
        const std::size_t length = lf != nullptr ? static_cast<std::size_t>(lf - start) + 1 : window;
        if (length == 0) return false;
        line_number_ = next_line_number_;
        const bool ends_line = start[length - 1] == '\n';
        if (ends_line) ++next_line_number_;
        split_ = !ends_line && pos_ + length < ready_;
        pos_ += length;
        const auto* nul = static_cast<const char*>(std::memchr(start, '\0', length));
        line = std::string_view(start, nul != nullptr ? static_cast<std::size_t>(nul - start) : length);
        return true;
    }
}

void StoryLineReader::refill() {
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    ready_ -= pos_;
    pos_ = 0;
    if (!at_end_) {
        in_.read(buffer_.data() + end_, static_cast<std::streamsize>(buffer_.size() - end_));
        const auto got = in_.gcount();
        end_ += static_cast<std::size_t>(got);
        if (got == 0 || !in_) at_end_ = true;
    }
    translate_line_ends();
}

void StoryLineReader::translate_line_ends() {
    std::size_t write = ready_;
    std::size_t read = ready_;
    while (read < end_) {
        // Copy up to the next CR in one go; most files have none.
        const char* from = buffer_.data() + read;
        const auto* cr = static_cast<const char*>(std::memchr(from, '\r', end_ - read));
        const std::size_t run = cr != nullptr ? static_cast<std::size_t>(cr - from) : end_ - read;
        if (write != read) std::memmove(buffer_.data() + write, from, run);
        write += run;
        read += run;
        if (read == end_) break;
        // buffer_[read] is a CR.
        if (read + 1 == end_ && !at_end_) break;  // wait for the next byte
        if (read + 1 < end_ && buffer_[read + 1] == '\n') {
            buffer_[write++] = '\n';
            read += 2;
        } else {
            buffer_[write++] = '\r';
            ++read;
        }
    }
    // Keep an undecided CR right after the translated bytes.
    const std::size_t pending = end_ - read;
    std::memmove(buffer_.data() + write, buffer_.data() + read, pending);
    ready_ = write;
    end_ = write + pending;
}
