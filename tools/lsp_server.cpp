#include "lsp_server.hpp"

#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "lsp_features.hpp"
#include "lsp_transport.hpp"

#ifndef ORLIMAR_CHECK_VERSION
#error "ORLIMAR_CHECK_VERSION comes from the build: the project's version"
#endif

namespace {

using json = nlohmann::json;

// JSON-RPC and protocol error codes.
constexpr int parse_error = -32700;
constexpr int invalid_request = -32600;
constexpr int method_not_found = -32601;
constexpr int invalid_params = -32602;
constexpr int server_not_initialized = -32002;

// Documents an editor may hold open at once; more are refused.
constexpr std::size_t max_open_documents = 256;

constexpr int sync_incremental = 2;
constexpr int symbol_namespace = 3;
constexpr int completion_value = 12;
constexpr int completion_keyword = 14;
constexpr int message_warning = 2;  // window/showMessage

// --- Reading parameters without trusting them ---------------------------------

const json* member(const json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::optional<std::string> string_member(const json& object, const char* key) {
    const json* value = member(object, key);
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

int int_member(const json& object, const char* key) {
    const json* value = member(object, key);
    if (value == nullptr || !value->is_number_integer()) return 0;
    const auto number = value->get<long long>();
    return static_cast<int>(std::clamp<long long>(number, 0, 1 << 30));
}

TextPosition position_from(const json* value) {
    if (value == nullptr) return {};
    return {int_member(*value, "line"), int_member(*value, "character")};
}

std::optional<TextRange> range_from(const json* value) {
    if (value == nullptr || !value->is_object()) return std::nullopt;
    return TextRange{position_from(member(*value, "start")), position_from(member(*value, "end"))};
}

// --- Writing ----------------------------------------------------------------------

json to_json(TextPosition position) { return {{"line", position.line}, {"character", position.character}}; }
json to_json(TextRange range) { return {{"start", to_json(range.start)}, {"end", to_json(range.end)}}; }

int lsp_severity(Severity severity) {
    switch (severity) {
        case Severity::error: return 1;
        case Severity::warning: return 2;
        case Severity::remark: return 3;
    }
    return 3;
}

json diagnostic_json(const EditorStory& story, const Diagnostic& diagnostic) {
    return {{"range", to_json(story.document.line_range(diagnostic_line(story, diagnostic)))},
            {"severity", lsp_severity(diagnostic.severity)},
            {"source", "orlimar"},
            {"message", diagnostic.message}};
}

json location(const std::string& uri, const EditorStory& story, int line) {
    return {{"uri", uri}, {"range", to_json(story.document.line_range(line))}};
}

std::string dump(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

class Server {
public:
    Server(std::ostream& out, std::ostream& log) : out_(out), log_(log) {}

    // False once "exit" came.
    bool handle(const std::string& body) {
        const json message = json::parse(body, nullptr, false);
        if (message.is_discarded()) {
            respond_error(json(), parse_error, "JSON illisible");
            return true;
        }
        const std::optional<std::string> method = string_member(message, "method");
        const json* id = member(message, "id");
        if (!method) {
            // A response to nothing we asked: dropped. Anything else is not a request.
            if (id == nullptr || (!member(message, "result") && !member(message, "error"))) {
                respond_error(id ? *id : json(), invalid_request, "requête sans méthode");
            }
            return true;
        }
        const json no_params = json::object();
        const json* params = member(message, "params");
        return dispatch(*method, id, params ? *params : no_params);
    }

    int exit_status() const { return shut_down_ ? 0 : 1; }

    // Tells the editor's user that a message was too long to be read, so that
    // a document it carried is not taken for one without problems.
    void tell_dropped(std::size_t bytes) {
        if (!initialized_) return;
        send({{"jsonrpc", "2.0"},
              {"method", "window/showMessage"},
              {"params",
               {{"type", message_warning},
                {"message", "orlimar-check --lsp : message de " + std::to_string(bytes) + " octets ignoré (plus de " +
                                std::to_string(max_message_bytes) + " octets) : le document qu'il porte n'est ni lu ni vérifié ; lancez orlimar-check FICHIER "
                                "dans un terminal"}}}});
    }

private:
    bool dispatch(const std::string& method, const json* id, const json& params) {
        if (method == "exit") return false;
        const bool request = id != nullptr;
        if (!initialized_ && method != "initialize") {
            if (request) respond_error(*id, server_not_initialized, "initialize d'abord");
            return true;
        }
        if (shut_down_ && request) {
            respond_error(*id, invalid_request, "le serveur s'arrête");
            return true;
        }
        if (request) {
            answer(method, *id, params);
        } else {
            notify(method, params);
        }
        return true;
    }

    void answer(const std::string& method, const json& id, const json& params) {
        if (method == "initialize") return respond(id, initialize_result());
        if (method == "shutdown") {
            shut_down_ = true;
            return respond(id, nullptr);
        }
        using Handler = json (Server::*)(const EditorStory&, const std::string&, const json&);
        static const std::map<std::string, Handler, std::less<>> handlers{
            {"textDocument/documentSymbol", &Server::document_symbols},
            {"textDocument/definition", &Server::definition},
            {"textDocument/references", &Server::references},
            {"textDocument/hover", &Server::hover},
            {"textDocument/completion", &Server::completion},
            {"textDocument/codeAction", &Server::code_actions},
        };
        const auto handler = handlers.find(method);
        if (handler == handlers.end()) return respond_error(id, method_not_found, "méthode inconnue : " + method);
        const std::optional<std::string> uri = member(params, "textDocument") ? string_member(params["textDocument"], "uri")
                                                                             : std::nullopt;
        const auto document = uri ? documents_.find(*uri) : documents_.end();
        if (document == documents_.end()) return respond_error(id, invalid_params, "document inconnu");
        respond(id, (this->*handler->second)(*document->second, *uri, params));
    }

    void notify(const std::string& method, const json& params) {
        if (method == "initialized" || method.starts_with("$/")) return;
        const json* text_document = member(params, "textDocument");
        const std::optional<std::string> uri = text_document ? string_member(*text_document, "uri") : std::nullopt;
        if (!uri) return;
        if (method == "textDocument/didOpen") {
            open(*uri, string_member(*text_document, "text").value_or(""));
        } else if (method == "textDocument/didChange") {
            change(*uri, member(params, "contentChanges"));
        } else if (method == "textDocument/didClose") {
            documents_.erase(*uri);
            publish_empty(*uri);
        }
    }

    json initialize_result() {
        initialized_ = true;
        return {{"capabilities",
                 {{"textDocumentSync", {{"openClose", true}, {"change", sync_incremental}}},
                  {"documentSymbolProvider", true},
                  {"definitionProvider", true},
                  {"referencesProvider", true},
                  {"hoverProvider", true},
                  {"completionProvider", {{"triggerCharacters", json::array({":", "\"", "<", "[", "#"})}}},
                  {"codeActionProvider", {{"codeActionKinds", json::array({"quickfix"})}}}}},
                {"serverInfo", {{"name", "orlimar-check"}, {"version", ORLIMAR_CHECK_VERSION}}}};
    }

    // --- Documents ----------------------------------------------------------------

    void open(const std::string& uri, std::string text) {
        if (!documents_.contains(uri) && documents_.size() >= max_open_documents) {
            log_ << "orlimar-check --lsp : trop de documents ouverts, " << uri << " est ignoré\n";
            return;
        }
        auto& story = documents_[uri];
        story = std::make_unique<EditorStory>();
        story->document.assign(std::move(text));
        publish(uri, *story);
    }

    void change(const std::string& uri, const json* changes) {
        const auto document = documents_.find(uri);
        if (document == documents_.end() || changes == nullptr || !changes->is_array()) return;
        TextDocument& text = document->second->document;
        for (const json& change : *changes) {
            const std::optional<std::string> replacement = string_member(change, "text");
            if (!replacement) continue;
            const std::optional<TextRange> range = range_from(member(change, "range"));
            if (range) {
                text.replace(*range, *replacement);
            } else {
                text.assign(*replacement);
            }
        }
        publish(uri, *document->second);
    }

    void publish(const std::string& uri, EditorStory& story) {
        recheck(story);
        json diagnostics = json::array();
        for (const Diagnostic& diagnostic : story.checked.diagnostics) diagnostics.push_back(diagnostic_json(story, diagnostic));
        send({{"jsonrpc", "2.0"},
              {"method", "textDocument/publishDiagnostics"},
              {"params", {{"uri", uri}, {"diagnostics", std::move(diagnostics)}}}});
    }

    void publish_empty(const std::string& uri) {
        send({{"jsonrpc", "2.0"},
              {"method", "textDocument/publishDiagnostics"},
              {"params", {{"uri", uri}, {"diagnostics", json::array()}}}});
    }

    // --- Requests on a document -------------------------------------------------

    json document_symbols(const EditorStory& story, const std::string&, const json&) {
        json symbols = json::array();
        for (const SectionSymbol& symbol : section_symbols(story)) {
            const TextRange header = story.document.line_range(symbol.header_line);
            const TextRange whole{header.start, story.document.line_range(symbol.last_line).end};
            symbols.push_back({{"name", symbol.name},
                               {"detail", symbol.detail},
                               {"kind", symbol_namespace},
                               {"range", to_json(whole)},
                               {"selectionRange", to_json(header)}});
        }
        return symbols;
    }

    json definition(const EditorStory& story, const std::string& uri, const json& params) {
        json locations = json::array();
        for (const int line : definition_lines(story, position_from(member(params, "position")).line)) {
            locations.push_back(location(uri, story, line));
        }
        return locations;
    }

    json references(const EditorStory& story, const std::string& uri, const json& params) {
        const json* context = member(params, "context");
        const json* with_header = context ? member(*context, "includeDeclaration") : nullptr;
        json locations = json::array();
        const int line = position_from(member(params, "position")).line;
        for (const int found : reference_lines(story, line, with_header && with_header->is_boolean() && with_header->get<bool>())) {
            locations.push_back(location(uri, story, found));
        }
        return locations;
    }

    json hover(const EditorStory& story, const std::string&, const json& params) {
        const int line = position_from(member(params, "position")).line;
        const std::optional<std::string> text = hover_text(story, line);
        if (!text) return nullptr;
        return {{"contents", {{"kind", "plaintext"}, {"value", *text}}}, {"range", to_json(story.document.line_range(line))}};
    }

    json completion(const EditorStory& story, const std::string&, const json& params) {
        json items = json::array();
        for (const CompletionEntry& entry : completions(story, position_from(member(params, "position")))) {
            const bool marker = entry.detail == "marqueur";
            items.push_back({{"label", entry.label},
                             {"detail", entry.detail},
                             {"kind", marker ? completion_keyword : completion_value},
                             {"filterText", entry.new_text},
                             {"textEdit", {{"range", to_json(entry.replaces)}, {"newText", entry.new_text}}}});
        }
        return items;
    }

    json code_actions(const EditorStory& story, const std::string& uri, const json& params) {
        const std::optional<TextRange> range = range_from(member(params, "range"));
        json actions = json::array();
        if (!range) return actions;
        for (const Diagnostic* diagnostic : fixes_between(story, range->start.line, range->end.line)) {
            const int line = diagnostic_line(story, *diagnostic);
            const std::string first_line = diagnostic->fix.substr(0, diagnostic->fix.find('\n'));
            json edit = {{"range", to_json(story.document.line_range(line))}, {"newText", diagnostic->fix}};
            actions.push_back({{"title", "Écrire « " + first_line + " »"},
                               {"kind", "quickfix"},
                               {"isPreferred", true},
                               {"diagnostics", json::array({diagnostic_json(story, *diagnostic)})},
                               {"edit", {{"changes", {{uri, json::array({std::move(edit)})}}}}}});
        }
        return actions;
    }

    // --- Replies ----------------------------------------------------------------------

    void respond(const json& id, json result) {
        send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
    }

    void respond_error(const json& id, int code, const std::string& message) {
        send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
    }

    void send(const json& message) { write_message(out_, dump(message)); }

    std::ostream& out_;
    std::ostream& log_;
    bool initialized_ = false;
    bool shut_down_ = false;
    std::map<std::string, std::unique_ptr<EditorStory>, std::less<>> documents_;
};

}  // namespace

int run_language_server(std::istream& in, std::ostream& out, std::ostream& log) {
    Server server(out, log);
    for (;;) {
        ReadMessage message = read_message(in);
        if (message.status == ReadStatus::end) return server.exit_status();
        if (message.status == ReadStatus::skipped) {
            log << "orlimar-check --lsp : " << message.problem << '\n';
            if (message.dropped_bytes > 0) server.tell_dropped(message.dropped_bytes);
            continue;
        }
        if (!server.handle(message.body)) return server.exit_status();
    }
}
