// The language server below the scripted session: positions in UTF-16
// units, the framing of messages, what it does with bad input, and that it
// tells an editor what the command line tells a terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "lsp_features.hpp"
#include "lsp_server.hpp"
#include "lsp_text.hpp"
#include "lsp_transport.hpp"
#include "story_check.hpp"
#include "support.hpp"

namespace {

using json = nlohmann::json;

std::string framed(std::string_view body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + std::string(body);
}

std::string framed_json(const json& message) { return framed(message.dump()); }

// The messages the server wrote, and its exit status, for `input`.
struct Served {
    std::vector<json> messages;
    int status = 0;
};

Served serve(const std::string& input) {
    std::istringstream in(input, std::ios::binary);
    std::ostringstream out, log;
    Served served;
    served.status = run_language_server(in, out, log);
    std::istringstream written(out.str(), std::ios::binary);
    for (ReadMessage m = read_message(written); m.status != ReadStatus::end; m = read_message(written)) {
        served.messages.push_back(json::parse(m.body));
    }
    return served;
}

json request(int id, const std::string& method, json params = json::object()) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}};
}

json notification(const std::string& method, json params = json::object()) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}

json opened(const std::string& uri, const std::string& text) {
    return notification("textDocument/didOpen", {{"textDocument", {{"uri", uri}, {"text", text}, {"version", 1}}}});
}

TEST(LspText, PositionsCountUtf16UnitsOnEveryKindOfLine) {
    EXPECT_EQ(utf16_length("Élise"), 5);
    EXPECT_EQ(utf16_length("\xF0\x9D\x84\x9E!"), 3);  // a character outside the BMP takes two units
    EXPECT_EQ(utf16_length("a\xFF\xC3"), 3);           // stray bytes: one unit each
    EXPECT_EQ(byte_in_line("Élise", 1), 2u);
    EXPECT_EQ(byte_in_line("\xF0\x9D\x84\x9E!", 1), 0u);  // inside a pair: its start
    EXPECT_EQ(byte_in_line("ab", 9), 2u);
    TextDocument document("# Section 0\r\nÉtable\n[Fin]");
    EXPECT_EQ(document.line_count(), 3);
    EXPECT_EQ(document.line(0), "# Section 0");
    EXPECT_EQ(document.line_range(1).end.character, 6);
    EXPECT_EQ(document.offset_of({1, 1}), 15u);
    EXPECT_EQ(document.position_of(15).character, 1);
    EXPECT_EQ(document.position_of(12).character, 11);  // the CR belongs to no character
    document.replace({{1, 1}, {2, 1}}, "cole\n[");
    EXPECT_EQ(document.text(), "# Section 0\r\nÉcole\n[Fin]");
    document.replace({{9, 0}, {0, 2}}, "");  // reversed, past the end: clamped
    EXPECT_EQ(document.text(), "# ");
}

TEST(LspTransport, ReadsPastWhatItCannotUse) {
    const struct { std::string_view name; std::string input; std::vector<ReadStatus> statuses; } cases[]{
        {"two_messages", framed("{}") + "\r\n" + framed("[1]"), {ReadStatus::message, ReadStatus::message}},
        {"lower_case_name_and_other_headers",
         "content-length: 2\r\nContent-Type: application/vscode-jsonrpc\r\n\r\n{}", {ReadStatus::message}},
        {"no_length", "Content-Type: x\r\n\r\n" + framed("{}"), {ReadStatus::skipped, ReadStatus::message}},
        {"unreadable_length", "Content-Length: 2x\r\n\r\n" + framed("{}"), {ReadStatus::skipped, ReadStatus::message}},
        {"header_line_too_long", std::string(5000, 'X') + "\r\n\r\n" + framed("{}"),
         {ReadStatus::skipped, ReadStatus::message}},
        {"oversized_body", "Content-Length: 99999999999\r\n\r\n{}", {ReadStatus::skipped}},
        {"body_cut_short", "Content-Length: 10\r\n\r\n{}", {}},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.input, std::ios::binary);
        std::vector<ReadStatus> got;
        for (ReadMessage m = read_message(in); m.status != ReadStatus::end; m = read_message(in)) got.push_back(m.status);
        EXPECT_EQ(got, c.statuses) << c.name;
    }
}

TEST(LspServer, AnswersBadInputWithErrorsAndGoesOn) {
    const std::string input = framed("{not json") + framed("\"\xFF\"") + framed_json(json(json::array({1}))) +
                              framed_json(request(1, "initialize")) + framed_json(notification("initialized")) +
                              framed_json(opened("file:///a.txt", std::string("# Section 0\n\0[Fin]\n", 19))) +
                              framed_json(request(2, "textDocument/hover", {{"textDocument", {{"uri", "file:///b.txt"}}}})) +
                              framed_json(request(3, "$/unknown")) + framed_json(notification("exit"));
    const Served served = serve(input);
    std::vector<int> codes;
    for (const json& message : served.messages) {
        if (message.contains("error")) codes.push_back(message["error"]["code"].get<int>());
    }
    EXPECT_EQ(codes, (std::vector<int>{-32700, -32700, -32600, -32602, -32601}));
    EXPECT_EQ(served.status, 1);  // exit without shutdown
    EXPECT_EQ(serve(framed_json(request(1, "initialize")) + framed_json(request(2, "shutdown")) + framed_json(request(3, "shutdown")) +
                    framed_json(notification("exit")))
                  .status,
              0);
}

// For every story of the checker's golden cases, the editor gets the same
// lines, severities and messages as the command line prints.
TEST(LspServer, DiagnosticsAgreeWithTheCommandLine) {
    int compared = 0;
    for (const std::filesystem::path& path : golden_stories()) {
        const CheckedStory checked = check_story_file(path.string());
        if (checked.diagnostics.empty()) continue;
        std::ifstream file(path, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(file), {}};
        const Served served = serve(framed_json(request(1, "initialize")) + framed_json(opened("file:///s.txt", text)));
        ASSERT_EQ(served.messages.size(), 2u) << path;
        const json& published = served.messages[1]["params"]["diagnostics"];
        ASSERT_EQ(published.size(), checked.diagnostics.size()) << path;
        for (std::size_t i = 0; i < published.size(); ++i) {
            const Diagnostic& d = checked.diagnostics[i];
            EXPECT_EQ(published[i]["message"], d.message) << path;
            EXPECT_EQ(published[i]["range"]["start"]["line"], std::max(d.line - 1, 0)) << path;
            EXPECT_EQ(published[i]["severity"], d.severity == Severity::error ? 1 : d.severity == Severity::warning ? 2 : 3);
        }
        ++compared;
    }
    EXPECT_GE(compared, 15);
}

// A document past the bound is not checked: its one warning says so, and
// shrinking it back under the bound brings the checks again. A message too
// long to be read at all is said to the editor's user.
TEST(LspServer, ADocumentTooLongToCheckSaysSo) {
    EditorStory story;
    story.document.assign("# Section 0\n[Choix]\nA -> Section : 7\n");
    recheck(story, 20);
    ASSERT_EQ(story.checked.diagnostics.size(), 1u);
    EXPECT_EQ(story.checked.diagnostics[0].message,
              "document de 37 octets, trop long pour être vérifié pendant la frappe (plus de 20 octets) : rien n'y est "
              "vérifié ; lancez orlimar-check FICHIER dans un terminal");
    EXPECT_EQ(story.checked.section_count, 0);
    recheck(story, 37);
    ASSERT_EQ(story.checked.diagnostics.size(), 1u);
    EXPECT_NE(story.checked.diagnostics[0].message.find("la section 7, qui n'existe pas"), std::string::npos);
    const Served served = serve(framed_json(request(1, "initialize")) + "Content-Length: 99999999999\r\n\r\n");
    ASSERT_EQ(served.messages.size(), 2u);
    EXPECT_EQ(served.messages[1]["method"], "window/showMessage");
    EXPECT_EQ(served.messages[1]["params"]["message"],
              "orlimar-check --lsp : message de 99999999999 octets ignoré (plus de 33554432 octets) : le document qu'il porte "
              "n'est ni lu ni vérifié ; lancez orlimar-check FICHIER dans un terminal");
}

}  // namespace
