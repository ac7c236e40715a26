// Shared by the fuzz targets: a private scratch folder for the files a run
// writes and the check that stops the fuzzer on a broken rule.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include "console.hpp"

// Stops the run with a message naming the rule, so that libFuzzer keeps the
// input as a crash.
#define FUZZ_CHECK(condition)                                                                       \
    do {                                                                                            \
        if (!(condition)) {                                                                         \
            std::fprintf(stderr, "%s:%d: rule broken: %s\n", __FILE__, __LINE__, #condition);      \
            std::fflush(stderr);                                                                    \
            __builtin_trap();                                                                       \
        }                                                                                           \
    } while (false)

namespace fuzz {

// A folder of this process's own under the temporary folder ($TMPDIR or
// /tmp), created on first use and removed when the process exits normally.
inline const std::filesystem::path& scratch_folder() {
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "orlimar-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratch_folder(), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

// Replaces the file at `path` with exactly `content`. The old file is
// removed first: truncating it would make some file systems (ext4) flush it
// to disk at every run.
inline void write_file(const std::filesystem::path& path, std::string_view content) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    FUZZ_CHECK(!out.fail());
}

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}


}  // namespace fuzz
