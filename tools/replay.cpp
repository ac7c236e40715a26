#include "replay.hpp"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "file_path.hpp"
#include "text_excerpt.hpp"
#include "wording.hpp"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view heading = "Partie enregistrée par orlimar-check (orlimar-check --rejouer la rejoue)";
constexpr std::string_view story_field = "histoire : ";
constexpr std::string_view start_field = "départ : ";
constexpr std::string_view colours_field = "couleurs : ";
constexpr std::string_view keys_field = "touches : ";
constexpr std::string_view output_field = "sortie : ";
constexpr std::string_view from_story_menu = "menu des histoires";
constexpr std::string_view new_game = "nouvelle partie";
constexpr std::string_view section_word = "section ";
constexpr std::string_view yes = "oui";
constexpr std::string_view no = "non";

std::string generic_utf8(const fs::path& path) {
    const std::u8string utf8 = path.generic_u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::string start_text(const PlayStart& start) {
    if (start.story_menu) return std::string(from_story_menu);
    if (start.section == 0) return std::string(new_game);
    return std::string(section_word) + std::to_string(start.section);
}

// The whole of `text` as a count, or nothing.
std::optional<std::size_t> whole_count(std::string_view text) {
    std::size_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

// "N ligne", "N lignes": the count, when `text` is that with `word`.
std::optional<std::size_t> counted(std::string_view text, std::string_view word) {
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    const std::optional<std::size_t> count = whole_count(text.substr(0, blank));
    if (!count || text != count_of(static_cast<long long>(*count), word)) return std::nullopt;
    return count;
}

// Reads a recording's text line by line, counting lines from 1.
class RecordingReader {
public:
    explicit RecordingReader(std::string_view text) : rest_(text) {}

    ReadRecording read() {
        Recording recording;
        const std::optional<std::string_view> first = line();
        if (!first || *first != heading) return problem(0, "ce n'est pas une partie enregistrée par orlimar-check");
        const auto story = field(story_field);
        if (!story) return failed_;
        if (story->empty()) return problem(line_, "le nom de l'histoire manque");
        recording.story = std::string(*story);
        const auto start = field(start_field);
        if (!start) return failed_;
        if (!read_start(*start, recording.start)) {
            return problem(line_, "départ inconnu " + quote(*start) + " : « " + std::string(from_story_menu) +
                                      " », « " + std::string(new_game) + " » ou « section N » attendu");
        }
        const auto colours = field(colours_field);
        if (!colours) return failed_;
        if (*colours != yes && *colours != no) return problem(line_, "« couleurs : oui » ou « couleurs : non » attendu");
        recording.colours = *colours == yes;
        if (!read_keys(recording.keys)) return failed_;
        if (!read_output(recording.output)) return failed_;
        ReadRecording read;
        read.recording = std::move(recording);
        read.output_line = line_ + 1;
        return read;
    }

private:
    std::optional<std::string_view> line() {
        const std::size_t end = rest_.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view text = rest_.substr(0, end);
        rest_.remove_prefix(end + 1);
        ++line_;
        return text;
    }

    // The value of the next line, which must start with `name`.
    std::optional<std::string_view> field(std::string_view name) {
        const std::string wanted = "« " + std::string(name) + "… »";
        const std::optional<std::string_view> text = line();
        if (!text) {
            fail(line_ + 1, "fichier tronqué : " + wanted + " manque");
            return std::nullopt;
        }
        if (!text->starts_with(name)) {
            fail(line_, wanted + " attendu, pas " + quote(*text));
            return std::nullopt;
        }
        return text->substr(name.size());
    }

    static bool read_start(std::string_view text, PlayStart& start) {
        if (text == from_story_menu) {
            start.story_menu = true;
            return true;
        }
        if (text == new_game) return true;
        if (!text.starts_with(section_word)) return false;
        const std::optional<std::size_t> section = whole_count(text.substr(section_word.size()));
        if (!section || *section >= static_cast<std::size_t>(max_sections)) return false;
        start.section = static_cast<int>(*section);
        return true;
    }

    bool read_keys(std::string& keys) {
        const auto count_text = field(keys_field);
        if (!count_text) return false;
        const std::optional<std::size_t> count = counted(*count_text, "ligne");
        if (!count) {
            return fail(line_, "« touches : N lignes » attendu, pas " + quote(std::string(keys_field) + std::string(*count_text)));
        }
        for (std::size_t read = 0; read < *count; ++read) {
            const std::optional<std::string_view> key = line();
            if (!key) {
                return fail(line_ + 1, "fichier tronqué : les touches annoncées font " +
                                           count_of(static_cast<long long>(*count), "ligne") + ", le fichier en a " +
                                           std::to_string(read));
            }
            keys.append(*key).push_back('\n');
        }
        return true;
    }

    bool read_output(std::string& output) {
        const auto count_text = field(output_field);
        if (!count_text) return false;
        const std::optional<std::size_t> count = counted(*count_text, "octet");
        if (!count) {
            return fail(line_, "« sortie : N octets » attendu, pas " + quote(std::string(output_field) + std::string(*count_text)));
        }
        if (rest_.size() != *count) {
            const std::string sizes = "la sortie annoncée fait " + count_of(static_cast<long long>(*count), "octet") +
                                      ", le fichier en a " + std::to_string(rest_.size());
            return fail(line_ + 1, rest_.size() < *count ? "fichier tronqué : " + sizes : sizes);
        }
        output = std::string(rest_);
        return true;
    }

    bool fail(int at, std::string message) {
        failed_ = problem(at, std::move(message));
        return false;
    }

    static ReadRecording problem(int at, std::string message) {
        ReadRecording read;
        read.problem_line = at;
        read.problem = std::move(message);
        return read;
    }

    std::string_view rest_;
    int line_ = 0;
    ReadRecording failed_;
};

// One line of an output: its text, and whether a line end closes it.
struct OutputLine {
    bool exists = false;
    std::string_view text;
    bool ended = false;

    friend bool operator==(const OutputLine&, const OutputLine&) = default;
};

OutputLine line_at(std::string_view output, std::size_t& at) {
    if (at >= output.size()) return {};
    const std::size_t end = output.find('\n', at);
    const std::size_t stop = end == std::string_view::npos ? output.size() : end;
    const OutputLine line{true, output.substr(at, stop - at), end != std::string_view::npos};
    at = stop + 1;
    return line;
}

// A line of output as the author reads it in the report: quoted, with its
// control bytes (the colour escapes among them) written as "\033".
std::string shown(const OutputLine& line) {
    if (!line.exists) return "(fin de la sortie)";
    std::string text;
    for (const char c : valid_utf8(line.text)) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7f) {
            text += '\\';
            for (const int shift : {6, 3, 0}) text += static_cast<char>('0' + ((byte >> shift) & 7));
        } else {
            text += c;
        }
    }
    return "« " + text + " »" + (line.ended ? "" : " sans fin de ligne");
}

int lines_in(std::string_view output) {
    return static_cast<int>(std::count(output.begin(), output.end(), '\n')) +
           (output.empty() || output.back() == '\n' ? 0 : 1);
}

std::optional<std::string> read_whole_file(const std::string& file, std::string& problem) {
    const fs::path path = path_from_utf8(file);
    std::error_code error;
    // Only a regular file: a pipe or a device could block or never end.
    const bool regular = fs::is_regular_file(path, error);
    const std::uintmax_t size = regular ? fs::file_size(path, error) : 0;
    std::ifstream in;
    if (regular && !error) in.open(path, std::ios::binary);
    if (!in.is_open()) {
        problem = "impossible d'ouvrir le fichier";
        return std::nullopt;
    }
    if (size > max_recording_bytes) {
        problem = "fichier trop grand pour une partie enregistrée";
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

// A file that went through a Windows checkout (CR LF line ends) reads as written.
std::string with_lf_line_ends(std::string text) {
    const std::size_t first_end = text.find('\n');
    if (first_end == std::string::npos || first_end == 0 || text[first_end - 1] != '\r') return text;
    std::string lf;
    lf.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\r' || at + 1 >= text.size() || text[at + 1] != '\n') lf += text[at];
    }
    return lf;
}

void print_problem(std::ostream& out, const std::string& file, int line, std::string_view problem) {
    out << file;
    if (line > 0) out << ':' << line;
    out << ": erreur: " << problem << '\n';
}

int replay_file(const std::string& file, std::ostream& out, std::ostream& err) {
    std::string problem;
    const std::optional<std::string> text = read_whole_file(file, problem);
    if (!text) {
        print_problem(out, file, 0, problem);
        return status_errors;
    }
    const ReadRecording read = parse_recording(with_lf_line_ends(*text));
    if (!read.recording) {
        print_problem(out, file, read.problem_line, read.problem);
        return status_errors;
    }
    const Recording& recording = *read.recording;
    fs::path story_file = path_from_utf8(recording.story);
    if (story_file.is_relative()) story_file = (path_from_utf8(file).parent_path() / story_file).lexically_normal();
    const PlayableStory story = load_playable_story(generic_utf8(story_file));
    if (story.section_count == 0) {
        print_problem(out, file, 2, "l'histoire " + exact_quote(story.file) + " ne se charge pas");
        report_unplayable(story, err);
        return status_errors;
    }
    std::istringstream keys(recording.keys);
    std::ostringstream played;
    play_in_memory(story, recording.start, keys, played);
    const std::string now = recording.colours ? played.str() : without_colours(played.str());
    const std::optional<OutputDifference> difference = first_difference(recording.output, now);
    if (!difference) {
        out << file << ": sortie inchangée (" << count_of(lines_in(now), "ligne") << ")\n";
        return status_clean;
    }
    out << file << ':' << read.output_line + difference->line - 1 << ": la sortie change à sa ligne "
        << difference->line << '\n'
        << "  avant :      " << difference->before << '\n'
        << "  maintenant : " << difference->now << '\n';
    return status_warnings;
}

}  // namespace

std::string format_recording(const Recording& recording) {
    std::string keys = recording.keys;
    // A last line the player left unfinished reads the same finished.
    if (!keys.empty() && keys.back() != '\n') keys += '\n';
    const auto key_lines = static_cast<long long>(std::count(keys.begin(), keys.end(), '\n'));
    std::string text;
    text.append(heading).append("\n");
    text.append(story_field).append(recording.story).append("\n");
    text.append(start_field).append(start_text(recording.start)).append("\n");
    text.append(colours_field).append(recording.colours ? yes : no).append("\n");
    text.append(keys_field).append(count_of(key_lines, "ligne")).append("\n").append(keys);
    text.append(output_field).append(count_of(static_cast<long long>(recording.output.size()), "octet")).append("\n");
    return text.append(recording.output);
}

ReadRecording parse_recording(std::string_view text) { return RecordingReader(text).read(); }

std::string story_reference(const std::string& story_file, const std::string& recording_file) {
    const fs::path story = path_from_utf8(story_file);
    if (story.is_absolute()) return generic_utf8(story);
    std::error_code error;
    const fs::path folder = fs::absolute(path_from_utf8(recording_file), error).parent_path().lexically_normal();
    const fs::path target = fs::absolute(story, error).lexically_normal();
    if (error) return generic_utf8(story);
    const fs::path relative = target.lexically_relative(folder);
    return generic_utf8(relative.empty() ? target : relative);
}

bool write_recording(const fs::path& file, const Recording& recording) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << format_recording(recording);
    out.close();
    return !out.fail();
}

int report_unwritable(const std::string& file, std::ostream& err) {
    err << "orlimar-check : impossible d'écrire « " << file << " »\n";
    return status_errors;
}

KeyTap::int_type KeyTap::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (source_ == nullptr) return traits_type::eof();
    const int_type c = source_->sbumpc();
    if (traits_type::eq_int_type(c, traits_type::eof())) return c;
    current_ = traits_type::to_char_type(c);
    bytes_ += current_;
    setg(&current_, &current_, &current_ + 1);
    return c;
}

OutputTap::int_type OutputTap::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    bytes_ += traits_type::to_char_type(c);
    out_.put(traits_type::to_char_type(c));
    return c;
}

std::streamsize OutputTap::xsputn(const char* text, std::streamsize count) {
    bytes_.append(text, static_cast<std::size_t>(count));
    out_.write(text, count);
    return count;
}

int OutputTap::sync() {
    out_.flush();
    return out_ ? 0 : -1;
}

std::optional<OutputDifference> first_difference(std::string_view before, std::string_view now) {
    std::size_t at_before = 0, at_now = 0;
    for (int line = 1;; ++line) {
        const OutputLine was = line_at(before, at_before);
        const OutputLine is = line_at(now, at_now);
        if (was != is) return OutputDifference{line, shown(was), shown(is)};
        if (!was.exists) return std::nullopt;
    }
}

int replay_mode(std::span<const std::string> files, std::ostream& out, std::ostream& err) {
    int status = status_clean;
    for (const std::string& file : files) status = std::max(status, replay_file(file, out, err));
    return status;
}
