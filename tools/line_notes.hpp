// What the game does with lines the author meant otherwise: a block that
// replaces an earlier one, text written on a marker's own line, a dialogue
// line whose name or speech the game cuts, a speaker in the wrong colour, an
// end of narration that does not close it, and dialogue or choice lines
// written with a look-alike dash, arrow or blank.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "diagnostics.hpp"
#include "load_notes.hpp"

// Second blocks of a kind in one section, and text after block markers.
void describe_block_lines(const NoticeCollector& collector, std::vector<Diagnostic>& out);

// Missing blanks after the dash or the colon, and speaker colours.
void describe_dialogue_lines(const NoticeCollector& collector, std::vector<Diagnostic>& out);

// Narration lines that tried to close their block.
void describe_missed_ends(const NoticeCollector& collector, std::vector<Diagnostic>& out);

// For a line that ended a dialogue or choice block without being read: the
// entry it was meant to be, written with a look-alike dash or arrow.
std::optional<Diagnostic> describe_lookalike_entry(const LoadNotice& notice, const NoticeCollector& collector);

// For a choice target the game could not read: the look-alike sign to
// blame and the line to write, when writing it so makes the target read;
// `note` goes before the line to write.
std::optional<Diagnostic> describe_lookalike_target(const LoadNotice& notice, const NoticeCollector& collector,
                                                    std::string_view note);
