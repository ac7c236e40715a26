// The story checker over arbitrary bytes: every analysis runs, each
// diagnostic points at a line of the input (or the file as a whole), comes
// sorted, and a line to write comes only with its «écrivez».
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_support.hpp"
#include "story_check.hpp"
#include "story_map.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream in(text, std::ios::binary);
    const CheckedStory checked = check_story(in, "fuzz.txt");
    const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    int previous = 0;
    for (const Diagnostic& d : checked.diagnostics) {
        FUZZ_CHECK(d.line >= 0 && d.line <= lines);
        FUZZ_CHECK(d.line >= previous);
        FUZZ_CHECK(!d.message.empty());
        FUZZ_CHECK(d.fix.empty() || d.message.find(" ; écrivez « ") != std::string::npos);
        previous = d.line;
    }
    const int status = exit_status(checked.diagnostics);
    FUZZ_CHECK(status >= status_clean && status <= status_errors);
    if (checked.section_count > 0) {
        std::ostringstream map;
        write_story_map(map, "fuzz", *checked.sections, checked.section_count);
        FUZZ_CHECK(map.str().starts_with("digraph"));
    }
    return 0;
}
