// How long an author waits for the diagnostics after a keystroke: the
// language server's whole check of the largest story the format allows, and
// of the generated story whose item search and paths cost the most. A
// session of N changes minus a session of none gives the time per change,
// framing and JSON included.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "benchmark_story.hpp"
#include "lsp_features.hpp"
#include "lsp_server.hpp"

namespace {

using json = nlohmann::json;

std::string framed(const json& message) {
    const std::string body = message.dump();
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// initialize, open `text`, then `changes` one-character edits in its middle.
std::string session(const std::string& text, int changes) {
    const std::string uri = "file:///largest.txt";
    std::string input = framed({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", json::object()}});
    input += framed({{"jsonrpc", "2.0"},
                     {"method", "textDocument/didOpen"},
                     {"params", {{"textDocument", {{"uri", uri}, {"text", text}, {"version", 1}}}}}});
    for (int i = 0; i < changes; ++i) {
        const json at = {{"line", 300}, {"character", 3}};
        input += framed({{"jsonrpc", "2.0"},
                         {"method", "textDocument/didChange"},
                         {"params",
                          {{"textDocument", {{"uri", uri}, {"version", i + 2}}},
                           {"contentChanges", json::array({{{"range", {{"start", at}, {"end", at}}}, {"text", "x"}}})}}}});
    }
    return input;
}

void BM_LspSessionOnLargestStory(benchmark::State& state) {
    const std::string input = session(maximal_story(), static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::istringstream in(input, std::ios::binary);
        std::ostringstream out, log;
        benchmark::DoNotOptimize(run_language_server(in, out, log));
    }
}
BENCHMARK(BM_LspSessionOnLargestStory)->Arg(0)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_RecheckAfterChange(benchmark::State& state, const std::string& text) {
    EditorStory story;
    story.document.assign(text);
    for (auto _ : state) {
        story.document.replace({{300, 3}, {300, 3}}, "x");
        recheck(story);
        benchmark::DoNotOptimize(story.checked.diagnostics.size());
    }
}
BENCHMARK_CAPTURE(BM_RecheckAfterChange, largest_story, maximal_story())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RecheckAfterChange, generated_story, benchmark_story())->Unit(benchmark::kMillisecond);

}  // namespace
