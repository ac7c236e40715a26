// Problems found in a story file, how they are sorted and how they are
// printed, compiler style, for the story's author.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// An error: the story does not play as written. A warning: something is lost
// or shown otherwise than written. A remark, like a compiler's note: what a
// player may meet that the story cannot help, such as the empty inventory of
// a resumed game; remarks do not count in the exit status.
enum class Severity { warning, error, remark };

// One problem found in a story file. Line 0 stands for the file as a whole.
struct Diagnostic {
    Severity severity = Severity::warning;
    int line = 0;
    std::string message;
    std::string fix;  // the whole line as it must be written, where the checker knows it

    friend bool operator==(const Diagnostic&, const Diagnostic&) = default;
};

inline Diagnostic error_at(int line, std::string message) { return {Severity::error, line, std::move(message), {}}; }
inline Diagnostic warning_at(int line, std::string message) { return {Severity::warning, line, std::move(message), {}}; }
inline Diagnostic remark_at(int line, std::string message) { return {Severity::remark, line, std::move(message), {}}; }

// `diagnostic` with the line to write instead: its message ends with
// "; écrivez « LINE »".
Diagnostic with_fix(Diagnostic diagnostic, std::string_view line);

// Sorted by line, file-wide first, keeping the order of discovery within a
// line; the same message twice on one line (pieces of one long line) once.
void sort_and_merge(std::vector<Diagnostic>& diagnostics);

inline constexpr int status_clean = 0;
inline constexpr int status_warnings = 1;
inline constexpr int status_errors = 2;

// 0 without errors or warnings (remarks do not count), 1 with warnings
// only, 2 with an error.
int exit_status(const std::vector<Diagnostic>& diagnostics);

// "FILE:LINE: erreur: message" lines (or "FILE: ..." for line 0; severities
// "erreur", "avertissement", "remarque"), then the one-line summary
// "FILE: 1 erreur, 2 avertissements", followed by " et 3 remarques" when
// there are remarks.
void print_diagnostics(std::ostream& out, std::string_view file, const std::vector<Diagnostic>& diagnostics);
