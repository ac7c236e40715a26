// The orlimar-check command line: check story files, draw one's map, play
// one (by hand, along every walkthrough, or at random), count what it has to
// read, list its texts for proofreading, or publish stories as a web page.
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

#include "console_platform.hpp"
#include "file_path.hpp"
#include "lsp_server.hpp"
#include "play_session.hpp"
#include "proofreading.hpp"
#include "publish.hpp"
#include "random_play.hpp"
#include "replay.hpp"
#include "story_check.hpp"
#include "story_stats.hpp"
#include "walkthrough.hpp"

#ifndef ORLIMAR_CHECK_VERSION
#error "ORLIMAR_CHECK_VERSION comes from the build: the project's version"
#endif

namespace {

constexpr std::string_view end_of_options = "--";

struct Options;
using ModeRun = int (*)(const Options&, std::istream& in, std::ostream& out, std::ostream& err);
using ValueReader = std::optional<std::string> (*)(const std::string& arg, const std::string* value, Options&);

// One way of running orlimar-check. Usage, parsing, combination checks and
// dispatch all come from `modes` and `mode_options`: a new mode is one row
// there and one function.
struct ModeRow {
    std::string_view option;       // empty for the default mode, checking files
    std::string_view synopsis;     // its usage line after "orlimar-check "
    std::string_view label;        // how its description is headed
    std::string_view description;  // the rest of its paragraph in the usage text
    ValueReader value = nullptr;   // reads the argument the option takes, if any
    bool one_file = true;
    ModeRun run;
    bool takes_files = true;  // false for a mode that reads no story file
};

// The modes an option goes with: one bit per row of `modes`.
using ModeSet = unsigned;

constexpr ModeSet mode_set(std::size_t row) { return ModeSet{1} << row; }

// An option that only makes sense with some modes.
struct ModeOptionRow {
    std::string_view option;
    ModeSet modes;
    ValueReader read;  // `value` is null for a flag
    bool takes_value;
};

struct Options {
    std::size_t mode = 0;
    std::string mode_option;  // as written, for messages
    std::vector<std::string> files;
    std::vector<bool> given;  // per row of mode_options
    std::optional<int> from;
    std::optional<std::string> transcripts;
    std::optional<std::string> recording;
    bool plain = false;
    std::optional<int> playthroughs;
    std::optional<std::uint64_t> seed;
    StatsFormat format = StatsFormat::text;
    std::optional<std::string> page;
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

std::optional<std::string> read_playthroughs(const std::string& arg, const std::string* value, Options& options) {
    if (!value) return arg + " attend un nombre de parties";
    options.playthroughs = whole_number<int>(*value);
    if (!options.playthroughs || *options.playthroughs < 1 || *options.playthroughs > max_random_playthroughs) {
        return arg + " attend un nombre de parties entre 1 et " + std::to_string(max_random_playthroughs) + ", pas « " +
               *value + " »";
    }
    return std::nullopt;
}

std::optional<std::string> read_from(const std::string& arg, const std::string* value, Options& options) {
    if (!value || !(options.from = whole_number<int>(*value))) return arg + " attend un numéro de section";
    return std::nullopt;
}

std::optional<std::string> read_seed(const std::string& arg, const std::string* value, Options& options) {
    if (!value || !(options.seed = whole_number<std::uint64_t>(*value))) return arg + " attend un entier positif ou nul";
    return std::nullopt;
}

std::optional<std::string> read_transcripts(const std::string& arg, const std::string* value, Options& options) {
    if (!value) return arg + " attend un dossier";
    options.transcripts = *value;
    return std::nullopt;
}

std::optional<std::string> read_format(const std::string& arg, const std::string* value, Options& options) {
    if (value && *value == "texte") {
        options.format = StatsFormat::text;
    } else if (value && *value == "json") {
        options.format = StatsFormat::json;
    } else {
        return arg + " attend « texte » ou « json »" + (value ? ", pas « " + *value + " »" : std::string());
    }
    return std::nullopt;
}

std::optional<std::string> read_recording(const std::string& arg, const std::string* value, Options& options) {
    if (!value) return arg + " attend un fichier";
    options.recording = *value;
    return std::nullopt;
}

std::optional<std::string> read_page(const std::string& arg, const std::string* value, Options& options) {
    if (!value) return arg + " attend le fichier de la page à écrire";
    options.page = *value;
    return std::nullopt;
}

std::optional<std::string> read_plain(const std::string&, const std::string*, Options& options) {
    options.plain = true;
    return std::nullopt;
}

int check_files(const Options& options, std::istream&, std::ostream& out, std::ostream&) {
    int status = status_clean;
    for (const std::string& file : options.files) {
        const CheckedStory checked = check_story_file(file);
        print_diagnostics(out, file, checked.diagnostics);
        status = std::max(status, exit_status(checked.diagnostics));
    }
    return status;
}

// The map goes to `out` and the diagnostics to `err`, so that the map can be
// piped into dot. Succeeds whenever the story loads and the map is drawn.
int draw_map(const Options& options, std::istream&, std::ostream& out, std::ostream& err) {
    const std::string& story_path = options.files.front();
    const CheckedStory checked = check_story_file(story_path);
    if (!checked.diagnostics.empty()) print_diagnostics(err, story_path, checked.diagnostics);
    if (checked.section_count == 0) return status_errors;
    write_story_map(out, std::filesystem::path(story_path).stem().string(), *checked.sections, checked.section_count);
    return status_clean;
}

int play(const Options& options, std::istream& in, std::ostream& out, std::ostream& err) {
    return play_mode(options.files.front(), {options.from, options.plain, options.recording}, in, out, err);
}

int walk(const Options& options, std::istream&, std::ostream& out, std::ostream& err) {
    return walkthrough_mode(options.files.front(), {options.transcripts, options.plain}, out, err);
}

int replay(const Options& options, std::istream&, std::ostream& out, std::ostream& err) {
    return replay_mode(options.files, out, err);
}

int play_at_random(const Options& options, std::istream&, std::ostream& out, std::ostream& err) {
    return random_mode(options.files.front(), *options.playthroughs, options.seed, out, err);
}

int show_stats(const Options& options, std::istream&, std::ostream& out, std::ostream& err) {
    return stats_mode(options.files.front(), options.format, out, err);
}

int serve_language(const Options&, std::istream& in, std::ostream& out, std::ostream& err) {
    if (&in == &std::cin) console_platform::use_binary_standard_streams();
    return run_language_server(in, out, err);
}

int proofread(const Options& options, std::istream&, std::ostream& out, std::ostream& err) {
    return proofreading_mode(options.files.front(), out, err);
}

int publish(const Options& options, std::istream&, std::ostream& out, std::ostream& err) {
    return publish_mode({options.files, options.page, shipped_player_template()}, out, err);
}

constexpr std::size_t play_row = 2, walkthrough_row = 3, random_row = 4, replay_row = 5, stats_row = 6,
                      publish_row = 9;

constexpr ModeRow modes[] = {
    {"", "FICHIER...", "", "", nullptr, false, check_files},
    {"--dot", "--dot FICHIER", "--dot", "écrit le plan de l'histoire au format Graphviz (dot -Tsvg).\n", nullptr,
     true, draw_map},
    {"--jouer", "--jouer FICHIER [--depuis N] [--sans-couleur] [--enregistrer PARTIE]", "--jouer",
     "joue l'histoire comme le jeu, sans les pauses de la machine à écrire ;\n"
     "               avec --depuis N, commence à la section N, inventaire vide, comme une partie reprise ;\n"
     "               --sans-couleur retire les couleurs ; --enregistrer PARTIE écrit dans le fichier PARTIE\n"
     "               les touches tapées et ce que le jeu a affiché, pour --rejouer.\n",
     nullptr, true, play},
    {"--parcours", "--parcours FICHIER [--transcription DOSSIER] [--sans-couleur]", "--parcours",
     "pour chaque fin, le plus court chemin depuis la section 0 et les choix à taper ;\n"
     "               avec --transcription DOSSIER, enregistre aussi dans DOSSIER/fin-LIGNE.txt la partie\n"
     "               jouée sur ce chemin, pour --rejouer, sans les couleurs avec --sans-couleur.\n",
     nullptr, true, walk},
    {"--hasard", "--hasard N [--graine S] FICHIER", "--hasard N",
     "joue N parties au hasard, la partie i avec la graine S + i (S tirée au hasard sans\n"
     "               --graine) : sections et choix pris, jamais pris, erreurs rencontrées et boucles ;\n"
     "               n'en commence plus après 250000 sections jouées en tout, ni après Ctrl-C, et dit\n"
     "               combien n'ont pas été jouées ; code 1 s'il y a eu une erreur ou une boucle,\n"
     "               ou si des parties n'ont pas été jouées.\n",
     read_playthroughs, true, play_at_random},
    {"--rejouer", "--rejouer PARTIE...", "--rejouer",
     "rejoue chaque partie enregistrée sur l'histoire telle qu'elle est et montre où ce que\n"
     "               le jeu affiche a changé ; code 0 si rien n'a changé, 1 si une sortie a changé, 2 si\n"
     "               une partie ou son histoire ne se lit pas.\n",
     nullptr, false, replay},
    {"--stats", "--stats FICHIER [--format texte|json]", "--stats",
     "par section et en tout : mots et octets de la narration, des répliques et des options\n"
     "               face à ce que le jeu en garde, temps de frappe ; pour chaque fin, le plus court\n"
     "               chemin en sections et en temps de frappe ; avec --format json, un objet JSON.\n",
     nullptr, true, show_stats},
    {"--relecture", "--relecture FICHIER", "--relecture",
     "tous les textes que lit le joueur, un par ligne, « LIGNE<tabulation>texte », sans\n"
     "               marques ni couleurs : de quoi nourrir un correcteur orthographique.\n",
     nullptr, true, proofread},
    {"--lsp", "--lsp", "--lsp",
     "serveur de langage (Language Server Protocol) sur l'entrée et la sortie standard :\n"
     "               les mêmes vérifications dans l'éditeur, pendant la frappe.\n",
     nullptr, false, serve_language, false},
    {"--publier", "--publier FICHIER... [-o SORTIE.html]", "--publier",
     "vérifie les histoires puis écrit une page web qui les joue dans le navigateur, sans\n"
     "               rien installer (par défaut HISTOIRE.html pour une histoire, histoires.html pour\n"
     "               plusieurs) ; une erreur arrête, les avertissements sont montrés.\n",
     nullptr, false, publish},
};

static_assert(random_play_section_budget == 250'000, "the --hasard row gives the budget");
static_assert(modes[play_row].option == "--jouer" && modes[walkthrough_row].option == "--parcours" &&
              modes[random_row].option == "--hasard" && modes[stats_row].option == "--stats" &&
              modes[replay_row].option == "--rejouer" && modes[publish_row].option == "--publier");

// In the order their misuse is reported.
constexpr ModeOptionRow mode_options[] = {
    {"--depuis", mode_set(play_row), read_from, true},
    {"--enregistrer", mode_set(play_row), read_recording, true},
    {"--transcription", mode_set(walkthrough_row), read_transcripts, true},
    {"--sans-couleur", mode_set(play_row) | mode_set(walkthrough_row), read_plain, false},
    {"--graine", mode_set(random_row), read_seed, true},
    {"--format", mode_set(stats_row), read_format, true},
    {"-o", mode_set(publish_row), read_page, true},
};

constexpr std::size_t description_column = 13;

void print_usage(std::ostream& out) {
    constexpr std::string_view heading = "Utilisation : ";
    std::string lead(heading);
    for (const ModeRow& mode : modes) {
        out << lead << "orlimar-check " << mode.synopsis << '\n';
        lead.assign(heading.size(), ' ');
    }
    out << lead << "orlimar-check --help | --version\n"
        << "Sans mode, vérifie des histoires Orlimar et signale leurs problèmes, ligne par ligne :\n"
           "erreurs, avertissements et remarques (ce que peut rencontrer une partie reprise) ;\n"
           "code de sortie : 0 sans erreur ni avertissement (les remarques ne comptent pas),\n"
           "1 avec des avertissements seulement, 2 avec une erreur.\n"
           "Modes (les options viennent dans n'importe quel ordre) :\n";
    for (const ModeRow& mode : modes) {
        if (mode.option.empty()) continue;
        out << "  " << mode.label << std::string(description_column - mode.label.size(), ' ') << mode.description;
    }
    out << "Les modes ne lisent ni n'écrivent aucune sauvegarde ; leur code de sortie est 2 quand\n"
           "l'histoire ne se charge pas.\n";
}

int usage_error(std::ostream& err, const std::string& problem) {
    err << "orlimar-check : " << problem << '\n';
    print_usage(err);
    return status_errors;
}

// Reads the arguments into `options`; returns the problem, or nothing.
class ArgumentReader {
public:
    ArgumentReader(std::span<const std::string> args, Options& options) : args_(args), options_(options) {
        options_.given.assign(std::size(mode_options), false);
    }

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
        for (std::size_t row = 1; row < std::size(modes); ++row) {
            if (modes[row].option != arg) continue;
            if (auto problem = set_mode(row, arg)) return problem;
            if (!modes[row].value) return std::nullopt;
            const std::string* value = take_value();
            return modes[row].value(arg, value, options_);
        }
        for (std::size_t row = 0; row < std::size(mode_options); ++row) {
            const ModeOptionRow& option = mode_options[row];
            if (option.option != arg) continue;
            if (options_.given[row]) return twice(arg);
            options_.given[row] = true;
            return option.read(arg, option.takes_value ? take_value() : nullptr, options_);
        }
        return "option inconnue « " + arg + " »";
    }

    std::optional<std::string> set_mode(std::size_t mode, const std::string& arg) {
        if (options_.mode_option == arg) return twice(arg);
        if (options_.mode != 0) return options_.mode_option + " et " + arg + " ne vont pas ensemble";
        options_.mode = mode;
        options_.mode_option = arg;
        return std::nullopt;
    }

    // The argument after an option is its value, whatever it looks like.
    const std::string* take_value() {
        if (next_ >= args_.size()) return nullptr;
        return &args_[next_++];
    }

    // "--jouer", "--jouer ou --parcours"
    static std::string mode_names(ModeSet set) {
        std::string names;
        for (std::size_t row = 1; row < std::size(modes); ++row) {
            if ((set & mode_set(row)) == 0) continue;
            if (!names.empty()) names += " ou ";
            names += modes[row].option;
        }
        return names;
    }

    static std::string twice(const std::string& arg) { return arg + " est donné deux fois"; }

    std::optional<std::string> check_combination() const {
        for (std::size_t row = 0; row < std::size(mode_options); ++row) {
            const ModeOptionRow& option = mode_options[row];
            if (options_.given[row] && (option.modes & mode_set(options_.mode)) == 0) {
                return std::string(option.option) + " ne s'emploie qu'avec " + mode_names(option.modes);
            }
        }
        if (!modes[options_.mode].takes_files) {
            if (!options_.files.empty()) return options_.mode_option + " ne prend pas de fichier";
            return std::nullopt;
        }
        if (options_.files.empty()) return "aucun fichier à vérifier";
        if (modes[options_.mode].one_file && options_.files.size() != 1) {
            return options_.mode_option + " prend un seul fichier";
        }
        return std::nullopt;
    }

    std::span<const std::string> args_;
    Options& options_;
    std::size_t next_ = 0;
};

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

namespace {

// A report that could not be written is a failure, whatever the mode found.
int checked_output(int status, std::ostream& out, std::ostream& err) {
    out.flush();
    if (out) return status;
    err << "orlimar-check : impossible d'écrire la sortie (disque plein ou sortie fermée ?)\n";
    return status_errors;
}

}  // namespace

int run_check_command(std::span<const std::string> args, std::istream& in, std::ostream& out, std::ostream& err) {
    if (const auto answered = answer_question(args, out)) return checked_output(*answered, out, err);
    Options options;
    if (const auto problem = ArgumentReader(args, options).read()) return usage_error(err, *problem);
    return checked_output(modes[options.mode].run(options, in, out, err), out, err);
}
