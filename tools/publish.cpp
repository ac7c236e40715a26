#include "publish.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <sstream>
#include <vector>

#include "console_platform.hpp"
#include "file_path.hpp"
#include "story.hpp"
#include "story_check.hpp"

namespace {

constexpr std::string_view base64_digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view page_extension = ".html";
constexpr std::string_view default_page_name = "histoires.html";

std::optional<std::string> read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(bytes).str();
}

std::string file_name_of(const std::string& file) { return utf8_from_path(path_from_utf8(file).filename()); }

// One story: the page names it as the story menu would list it.
std::string default_output(std::span<const std::string> files) {
    if (files.size() != 1) return std::string(default_page_name);
    return utf8_from_path(path_from_utf8(files.front()).stem()) + std::string(page_extension);
}

// What keeps the stories from going into one page, if anything: two files
// of the same name would be one story to the menu and to the saves.
std::optional<std::string> shelf_problem(std::span<const std::string> files) {
    if (files.size() > static_cast<std::size_t>(max_listed_stories)) {
        return "une page offre au plus " + std::to_string(max_listed_stories) + " histoires, pas " +
               std::to_string(files.size());
    }
    std::set<std::string> names;
    for (const std::string& file : files) {
        if (!names.insert(file_name_of(file)).second) {
            return "deux histoires s'appellent « " + file_name_of(file) + " » : le menu et les sauvegardes les confondraient";
        }
    }
    return std::nullopt;
}

// Checks each story as the checker does; false when one has an error.
bool stories_check(std::span<const std::string> files, std::ostream& out) {
    bool playable = true;
    for (const std::string& file : files) {
        const CheckedStory checked = check_story_file(file);
        if (!checked.diagnostics.empty()) print_diagnostics(out, file, checked.diagnostics);
        if (exit_status(checked.diagnostics) == status_errors) playable = false;
    }
    return playable;
}

int refuse(std::ostream& err, const std::string& problem) {
    err << "orlimar-check : " << problem << "\n";
    return status_errors;
}

int report_missing_template(const std::filesystem::path& path, std::ostream& err) {
    err << "orlimar-check : le modèle de page « " << player_template_name << " » est introuvable ou illisible\n"
        << "  (cherché ici : " << utf8_from_path(path) << ").\n"
        << "  Il est livré à côté d'orlimar-check dans les paquets d'Orlimar : utilisez l'orlimar-check du paquet.\n"
        << "  Depuis les sources, construisez-le avec Emscripten (cmake --workflow --preset web),\n"
        << "  puis copiez build/web/" << player_template_name << " à côté d'orlimar-check.\n";
    return status_errors;
}

}  // namespace

std::string base64(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        const std::size_t taken = std::min<std::size_t>(3, bytes.size() - at);
        unsigned group = 0;
        for (std::size_t i = 0; i < 3; ++i) {
            group = (group << 8) | (i < taken ? static_cast<unsigned char>(bytes[at + i]) : 0u);
        }
        for (std::size_t i = 0; i < 4; ++i) {
            text += i <= taken ? base64_digits[(group >> (18 - 6 * i)) & 0x3f] : '=';
        }
    }
    return text;
}

std::optional<std::string> page_with_stories(std::string_view player_template, std::span<const StoryFile> stories) {
    const std::size_t at = player_template.find(stories_placeholder);
    if (at == std::string_view::npos ||
        player_template.find(stories_placeholder, at + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    // Base64 keeps every byte of a story as it is, and never closes the
    // script element nor breaks the JSON.
    std::string element = R"(<script type="application/json" id="orlimar-histoires">{"histoires":[)";
    for (std::size_t i = 0; i < stories.size(); ++i) {
        if (i > 0) element += ',';
        element += R"({"nom":")" + base64(stories[i].name) + R"(","texte":")" + base64(stories[i].bytes) + R"("})";
    }
    element += "]}</script>";
    std::string page(player_template.substr(0, at));
    page += element;
    page += player_template.substr(at + stories_placeholder.size());
    return page;
}

int publish_mode(const PublishRequest& request, std::ostream& out, std::ostream& err) {
    if (const auto problem = shelf_problem(request.files)) return refuse(err, *problem);
    if (!stories_check(request.files, out)) return refuse(err, "la page n'est pas écrite : corrigez d'abord les erreurs");
    std::vector<StoryFile> stories;
    for (const std::string& file : request.files) {
        std::optional<std::string> bytes = read_bytes(path_from_utf8(file));
        if (!bytes) return refuse(err, "impossible de lire « " + file + " »");
        stories.push_back({file_name_of(file), std::move(*bytes)});
    }
    const std::optional<std::string> player_template = read_bytes(request.player_template);
    if (!player_template) return report_missing_template(request.player_template, err);
    const std::optional<std::string> page = page_with_stories(*player_template, stories);
    if (!page) return refuse(err, "« " + utf8_from_path(request.player_template) + " » n'est pas un modèle de page d'Orlimar");

    const std::string output = request.output.value_or(default_output(request.files));
    std::ofstream written(path_from_utf8(output), std::ios::binary | std::ios::trunc);
    written << *page;
    written.close();
    if (!written) return refuse(err, "impossible d'écrire « " + output + " »");
    out << "Page écrite : " << output << " (" << stories.size() << (stories.size() > 1 ? " histoires, " : " histoire, ")
        << (page->size() + 1023) / 1024 << " Ko)\n";
    return status_clean;
}

std::filesystem::path shipped_player_template() {
    return console_platform::program_path().parent_path() / path_from_utf8(player_template_name);
}
