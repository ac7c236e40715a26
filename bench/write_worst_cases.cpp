// Writes the worst-case stories into a folder, for bench/worst_case.py:
//   orlimar_worst_cases FOLDER [STRAY_LINES]
// and lists them, one "file<TAB>what it pushes" line each.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>

#include "worst_case_stories.hpp"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: orlimar_worst_cases FOLDER [STRAY_LINES]\n";
        return 2;
    }
    long long stray_lines = worst_case_stray_lines;
    if (argc == 3) {
        const std::string_view text = argv[2];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), stray_lines);
        if (error != std::errc{} || end != text.data() + text.size() || stray_lines < 0) {
            std::cerr << "orlimar_worst_cases: STRAY_LINES must be a whole number\n";
            return 2;
        }
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const WorstCaseStory& story : worst_case_stories(stray_lines)) {
        std::ofstream out(folder / story.name, std::ios::binary);
        out << story.text;
        if (!out.flush()) {
            std::cerr << "orlimar_worst_cases: cannot write " << (folder / story.name).string() << "\n";
            return 1;
        }
        std::cout << story.name << '\t' << story.purpose << '\n';
    }
    return 0;
}
