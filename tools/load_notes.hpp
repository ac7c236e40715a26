// The loader's notices turned into diagnostics for the author.
#pragma once

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decimal.hpp"
#include "diagnostics.hpp"
#include "game_engine.hpp"
#include "near_miss.hpp"
#include "story.hpp"
#include "story_places.hpp"


// Most problems of one kind told one by one; the rest are counted.
inline constexpr int max_told_per_kind = 20;

// Keeps every notice, and where each stored thing was written. The target a
// choice line ends up with, and the speaker a dialogue line shows, are read
// from the table as soon as the line is stored, since a later block of the
// same section may reuse the entry.
class NoticeCollector final : public LoadListener {
public:
    explicit NoticeCollector(const SectionTable& sections) : sections_(sections) {}

    // Marker lines that one narration block read as text.
    struct SwallowedMarkers {
        int opening_line = 0;
        std::vector<LoadNotice> markers;
    };

    // A block's marker line, or the line that closed a narration.
    struct BlockLine {
        LoadNoticeKind kind;  // narration_opened, narration_closed, dialogue_opened or choice_opened
        int section = -1;
        int line = 0;
        std::string bytes;
    };

    // A stored dialogue line, with the name the game shows for it.
    struct DialogueLine {
        int line = 0;
        std::string bytes;
        std::string name;
    };

    // A narration line that tried to close its block and did not.
    struct MissedEnd {
        int line = 0;
        int opening_line = 0;
        std::string bytes;
        NearMiss miss;
    };

    void notice(const LoadNotice& notice) override {
        const bool in_table = notice.section >= 0 && notice.section < max_sections;
        const auto section = static_cast<std::size_t>(notice.section);
        const auto index = static_cast<std::size_t>(notice.index);
        switch (notice.kind) {
            case LoadNoticeKind::section_opened:
                if (in_table) {
                    lines.header[section] = notice.line;
                    header_text[section] = notice.bytes;
                }
                return;
            case LoadNoticeKind::ending_marked:
                if (in_table && lines.ending[section] == 0) lines.ending[section] = notice.line;
                return;
            case LoadNoticeKind::choice_stored:
                if (in_table && index < max_choices) {
                    lines.choice[section][index] = notice.line;
                    target_on_line[notice.line] = sections_[section].choices[index].next_section_id;
                    choice_lines[notice.line] = notice.bytes;
                }
                return;
            case LoadNoticeKind::item_stored:
                if (in_table && index < max_section_items) lines.item[section][index] = notice.line;
                return;
            case LoadNoticeKind::dialogue_stored:
                if (in_table && index < max_dialogues) {
                    lines.dialogue[section][index] = notice.line;
                    dialogues.push_back({notice.line, notice.bytes,
                                         std::string(sections_[section].dialogues[index].character.view())});
                }
                return;
            case LoadNoticeKind::dialogue_block_full:
            case LoadNoticeKind::choice_block_full:
                full_block_ = notice.kind;
                line_after_block_ = notice.line + 1;
                return;
            case LoadNoticeKind::line_ignored:
                note_ignored_line(notice);
                return;
            case LoadNoticeKind::block_end_swallowed:
                if (!block_lines.empty()) swallowed_by[notice.line] = block_lines.back().kind;
                keep(notice);
                return;
            case LoadNoticeKind::narration_opened:
                narration_line_ = notice.line;
                if (in_table) lines.narration[section] = notice.line;  // a later block replaces the narration
                [[fallthrough]];
            case LoadNoticeKind::narration_closed:
            case LoadNoticeKind::dialogue_opened:
            case LoadNoticeKind::choice_opened:
                block_lines.push_back({notice.kind, notice.section, notice.line, notice.bytes});
                return;
            case LoadNoticeKind::narration_text:
                note_narration_text(notice);
                return;
            default:
                keep(notice);
        }
    }

    StoryPlaces lines;
    std::array<std::string, max_sections> header_text;  // each loaded section's header line
    std::vector<LoadNotice> problems;
    std::map<int, int> target_on_line;  // line of a stored choice -> its target
    std::map<int, std::string> choice_lines;  // line of a stored choice -> its bytes
    std::map<int, LoadNoticeKind> swallowed_by;  // line a block's end consumed -> the block's opening kind
    std::vector<SwallowedMarkers> swallowed;
    std::vector<BlockLine> block_lines;
    std::vector<DialogueLine> dialogues;
    std::vector<MissedEnd> missed_ends;

    // Problems of a kind past the first `max_told_per_kind`: counted, not kept.
    struct Untold {
        int count = 0;
        int first_line = 0;
        int last_line = 0;
    };
    std::map<LoadNoticeKind, Untold> untold;

private:
    // A story of a million stray lines gets its first warnings and a count,
    // in bounded time and memory.
    void keep(LoadNotice notice) {
        int& told = told_[notice.kind];
        if (told < max_told_per_kind) {
            ++told;
            problems.push_back(std::move(notice));
            return;
        }
        Untold& rest = untold[notice.kind];
        if (rest.count++ == 0) rest.first_line = notice.line;
        rest.last_line = notice.line;
    }

    std::map<LoadNoticeKind, int> told_;
    // What an ignored line was: nothing to say for a blank one; the byte
    // order mark on the first line; a marker read as text for its
    // indentation; else content outside any section, or a line that matches
    // no rule.
    void note_ignored_line(const LoadNotice& notice) {
        const std::string_view line = notice.bytes;
        if (const auto past = past_limit(notice)) {
            keep({*past, notice.line, notice.section, -1, {}});
            ++line_after_block_;  // further entries of the same block
            return;
        }
        std::size_t indent = 0;  // the blanks the loader's number reading skips
        while (indent < line.size() && is_scan_blank(line[indent])) ++indent;
        const std::string_view trimmed = line.substr(indent);
        if (trimmed.size() != line.size() && classify_line(trimmed) != LineKind::other) {
            keep({LoadNoticeKind::indented_marker, notice.line, notice.section, -1, std::string(trimmed)});
            return;
        }
        if (notice.line == 1 && line.starts_with(byte_order_mark)) {
            keep({LoadNoticeKind::byte_order_mark, notice.line, notice.section, -1, {}});
            return;
        }
        if (trimmed.empty()) return;
        const LoadNoticeKind kind = notice.section < 0 ? LoadNoticeKind::outside_section : LoadNoticeKind::line_ignored;
        keep({kind, notice.line, notice.section, -1, notice.bytes});
    }

    static constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

    // An entry written past a full block: an ignored line that comes right
    // after the block's last entry (or after such a line) and looks like
    // one more entry of it.
    std::optional<LoadNoticeKind> past_limit(const LoadNotice& notice) const {
        if (notice.line != line_after_block_) return std::nullopt;
        const std::string_view line = notice.bytes;
        if (full_block_ == LoadNoticeKind::dialogue_block_full && line.starts_with(dialogue_dash)) {
            return LoadNoticeKind::dialogue_past_limit;
        }
        if (full_block_ == LoadNoticeKind::choice_block_full && line.find(choice_arrow) != std::string_view::npos) {
            return LoadNoticeKind::choice_past_limit;
        }
        return std::nullopt;
    }

    LoadNoticeKind full_block_ = LoadNoticeKind::line_ignored;  // the last full block's kind
    int line_after_block_ = 0;                                   // where its next entry would stand

    // A marker line in a narration is read as text; so is a misspelt end.
    void note_narration_text(const LoadNotice& notice) {
        if (is_block_marker(classify_line(notice.bytes))) {
            if (swallowed.empty() || swallowed.back().opening_line != narration_line_) {
                swallowed.push_back({narration_line_, {}});
            }
            swallowed.back().markers.push_back(notice);
        } else if (auto miss = narration_end_near_miss(notice.bytes)) {
            missed_ends.push_back({notice.line, narration_line_, notice.bytes, std::move(*miss)});
        }
    }

    const SectionTable& sections_;
    int narration_line_ = 0;
};

// Messages for the loader's notices. Everything before the first header is
// ignored alike, so only the first such line is reported, unless it nearly
// was a header or a marker.
std::vector<Diagnostic> describe_notices(const NoticeCollector& collector);

// Header lines that carry a number other than their section's position.
void check_header_numbers(const NoticeCollector& collector, int section_count, std::vector<Diagnostic>& out);

bool has_notice(const NoticeCollector& collector, LoadNoticeKind kind);
