// A byte string stored inline in a fixed-size buffer.
//
// Story records hold their texts in fixed buffers so that a whole story is
// one flat table with no allocation. Every cut to capacity happens here: a
// FixedText<N> holds at most N - 1 bytes and is always NUL-terminated, so its
// bytes can be handed to anything that expects a C string.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

template <std::size_t Capacity>
class FixedText {
    static_assert(Capacity >= 1, "room for the terminator is needed");

public:
    // Longest text the buffer can hold.
    static constexpr std::size_t max_size = Capacity - 1;

    constexpr FixedText() = default;

    // Replaces the content with at most max_size bytes of `text`; returns
    // false when the text had to be cut.
    constexpr bool assign(std::string_view text) {
        size_ = std::min(text.size(), max_size);
        std::copy_n(text.data(), size_, bytes_.data());
        bytes_[size_] = '\0';
        return size_ == text.size();
    }

    // Appends as much of `text` as still fits; returns false when some of it
    // was dropped.
    constexpr bool append(std::string_view text) {
        const std::size_t room = max_size - size_;
        const std::size_t taken = std::min(text.size(), room);
        std::copy_n(text.data(), taken, bytes_.data() + size_);
        size_ += taken;
        bytes_[size_] = '\0';
        return taken == text.size();
    }

    constexpr void clear() {
        size_ = 0;
        bytes_[0] = '\0';
    }

    [[nodiscard]] constexpr std::string_view view() const { return {bytes_.data(), size_}; }
    [[nodiscard]] constexpr const char* c_str() const { return bytes_.data(); }
    [[nodiscard]] constexpr std::size_t size() const { return size_; }
    [[nodiscard]] constexpr bool empty() const { return size_ == 0; }

    constexpr operator std::string_view() const { return view(); }

    friend constexpr bool operator==(const FixedText& a, const FixedText& b) {
        return a.view() == b.view();
    }

private:
    std::array<char, Capacity> bytes_{};
    std::size_t size_ = 0;
};
