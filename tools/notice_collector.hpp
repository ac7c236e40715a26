// Listening to the loader: where each stored thing stands in the story file,
// and every problem the loader noticed. Shared by the checker and the play
// modes, which name file lines in what they print.
#pragma once

#include <map>
#include <vector>

#include "story.hpp"
#include "story_check.hpp"

// Keeps every notice, and where each stored thing was written. The target a
// choice line ends up with is read from the table as soon as the line is
// stored, since a later block of the same section may reuse the entry.
class NoticeCollector final : public LoadListener {
public:
    explicit NoticeCollector(const SectionTable& sections) : sections_(sections) {}

    void notice(const LoadNotice& notice) override {
        const bool in_table = notice.section >= 0 && notice.section < max_sections;
        const auto section = static_cast<std::size_t>(notice.section);
        const auto index = static_cast<std::size_t>(notice.index);
        switch (notice.kind) {
            case LoadNoticeKind::section_opened:
                if (in_table) lines.header[section] = notice.line;
                return;
            case LoadNoticeKind::ending_marked:
                if (in_table && lines.ending[section] == 0) lines.ending[section] = notice.line;
                return;
            case LoadNoticeKind::choice_stored:
                if (in_table && index < max_choices) {
                    lines.choice[section][index] = notice.line;
                    target_on_line[notice.line] = sections_[section].choices[index].next_section_id;
                }
                return;
            case LoadNoticeKind::item_stored:
                if (in_table && index < max_section_items) lines.item[section][index] = notice.line;
                return;
            case LoadNoticeKind::dialogue_stored:
                return;
            default:
                problems.push_back(notice);
        }
    }

    StoryLines lines;
    std::vector<LoadNotice> problems;
    std::map<int, int> target_on_line;  // line of a stored choice -> its target

private:
    const SectionTable& sections_;
};
