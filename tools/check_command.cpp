// The orlimar-check command line: check story files, draw one's map, or play
// one (by hand, along every walkthrough, or at random).
#include "check_command.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_path.hpp"
#include "play_session.hpp"
#include "random_play.hpp"
#include "story_check.hpp"
#include "walkthrough.hpp"

#ifndef ORLIMAR_CHECK_VERSION
#error "ORLIMAR_CHECK_VERSION comes from the build: the project's version"
#endif

namespace {

constexpr std::string_view end_of_options = "--";

void print_usage(std::ostream& out) {
    out << "usage : orlimar-check FICHIER...\n"
           "        orlimar-check --dot FICHIER\n"
           "        orlimar-check --jouer FICHIER [--depuis N]\n"
           "        orlimar-check --parcours FICHIER [--transcription DOSSIER] [--sans-couleur]\n"
           "        orlimar-check --hasard N [--graine S] FICHIER\n"
           "        orlimar-check --help | --version\n"
           "Sans mode, vérifie des histoires Orlimar et signale leurs problèmes, ligne par ligne :\n"
           "erreurs, avertissements et remarques (ce que peut rencontrer une partie reprise) ;\n"
           "code de sortie : 0 sans erreur ni avertissement (les remarques ne comptent pas),\n"
           "1 avec des avertissements seulement, 2 avec une erreur.\n"
           "Modes (les options viennent dans n'importe quel ordre) :\n"
           "  --dot        écrit le plan de l'histoire au format Graphviz (dot -Tsvg).\n"
           "  --jouer      joue l'histoire comme le jeu, sans les pauses de la machine à écrire ;\n"
           "               avec --depuis N, commence à la section N, inventaire vide, comme une partie reprise.\n"
           "  --parcours   pour chaque fin, le plus court chemin depuis la section 0 et les choix à taper ;\n"
           "               avec --transcription DOSSIER, écrit aussi dans DOSSIER/fin-LIGNE.txt ce que le jeu\n"
           "               affiche sur ce chemin, sans les couleurs avec --sans-couleur.\n"
           "  --hasard N   joue N parties au hasard, la partie i avec la graine S + i (S tirée au hasard sans\n"
           "               --graine) : sections et choix pris, jamais pris, erreurs rencontrées et boucles ;\n"
           "               code 1 s'il y a eu une erreur ou une boucle.\n"
           "Les modes de jeu ne lisent ni n'écrivent aucune sauvegarde ; leur code de sortie est 2 quand\n"
           "l'histoire ne se charge pas.\n";
}

int usage_error(std::ostream& err, const std::string& problem) {
    err << "orlimar-check : " << problem << '\n';
    print_usage(err);
    return status_errors;
}

enum class Mode { check, dot, play, walkthrough, random };

struct Options {
    Mode mode = Mode::check;
    std::string mode_option;  // as written, for messages
    std::vector<std::string> files;
    std::optional<int> from;
    std::optional<std::string> transcripts;
    bool plain = false;
    std::optional<int> playthroughs;
    std::optional<std::uint64_t> seed;
};

// The whole of `text` as a number of type T, or nothing.
template <typename T>
std::optional<T> whole_number(std::string_view text) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

// Reads the arguments into `options`; returns the problem, or nothing.
class ArgumentReader {
public:
    ArgumentReader(std::span<const std::string> args, Options& options) : args_(args), options_(options) {}

    std::optional<std::string> read() {
        bool options_done = false;
        for (next_ = 0; next_ < args_.size();) {
            const std::string& arg = args_[next_++];
            if (options_done || arg.size() < 2 || arg.front() != '-') {
                options_.files.push_back(arg);
            } else if (arg == end_of_options) {
                options_done = true;
            } else if (auto problem = read_option(arg)) {
                return problem;
            }
        }
        return check_combination();
    }

private:
    std::optional<std::string> read_option(const std::string& arg) {
        if (arg == "--dot") return set_mode(Mode::dot, arg);
        if (arg == "--jouer") return set_mode(Mode::play, arg);
        if (arg == "--parcours") return set_mode(Mode::walkthrough, arg);
        if (arg == "--hasard") {
            if (auto problem = set_mode(Mode::random, arg)) return problem;
            const auto value = take_value(arg);
            if (!value) return arg + " attend un nombre de parties";
            options_.playthroughs = whole_number<int>(*value);
            if (!options_.playthroughs || *options_.playthroughs < 1 || *options_.playthroughs > max_random_playthroughs) {
                return arg + " attend un nombre de parties entre 1 et " + std::to_string(max_random_playthroughs) +
                       ", pas « " + *value + " »";
            }
            return std::nullopt;
        }
        if (arg == "--depuis") {
            if (options_.from) return twice(arg);
            const auto value = take_value(arg);
            if (!value || !(options_.from = whole_number<int>(*value))) return arg + " attend un numéro de section";
            return std::nullopt;
        }
        if (arg == "--graine") {
            if (options_.seed) return twice(arg);
            const auto value = take_value(arg);
            if (!value || !(options_.seed = whole_number<std::uint64_t>(*value))) {
                return arg + " attend un entier positif ou nul";
            }
            return std::nullopt;
        }
        if (arg == "--transcription") {
            if (options_.transcripts) return twice(arg);
            options_.transcripts = take_value(arg);
            if (!options_.transcripts) return arg + " attend un dossier";
            return std::nullopt;
        }
        if (arg == "--sans-couleur") {
            if (options_.plain) return twice(arg);
            options_.plain = true;
            return std::nullopt;
        }
        return "option inconnue « " + arg + " »";
    }

    std::optional<std::string> set_mode(Mode mode, const std::string& arg) {
        if (options_.mode_option == arg) return twice(arg);
        if (options_.mode != Mode::check) return options_.mode_option + " et " + arg + " ne vont pas ensemble";
        options_.mode = mode;
        options_.mode_option = arg;
        return std::nullopt;
    }

    // The argument after an option is its value, whatever it looks like.
    std::optional<std::string> take_value(const std::string&) {
        if (next_ >= args_.size()) return std::nullopt;
        return args_[next_++];
    }

    static std::string twice(const std::string& arg) { return arg + " est donné deux fois"; }

    std::optional<std::string> check_combination() const {
        const Mode mode = options_.mode;
        if (options_.from && mode != Mode::play) return "--depuis ne s'emploie qu'avec --jouer";
        if ((options_.transcripts || options_.plain) && mode != Mode::walkthrough) {
            return std::string(options_.transcripts ? "--transcription" : "--sans-couleur") +
                   " ne s'emploie qu'avec --parcours";
        }
        if (options_.seed && mode != Mode::random) return "--graine ne s'emploie qu'avec --hasard";
        if (options_.files.empty()) return "aucun fichier à vérifier";
        if (mode != Mode::check && options_.files.size() != 1) return options_.mode_option + " prend un seul fichier";
        return std::nullopt;
    }

    std::span<const std::string> args_;
    Options& options_;
    std::size_t next_ = 0;
};

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

// --help and --version answer whatever else is given (before a "--").
std::optional<int> answer_question(std::span<const std::string> args, std::ostream& out) {
    for (const std::string& arg : args) {
        if (arg == end_of_options) break;
        if (arg == "--help" || arg == "-h") {
            print_usage(out);
            return status_clean;
        }
        if (arg == "--version") {
            out << "orlimar-check " << ORLIMAR_CHECK_VERSION << '\n';
            return status_clean;
        }
    }
    return std::nullopt;
}

}  // namespace

int run_check_command(std::span<const std::string> args, std::istream& in, std::ostream& out, std::ostream& err) {
    if (const auto answered = answer_question(args, out)) return *answered;
    Options options;
    if (const auto problem = ArgumentReader(args, options).read()) return usage_error(err, *problem);
    const std::string& file = options.files.front();
    switch (options.mode) {
        case Mode::check:
            return check_files(options.files, out);
        case Mode::dot:
            return draw_map(file, out, err);
        case Mode::play:
            return play_mode(file, options.from, in, out, err);
        case Mode::walkthrough: {
            WalkthroughOptions walk;
            if (options.transcripts) walk.transcripts = path_from_utf8(*options.transcripts);
            walk.plain = options.plain;
            return walkthrough_mode(file, walk, out, err);
        }
        case Mode::random:
            return random_mode(file, *options.playthroughs, options.seed, out, err);
    }
    return status_errors;
}

int run_check_command(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    return run_check_command(args, std::cin, out, err);
}
