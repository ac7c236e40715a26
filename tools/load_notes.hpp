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

// Most lines of each sort that the checker looks at closely: block markers,
// stored dialogue lines, markers a narration read as text, and narration
// lines (for a misspelt end). A story within the format's caps has a few
// hundred of each, unless it repeats blocks or runs a narration to the end of
// a long file; past the bound the lines are counted, a warning says which
// were not examined, and time and memory stay bounded whatever the file's
// length: about 0.1 s and 10 MB at the bound for the costliest sorts.
inline constexpr int max_examined_lines = 10'000;

// Notes in `places` where the thing a notice stored stands; other notices
// leave it alone.
void note_place(StoryPlaces& places, const LoadNotice& notice);

// Listens for the places alone: what the play modes need of a story.
class PlaceCollector final : public LoadListener {
public:
    void notice(const LoadNotice& notice) override { note_place(lines, notice); }
    StoryPlaces lines;
};

// Keeps the notices the checker explains (a bounded number of each sort), and
// where each stored thing was written. The target a
// choice line ends up with, and the speaker a dialogue line shows, are read
// from the table as soon as the line is stored, since a later block of the
// same section may reuse the entry.
class NoticeCollector final : public LoadListener {
public:
    // At most `examined_lines` lines of each sort are kept (see max_examined_lines).
    explicit NoticeCollector(const SectionTable& sections, int examined_lines = max_examined_lines)
        : sections_(sections), examined_lines_(examined_lines) {}

    // Marker lines that one narration block read as text.
    struct SwallowedMarkers {
        int opening_line = 0;
        std::vector<LoadNotice> markers;
        int headers = 0;  // section headers among them, kept or not
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
        note_place(lines, notice);
        const bool in_table = notice.section >= 0 && notice.section < max_sections;
        const auto section = static_cast<std::size_t>(notice.section);
        const auto index = static_cast<std::size_t>(notice.index);
        switch (notice.kind) {
            case LoadNoticeKind::section_opened:
                if (in_table) header_text[section] = notice.bytes;
                return;
            case LoadNoticeKind::ending_marked:
            case LoadNoticeKind::item_stored:
                return;
            case LoadNoticeKind::choice_stored:
                // Only a choice whose target the loader could not read is
                // looked at again, and its problem comes first.
                if (in_table && index < max_choices && notice.line == target_problem_line_) {
                    target_on_line[notice.line] = sections_[section].choices[index].next_section_id;
                    choice_lines[notice.line] = notice.bytes;
                }
                return;
            case LoadNoticeKind::dialogue_stored:
                if (in_table && index < max_dialogues && examine(unexamined.dialogues, dialogues.size(), notice.line)) {
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
                if (keep(notice) && !block_lines.empty()) swallowed_by[notice.line] = block_lines.back().kind;
                return;
            case LoadNoticeKind::target_unparsed:
            case LoadNoticeKind::target_out_of_int_range:
                if (keep(notice)) target_problem_line_ = notice.line;
                return;
            case LoadNoticeKind::narration_opened:
                narration_line_ = notice.line;
                [[fallthrough]];
            case LoadNoticeKind::narration_closed:
            case LoadNoticeKind::dialogue_opened:
            case LoadNoticeKind::choice_opened:
                if (examine(unexamined.block_lines, block_lines.size(), notice.line)) {
                    block_lines.push_back({notice.kind, notice.section, notice.line, notice.bytes});
                }
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

    // Lines of each sort past the first `examined_lines`: counted, not kept.
    struct Unexamined {
        Untold block_lines;
        Untold dialogues;
        Untold narration_markers;
        Untold narration_lines;  // not looked at for a misspelt end
    } unexamined;

    [[nodiscard]] int examined_lines() const { return examined_lines_; }

private:
    static void count(Untold& rest, int line) {
        if (rest.count++ == 0) rest.first_line = line;
        rest.last_line = line;
    }

    // A story of a million stray lines gets its first warnings and a count,
    // in bounded time and memory. True when the notice is kept.
    bool keep(LoadNotice notice) {
        int& told = told_[notice.kind];
        if (told < max_told_per_kind) {
            ++told;
            problems.push_back(std::move(notice));
            return true;
        }
        count(untold[notice.kind], notice.line);
        return false;
    }

    // Whether a collection holding `kept` lines takes the one at `line`;
    // when it does not, the line is counted in `rest`.
    bool examine(Untold& rest, std::size_t kept, int line) {
        if (kept < static_cast<std::size_t>(std::max(0, examined_lines_))) return true;
        count(rest, line);
        return false;
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
        const LineKind kind = classify_line(notice.bytes);
        if (is_block_marker(kind)) {
            const bool same_block = !swallowed.empty() && swallowed.back().opening_line == narration_line_;
            if (same_block && kind == LineKind::section_header) ++swallowed.back().headers;
            if (!examine(unexamined.narration_markers, swallowed_markers_, notice.line)) return;
            if (!same_block) {
                swallowed.push_back({narration_line_, {}, kind == LineKind::section_header ? 1 : 0});
            }
            swallowed.back().markers.push_back(notice);
            ++swallowed_markers_;
        } else if (examine(unexamined.narration_lines, narration_lines_++, notice.line)) {
            // Telling a misspelt end from text costs a few microseconds a
            // line: a bound on the lines looked at bounds the time.
            if (auto miss = narration_end_near_miss(notice.bytes)) {
                missed_ends.push_back({notice.line, narration_line_, notice.bytes, std::move(*miss)});
            }
        }
    }

    const SectionTable& sections_;
    int examined_lines_;
    int narration_line_ = 0;
    int target_problem_line_ = 0;       // the last line whose unread target is told
    std::size_t swallowed_markers_ = 0;  // kept in `swallowed`, all blocks together
    std::size_t narration_lines_ = 0;    // narration lines looked at for a misspelt end
};

// Messages for the loader's notices. Everything before the first header is
// ignored alike, so only the first such line is reported, unless it nearly
// was a header or a marker.
std::vector<Diagnostic> describe_notices(const NoticeCollector& collector);

// Header lines that carry a number other than their section's position.
void check_header_numbers(const NoticeCollector& collector, int section_count, std::vector<Diagnostic>& out);

bool has_notice(const NoticeCollector& collector, LoadNoticeKind kind);
