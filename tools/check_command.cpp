// The orlimar-check command line: check story files, or draw one's map.
#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "story_check.hpp"

namespace {

constexpr std::string_view dot_option = "--dot";
constexpr std::string_view end_of_options = "--";

void print_usage(std::ostream& out) {
    out << "usage : orlimar-check FICHIER...\n"
           "        orlimar-check --dot FICHIER\n"
           "Vérifie des histoires Orlimar et signale leurs problèmes, ligne par ligne.\n"
           "Avec --dot, écrit le plan de l'histoire au format Graphviz (dot -Tsvg).\n"
           "Code de sortie : 0 sans remarque, 1 avec des avertissements seulement, 2 avec une erreur.\n";
}

int usage_error(std::ostream& err, const std::string& problem) {
    err << "orlimar-check : " << problem << '\n';
    print_usage(err);
    return status_errors;
}

int check_files(const std::vector<std::string>& files, std::ostream& out) {
    int status = status_clean;
    for (const std::string& file : files) {
        const CheckedStory checked = check_story_file(file);
        print_diagnostics(out, file, checked.diagnostics);
        status = std::max(status, exit_status(checked.diagnostics));
    }
    return status;
}

// The map goes to `out` and the diagnostics to `err`, so that the map can be
// piped into dot. Succeeds whenever the story loads and the map is drawn.
int draw_map(const std::string& file, std::ostream& out, std::ostream& err) {
    const CheckedStory checked = check_story_file(file);
    if (!checked.diagnostics.empty()) print_diagnostics(err, file, checked.diagnostics);
    if (checked.section_count == 0) return status_errors;
    write_story_map(out, std::filesystem::path(file).stem().string(), *checked.sections, checked.section_count);
    return status_clean;
}

}  // namespace

int run_check_command(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    bool dot = false;
    bool options_done = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (!options_done && (arg == "--help" || arg == "-h")) {
            print_usage(out);
            return status_clean;
        }
        if (!options_done && arg == end_of_options) {
            options_done = true;
        } else if (!options_done && arg == dot_option) {
            if (dot) return usage_error(err, "--dot est donné deux fois");
            dot = true;
        } else if (!options_done && arg.size() > 1 && arg.front() == '-') {
            return usage_error(err, "option inconnue « " + arg + " »");
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) return usage_error(err, "aucun fichier à vérifier");
    if (dot && files.size() != 1) return usage_error(err, "--dot prend un seul fichier");
    return dot ? draw_map(files.front(), out, err) : check_files(files, out);
}
