// Test helpers: a scratch folder, stories loaded from text, and a console
// whose output is captured, whose keys are scripted and whose pauses are
// recorded instead of waited.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "console.hpp"
#include "story.hpp"

// A fresh folder, removed with its content at the end of the test.
class TempDir {
public:
    TempDir() { std::filesystem::create_directories(path_); }
    ~TempDir() { std::filesystem::remove_all(path_, ignored_); }
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    // Writes `content` byte for byte to `name` in the folder; returns its path.
    std::string write(const std::string& name, std::string_view content) const {
        std::ofstream(path_ / name, std::ios::binary) << content;
        return (path_ / name).string();
    }

private:
    std::filesystem::path path_ =
        std::filesystem::temp_directory_path() / ("orlimar-test-" + std::to_string(std::random_device{}()));
    std::error_code ignored_;
};

inline std::string repeat(std::string_view text, std::size_t times) {
    std::string result;
    while (times-- > 0) result += text;
    return result;
}

#ifdef ORLIMAR_GOLDEN_CASES
// The story files the golden cases give the programs (their stories/
// folders, not the copies they expect back).
inline std::vector<std::filesystem::path> golden_stories() {
    std::vector<std::filesystem::path> stories;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(ORLIMAR_GOLDEN_CASES)) {
        const std::filesystem::path folder = entry.path().parent_path();
        if (entry.path().extension() == ".txt" && folder.filename() == "stories" &&
            folder.parent_path().parent_path().filename() == "golden") {
            stories.push_back(entry.path());
        }
    }
    return stories;
}
#endif

inline std::string read_file(const std::filesystem::path& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

// Records every pause asked of it, in milliseconds, instead of waiting; its
// clock wakes `oversleep` past each deadline, as a busy system does. The
// player asks for the rest of the text during pause number `rest_at`.
struct RecordingPacer final : Pacer {
    Clock::time_point now() override { return now_; }
    ByteWaitEnd wait_for_byte(Clock::time_point deadline) override {
        pauses_ms.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now_).count());
        now_ = std::max(now_, deadline) + oversleep;
        return pauses_ms.size() == rest_at ? ByteWaitEnd::rest_asked : ByteWaitEnd::due;
    }
    void begin_text() override { texts += '<'; }
    void end_text() override { texts += '>'; }
    std::vector<long long> pauses_ms;
    std::chrono::milliseconds oversleep{0};
    std::size_t rest_at = 0;
    std::string texts;  // "<" and ">" around each text typed with pauses
    Clock::time_point now_{};
};

// The console for as long as it lives: `input` as the keys, the output kept,
// with the whole output as it stood at each flush.
class FakeConsole {
public:
    explicit FakeConsole(std::string input = {}) : in_(std::move(input)) { buffer_.flushes = &flushes; }
    [[nodiscard]] std::string output() const { return buffer_.str(); }
    RecordingPacer pacer;
    std::vector<std::string> flushes;

private:
    struct FlushRecorder : std::stringbuf {
        std::vector<std::string>* flushes = nullptr;
        int sync() override { return flushes->push_back(str()), 0; }
    };
    std::istringstream in_;
    FlushRecorder buffer_;
    std::ostream out_{&buffer_};
    ConsoleOverride override_{Console{&in_, &out_, &pacer}};
};

// A loaded story: the table on the heap (it is large), its count and what
// the loader printed.
struct LoadedStory {
    std::unique_ptr<SectionTable> sections = std::make_unique<SectionTable>();
    int count = 0;
    std::string output;
    const Section& operator[](int i) const { return (*sections)[static_cast<std::size_t>(i)]; }
};

inline LoadedStory load_text(std::string_view content, LoadListener* listener = nullptr) {
    std::istringstream in{std::string(content), std::ios::binary};
    LoadedStory story;
    FakeConsole console;
    story.count = load_story(in, "story.txt", *story.sections, listener);
    story.output = console.output();
    return story;
}
