// File names are handled as UTF-8 bytes throughout; these turn them into the
// platform's paths and back, so that accented names work on every system.
#pragma once

#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

// Bytes that are not valid UTF-8 (a name cut in the middle of a character,
// say) are passed on as they are where the platform allows it.
inline std::filesystem::path path_from_utf8(std::string_view utf8) {
    try {
        return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
    } catch (const std::exception&) {
        return std::filesystem::path(std::string(utf8));
    }
}

inline std::string utf8_from_path(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}
