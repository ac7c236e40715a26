#include "support.hpp"

#include <atomic>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device seed;
    const fs::path base = fs::temp_directory_path();
    for (;;) {
        path_ = base / ("orlimar-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
        if (fs::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string TempDir::write(std::string_view name, std::string_view content) const {
    const fs::path file = path_ / fs::path(std::string(name));
    std::ofstream out(file, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    EXPECT_TRUE(out.good()) << "cannot write " << file;
    return file.string();
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void RecordingPacer::sleep_until(Clock::time_point deadline) {
    pauses_ms.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now_).count());
    if (deadline > now_) now_ = deadline;
}

FakeConsole::FakeConsole(std::string input)
    : in_(std::move(input)), override_(Console{&in_, &out_, &pacer}) {}

LoadedStory load_text(std::string_view content, LoadListener* listener) {
    std::istringstream in{std::string(content), std::ios::binary};
    LoadedStory story;
    FakeConsole console;
    story.count = load_story(in, "story.txt", *story.sections, listener);
    story.output = console.output();
    return story;
}
