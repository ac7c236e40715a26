// Helpers shared by the tests: scratch folders, story files, and a console
// whose output is captured, whose input is scripted and whose pauses are
// recorded instead of waited.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "console.hpp"
#include "story.hpp"

// A fresh folder under the system's temporary folder, removed with its
// content at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

    // Writes `content` byte for byte to `name` inside the folder; returns its path.
    std::string write(std::string_view name, std::string_view content) const;

private:
    std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& path);

// What the platform's text mode writes for a line feed. The save file is a
// text file: its bytes end its line with CR LF on Windows.
#ifdef _WIN32
inline const std::string text_line_end = "\r\n";
#else
inline const std::string text_line_end = "\n";
#endif

// A pacer that never waits: it records every pause asked of it, in
// milliseconds, and moves its own clock forward instead.
class RecordingPacer final : public Pacer {
public:
    Clock::time_point now() override { return now_; }
    void sleep_until(Clock::time_point deadline) override;

    std::vector<long long> pauses_ms;

private:
    Clock::time_point now_{};
};

// Captures everything printed, serves `input` as the player's keys, records
// pauses; restores the real console when it goes out of scope.
class FakeConsole {
public:
    explicit FakeConsole(std::string input = {});

    [[nodiscard]] std::string output() const { return out_.str(); }
    void clear_output() { out_.str({}); }
    RecordingPacer pacer;

private:
    std::istringstream in_;
    std::ostringstream out_;
    ConsoleOverride override_;
};

// A section table on the heap (it is large) with its loaded count.
struct LoadedStory {
    std::unique_ptr<SectionTable> sections = std::make_unique<SectionTable>();
    int count = 0;
    std::string output;  // what the loader printed

    const Section& operator[](int i) const { return (*sections)[static_cast<std::size_t>(i)]; }
};

// Loads `content` as a story.
LoadedStory load_text(std::string_view content, LoadListener* listener = nullptr);
