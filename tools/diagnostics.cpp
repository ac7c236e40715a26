#include "diagnostics.hpp"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <unordered_set>
#include <utility>

#include "console.hpp"
#include "decimal.hpp"
#include "game_engine.hpp"
#include "inventor.hpp"
#include "near_miss.hpp"
#include "text_excerpt.hpp"
#include "wording.hpp"

Diagnostic with_fix(Diagnostic diagnostic, std::string_view line) {
    diagnostic.message += " ; écrivez " + exact_quote(line);
    diagnostic.fix = line;
    return diagnostic;
}

void sort_and_merge(std::vector<Diagnostic>& diagnostics) {
    std::stable_sort(diagnostics.begin(), diagnostics.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.line < b.line; });
    std::vector<Diagnostic> merged;
    std::size_t line_start = 0;
    for (Diagnostic& diagnostic : diagnostics) {
        if (!merged.empty() && merged.back().line != diagnostic.line) line_start = merged.size();
        const auto same_line = merged.begin() + static_cast<std::ptrdiff_t>(line_start);
        if (std::find(same_line, merged.end(), diagnostic) == merged.end()) merged.push_back(std::move(diagnostic));
    }
    diagnostics = std::move(merged);
}

// ===========================================================================
// Reporting

int exit_status(const std::vector<Diagnostic>& diagnostics) {
    const auto has = [&](Severity severity) {
        return std::any_of(diagnostics.begin(), diagnostics.end(),
                           [severity](const Diagnostic& d) { return d.severity == severity; });
    };
    if (has(Severity::error)) return status_errors;
    return has(Severity::warning) ? status_warnings : status_clean;
}

namespace {

std::string_view severity_word(Severity severity) {
    switch (severity) {
        case Severity::error: return "erreur";
        case Severity::warning: return "avertissement";
        case Severity::remark: return "remarque";
    }
    return "avertissement";
}

}  // namespace

void print_diagnostics(std::ostream& out, std::string_view file, const std::vector<Diagnostic>& diagnostics) {
    constexpr std::size_t severity_count = 3;
    std::array<std::size_t, severity_count> counts{};
    for (const Diagnostic& diagnostic : diagnostics) {
        ++counts[static_cast<std::size_t>(diagnostic.severity)];
        out << file;
        if (diagnostic.line > 0) out << ':' << diagnostic.line;
        out << ": " << severity_word(diagnostic.severity) << ": " << diagnostic.message << '\n';
    }
    const auto count = [&](Severity severity) { return static_cast<long long>(counts[static_cast<std::size_t>(severity)]); };
    out << file << ": " << count_of(count(Severity::error), "erreur") << ", "
        << count_of(count(Severity::warning), "avertissement");
    if (count(Severity::remark) > 0) out << " et " << count_of(count(Severity::remark), "remarque");
    out << '\n';
}
