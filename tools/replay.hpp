// Recorded playthroughs: --jouer --enregistrer and --parcours --transcription
// keep the keys a game read and what it wrote; --rejouer plays the same keys
// against the story as it is now and shows where the output first changed.
//
// A recording is a text file, written byte for byte with LF line ends:
//
//   Partie enregistrée par orlimar-check (orlimar-check --rejouer la rejoue)
//   histoire : ../stories/la_cave.txt
//   départ : section 3                  (or "nouvelle partie", "menu des histoires")
//   couleurs : non                      (or "oui")
//   touches : 2 lignes
//   1
//   n
//   sortie : 812 octets
//   <the output, exactly that many bytes, to the end of the file>
//
// The story is named relative to the recording's folder, unless absolute.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <istream>
#include <optional>
#include <ostream>
#include <span>
#include <streambuf>
#include <string>
#include <string_view>

#include "play_session.hpp"

// The largest recording --rejouer reads.
inline constexpr std::uintmax_t max_recording_bytes = std::uintmax_t{256} << 20;

struct Recording {
    std::string story;  // the story file: relative to the recording's folder, unless absolute
    PlayStart start;
    bool colours = true;  // whether the output keeps its colour escapes
    std::string keys;     // what the game read, whole lines
    std::string output;   // what it wrote
};

// The file's text for `recording`.
std::string format_recording(const Recording& recording);

// What reading a recording's text gave: the recording, or the problem and
// the file line it is on (0 for the whole file).
struct ReadRecording {
    std::optional<Recording> recording;
    int output_line = 0;  // the file line the output starts on
    int problem_line = 0;
    std::string problem;
};

ReadRecording parse_recording(std::string_view text);

// How a recording made at `recording_file` names `story_file`: relative to
// the recording's folder, in '/' form, unless `story_file` is absolute.
std::string story_reference(const std::string& story_file, const std::string& recording_file);

// Writes `recording` to `file`; false when it cannot be written.
bool write_recording(const std::filesystem::path& file, const Recording& recording);

// "orlimar-check : impossible d'écrire « FILE »" on `err`; returns the status for it.
int report_unwritable(const std::string& file, std::ostream& err);

// Hands a game the bytes of `source` one at a time and keeps each one handed.
class KeyTap final : public std::streambuf {
public:
    explicit KeyTap(std::streambuf* source) : source_(source) {}
    [[nodiscard]] const std::string& bytes() const { return bytes_; }

protected:
    int_type underflow() override;

private:
    std::streambuf* source_;
    char current_ = 0;
    std::string bytes_;
};

// Passes what a game writes on to `out` and keeps a copy.
class OutputTap final : public std::streambuf {
public:
    explicit OutputTap(std::ostream& out) : out_(out) {}
    [[nodiscard]] const std::string& bytes() const { return bytes_; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    std::ostream& out_;
    std::string bytes_;
};

// The keys read from `in` and the output written to `out` by a game played
// through in() and out().
class SessionTap {
public:
    SessionTap(std::istream& in, std::ostream& out) : keys_(in.rdbuf()), output_(out) {}
    std::istream& in() { return in_; }
    std::ostream& out() { return out_; }
    [[nodiscard]] const std::string& keys() const { return keys_.bytes(); }
    [[nodiscard]] const std::string& output() const { return output_.bytes(); }

private:
    KeyTap keys_;
    OutputTap output_;
    std::istream in_{&keys_};
    std::ostream out_{&output_};
};

// Where two outputs first differ: the line, from 1, and that line of each,
// as shown to the author.
struct OutputDifference {
    int line = 0;
    std::string before;
    std::string now;
};

std::optional<OutputDifference> first_difference(std::string_view before, std::string_view now);

// --rejouer: each recording replayed and compared. Returns the exit status:
// 0 when every output is unchanged, 1 when one changed, 2 when a recording
// or its story cannot be read.
int replay_mode(std::span<const std::string> files, std::ostream& out, std::ostream& err);
