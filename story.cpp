#include "story.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <system_error>
#include <utility>
#include <vector>

#include "colour.hpp"
#include "console.hpp"
#include "decimal.hpp"
#include "file_path.hpp"
#include "game_engine.hpp"
#include "save_load.hpp"
#include "story_lines.hpp"
#include "terminal_layout.hpp"

// ===========================================================================
// Section lookup

namespace {

// The first `count` entries of a record array, `count` clamped to its size.
template <typename T, std::size_t N>
std::span<const T> valid_entries(const std::array<T, N>& entries, int count) {
    const auto valid = static_cast<std::size_t>(std::clamp<long long>(count, 0, static_cast<long long>(N)));
    return std::span<const T>(entries).first(valid);
}

}  // namespace

std::span<const Dialogue> section_dialogues(const Section& section) {
    return valid_entries(section.dialogues, section.dialogue_count);
}

std::span<const Choice> section_options(const Section& section) {
    return valid_entries(section.choices, section.choice_count);
}

std::span<const Item> section_items(const Section& section) { return valid_entries(section.items, section.item_count); }

SectionEnd section_end(const Section& section) {
    if (!section_options(section).empty()) return SectionEnd::choice_menu;
    return section.is_ending != 0 ? SectionEnd::ending_screen : SectionEnd::stop;
}

const Section* get_section_by_id(const SectionTable& sections, int section_count, int id) {
    const int count = loaded_count(section_count);
    for (int i = 0; i < count; ++i) {
        if (sections[static_cast<std::size_t>(i)].id == id) return &sections[static_cast<std::size_t>(i)];
    }
    return nullptr;
}

// ===========================================================================
// Story file loader

namespace {

std::string_view skip_format_blanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_scan_blank(text[i])) ++i;
    return text.substr(i);
}


bool is_between(std::string_view line, char first, char last) {
    return !line.empty() && line.front() == first && line.back() == last;
}

// " Section : %d" on `text`, with the white-space rules of formatted input.
DecimalStatus parse_target(std::string_view text, int& value) {
    text = skip_format_blanks(text);
    if (!text.starts_with(target_word)) return DecimalStatus::no_number;
    text = skip_format_blanks(text.substr(target_word.size()));
    if (!text.starts_with(':')) return DecimalStatus::no_number;
    const DecimalScan scan = scan_decimal(text.substr(1));
    if (scan.status == DecimalStatus::ok) value = scan.value;
    return scan.status;
}

class StoryLoader {
public:
    StoryLoader(std::istream& in, SectionTable& sections, LoadListener* listener)
        : in_(in), sections_(sections), listener_(listener), reader_(in) {}

    LoadResult run() {
        if (!in_) {
            report(LoadNoticeKind::file_unopenable, 0);
            return {0, LoadFailure::unreadable};
        }
        std::string_view line;
        while (read_line(line)) {
            if (!handle_main_line(line)) return {0, LoadFailure::too_many_sections};
        }
        if (section_index_ < 0) return {0, LoadFailure::no_header};
        return {section_index_ + 1, LoadFailure::none};
    }

private:
    // Returns false when loading must stop with a failure.
    bool handle_main_line(std::string_view raw) {
        const int line_number = reader_.line_number();
        const std::string_view line = cut_at_line_end(raw);

        switch (classify_line(line)) {
            case LineKind::section_header:
                return open_section(line);
            case LineKind::narration_start:
                note_outside_section(line_number);
                read_narration_block(line_number, line);
                break;
            case LineKind::dialogue_start:
                note_outside_section(line_number);
                read_dialogue_block(line_number, line);
                break;
            case LineKind::choice_start:
                note_outside_section(line_number);
                read_choice_block(line_number, line);
                break;
            case LineKind::gain_item:
                add_item(item_gain, line, line_number);
                break;
            case LineKind::lose_item:
                add_item(item_lose, line, line_number);
                break;
            case LineKind::ending:
                note_outside_section(line_number);
                if (has_section()) {
                    current().is_ending = 1;
                    report(LoadNoticeKind::ending_marked, line_number);
                }
                break;
            case LineKind::narration_end:
            case LineKind::other:
                report(LoadNoticeKind::line_ignored, line_number, -1, line);
                break;
        }
        return true;
    }

    bool open_section(std::string_view header) {
        ++section_index_;
        if (section_index_ >= max_sections) {
            report(LoadNoticeKind::too_many_sections, reader_.line_number());
            return false;
        }
        clear_section(current(), section_index_);
        report(LoadNoticeKind::section_opened, reader_.line_number(), -1, header);
        return true;
    }

    void read_narration_block(int marker_line, std::string_view marker) {
        LongText accumulator;
        bool cut = false;
        bool terminated = false;
        std::string_view raw;
        report(LoadNoticeKind::narration_opened, marker_line, -1, marker);
        while (read_line(raw)) {
            const std::string_view line = cut_at_line_end(raw);
            if (line.starts_with(narration_end_marker)) {
                report(LoadNoticeKind::narration_closed, reader_.line_number(), -1, line);
                terminated = true;
                break;
            }
            report(LoadNoticeKind::narration_text, reader_.line_number(), -1, line);
            cut |= !accumulator.append(line);
            cut |= !accumulator.append(" ");
        }
        if (!terminated) report(LoadNoticeKind::narration_unterminated, marker_line);
        if (cut) report(LoadNoticeKind::narration_cut, marker_line);
        if (has_section()) current().narration = accumulator;
    }

    void read_dialogue_block(int marker_line, std::string_view marker) {
        report(LoadNoticeKind::dialogue_opened, marker_line, -1, marker);
        int count = 0;
        std::string_view line;
        while (count < max_dialogues && read_line(line)) {
            const int line_number = reader_.line_number();
            if (reader_.was_split()) report(LoadNoticeKind::dialogue_line_split, line_number, -1, line);
            if (!line.starts_with(dialogue_dash)) {
                note_swallowed(line, line_number);
                break;
            }
            const std::size_t colon = line.find(':');
            if (colon == std::string_view::npos) {
                report(LoadNoticeKind::dialogue_without_colon, line_number);
                continue;
            }
            if (has_section()) {
                Dialogue& entry = current().dialogues[static_cast<std::size_t>(count)];
                // The name starts after "- "; when the colon comes earlier the
                // name runs to the end of the line.
                const std::string_view after_dash = line.substr(std::min<std::size_t>(2, line.size()));
                const std::string_view name =
                    colon >= 2 ? line.substr(2, colon - 2) : after_dash;
                if (!entry.character.assign(name)) report(LoadNoticeKind::name_cut, line_number, count);
                entry.text.assign(line.substr(std::min(colon + 2, line.size())));
                report(LoadNoticeKind::dialogue_stored, line_number, count, line);
            }
            ++count;
        }
        if (count == max_dialogues) report(LoadNoticeKind::dialogue_block_full, reader_.line_number());
        if (has_section()) current().dialogue_count = count;
    }

    void read_choice_block(int marker_line, std::string_view marker) {
        report(LoadNoticeKind::choice_opened, marker_line, -1, marker);
        int count = 0;
        std::string_view line;
        while (count < max_choices && read_line(line)) {
            const int line_number = reader_.line_number();
            if (reader_.was_split()) report(LoadNoticeKind::choice_line_split, line_number, -1, line);
            const std::size_t arrow = line.find(choice_arrow);
            if (arrow == std::string_view::npos) {
                note_swallowed(line, line_number);
                break;
            }
            const std::string_view option_text = line.substr(0, arrow);
            if (has_section()) {
                Choice& entry = current().choices[static_cast<std::size_t>(count)];
                read_target(line, arrow, entry, line_number, count);
                read_consequence(line, option_text, arrow, entry, line_number, count);
                entry.text.assign(option_text);
                report(LoadNoticeKind::choice_stored, line_number, count, line);
            }
            ++count;
        }
        if (count == max_choices) report(LoadNoticeKind::choice_block_full, reader_.line_number());
        if (has_section()) current().choice_count = count;
    }

    // The target starts three bytes after the arrow: past "->" and the one
    // byte that normally is a blank.
    void read_target(std::string_view line, std::size_t arrow, Choice& entry, int line_number, int index) {
        const std::size_t start = arrow + choice_arrow.size() + 1;
        const std::string_view after_arrow = line.substr(arrow + choice_arrow.size());
        if (start > line.size()) {
            report(LoadNoticeKind::target_unparsed, line_number, index, after_arrow);
            return;
        }
        int target = 0;
        switch (parse_target(line.substr(start), target)) {
            case DecimalStatus::ok:
                entry.next_section_id = target;
                break;
            case DecimalStatus::no_number:
            case DecimalStatus::end_of_input:
                report(LoadNoticeKind::target_unparsed, line_number, index, after_arrow);
                break;
            case DecimalStatus::out_of_range:
                report(LoadNoticeKind::target_out_of_int_range, line_number, index);
                break;
        }
    }

    void read_consequence(std::string_view line, std::string_view option_text, std::size_t arrow,
                          Choice& entry, int line_number, int index) {
        const std::size_t marker = option_text.find(consequence_marker);
        if (marker != std::string_view::npos) {
            const DecimalScan scan = scan_decimal(option_text.substr(marker + consequence_marker.size()));
            if (scan.status == DecimalStatus::ok) entry.consequence_id = scan.value;
        } else if (line.find(consequence_marker, arrow) != std::string_view::npos) {
            report(LoadNoticeKind::consequence_after_arrow, line_number, index);
        }
    }

    void add_item(int type, std::string_view line, int line_number) {
        if (!has_section()) {
            note_outside_section(line_number);
            return;
        }
        Section& section = current();
        if (section.item_count >= max_section_items) {
            report(LoadNoticeKind::item_past_limit, line_number);
            return;
        }
        Item& item = section.items[static_cast<std::size_t>(section.item_count)];
        item.type = type;
        const std::string_view name = line.size() >= 2 ? line.substr(1, line.size() - 2) : std::string_view{};
        item.name.assign(name.substr(0, std::min(name.size(), max_item_name_bytes)));
        if (name.size() > max_item_name_bytes) report(LoadNoticeKind::item_name_cut, line_number, section.item_count);
        report(LoadNoticeKind::item_stored, line_number, section.item_count);
        ++section.item_count;
    }

    // --- notices ----------------------------------------------------------


    bool read_line(std::string_view& line) {
        if (!reader_.next(line)) return false;
        if (reader_.was_split()) report(LoadNoticeKind::line_split, reader_.line_number());
        return true;
    }

    void note_outside_section(int line_number) {
        if (!has_section()) report(LoadNoticeKind::outside_section, line_number);
    }

    // The line that ends a dialogue or choice block is consumed by it; an
    // empty line is the normal way to end a block, anything else is lost.
    void note_swallowed(std::string_view raw, int line_number) {
        const std::string_view line = cut_at_line_end(raw);
        if (skip_format_blanks(line).empty()) return;
        report(LoadNoticeKind::block_end_swallowed, line_number, -1, line);
    }

    void report(LoadNoticeKind kind, int line, int index = -1, std::string_view bytes = {}) {
        if (listener_ == nullptr) return;
        listener_->notice(LoadNotice{kind, line, section_index_, index, std::string(bytes)});
    }

    [[nodiscard]] bool has_section() const { return section_index_ >= 0; }
    Section& current() { return sections_[static_cast<std::size_t>(section_index_)]; }

    std::istream& in_;
    SectionTable& sections_;
    LoadListener* listener_;
    StoryLineReader reader_;
    int section_index_ = -1;
};

}  // namespace

std::string_view cut_at_line_end(std::string_view line) {
    std::size_t length = line.size();
    if (length > 0 && line[length - 1] == '\n') --length;  // the LF can only be last
    const auto* cr = static_cast<const char*>(std::memchr(line.data(), '\r', length));
    if (cr != nullptr) length = static_cast<std::size_t>(cr - line.data());
    return line.substr(0, length);
}

LineKind classify_line(std::string_view line) {
    if (line.starts_with(section_marker)) return LineKind::section_header;
    if (line.starts_with(narration_marker)) return LineKind::narration_start;
    if (line.starts_with(dialogue_marker)) return LineKind::dialogue_start;
    if (line.starts_with(choice_marker)) return LineKind::choice_start;
    if (is_between(line, '"', '"')) return LineKind::gain_item;
    if (is_between(line, '<', '>')) return LineKind::lose_item;
    if (line.starts_with(ending_marker)) return LineKind::ending;
    if (line.starts_with(narration_end_marker)) return LineKind::narration_end;
    return LineKind::other;
}

std::string_view line_marker(LineKind kind) {
    switch (kind) {
        case LineKind::section_header: return section_marker;
        case LineKind::narration_start: return narration_marker;
        case LineKind::dialogue_start: return dialogue_marker;
        case LineKind::choice_start: return choice_marker;
        case LineKind::ending: return ending_marker;
        case LineKind::narration_end: return narration_end_marker;
        case LineKind::gain_item:
        case LineKind::lose_item:
        case LineKind::other:
            return {};
    }
    return {};
}

bool is_block_marker(LineKind kind) {
    switch (kind) {
        case LineKind::section_header:
        case LineKind::narration_start:
        case LineKind::dialogue_start:
        case LineKind::choice_start:
        case LineKind::ending:
            return true;
        case LineKind::gain_item:
        case LineKind::lose_item:
        case LineKind::narration_end:
        case LineKind::other:
            return false;
    }
    return false;
}

void clear_section(Section& section, int id) {
    section.id = id;
    section.narration.clear();
    for (Dialogue& dialogue : section.dialogues) {
        dialogue.character.clear();
        dialogue.text.clear();
    }
    section.dialogue_count = 0;
    for (Choice& choice : section.choices) {
        choice.text.clear();
        choice.next_section_id = 0;
        choice.consequence_id = consequence_none;
        choice.item_add.clear();
        choice.item_remove.clear();
        choice.points = 0;
    }
    section.choice_count = 0;
    for (Item& item : section.items) {
        item.type = 0;
        item.name.clear();
    }
    section.item_count = 0;
    section.is_ending = 0;
}

namespace {

// Opens `filename` for the reader: only a regular file is opened, since a
// folder has no lines, and a device or a pipe named like a story could block
// or never end. Anything else leaves the stream unopened, which the reader
// reports.
void open_story_file(std::string_view filename, std::ifstream& file) {
    const std::filesystem::path path = path_from_utf8(filename);
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) file.open(path, std::ios::binary);
    if (!file.is_open()) file.setstate(std::ios::failbit);
}

}  // namespace

LoadResult read_story(std::istream& in, SectionTable& sections, LoadListener* listener) {
    StoryLoader loader(in, sections, listener);
    return loader.run();
}

LoadResult read_story_file(std::string_view filename, SectionTable& sections, LoadListener* listener) {
    std::ifstream file;
    open_story_file(filename, file);
    return read_story(file, sections, listener);
}

int load_story(std::istream& in, std::string_view name, SectionTable& sections, LoadListener* listener) {
    const LoadResult result = read_story(in, sections, listener);
    if (result.failure == LoadFailure::unreadable) {
        console_out() << "Erreur : Impossible d'ouvrir le fichier " << name << '\n';
    } else if (result.failure == LoadFailure::too_many_sections) {
        console_out() << "Erreur : Trop de sections dans le fichier.\n";
    }
    return result.section_count;
}

int load_story(std::string_view filename, SectionTable& sections, LoadListener* listener) {
    std::ifstream file;
    open_story_file(filename, file);
    return load_story(file, filename, sections, listener);
}

// ===========================================================================
// Story selection

namespace {

constexpr std::string_view stories_folder = "./stories";
constexpr std::string_view story_extension = ".txt";

constexpr std::array<std::string_view, 6> select_story_rows = {
    "   ███████╗███████╗██╗     ███████╗ ██████╗████████╗     ███████╗████████╗ ██████╗ ██████╗ ██╗   ██╗",
    "   ██╔════╝██╔════╝██║     ██╔════╝██╔════╝╚══██╔══╝     ██╔════╝╚══██╔══╝██╔═══██╗██══██║ ██║   ██║",
    "    █████╗ █████╗  ██║     █████╗  ██║        ██║          █████╗   ██║   ██║   ██║█████╔╝    ██╔══╝ ",
    "   ██╔═══╝ ██╔══╝  ██║     ██╔══╝  ██║        ██║        ██╔════╝   ██║   ██║   ██║██╔═██║    ██║    ",
    "   ███████╗███████╗███████╗███████╗╚██████╗   ██║        ███████╗   ██║   ╚██████╔╝██║ ██║    ██║    ",
    "   ╚══════╝╚══════╝╚══════╝╚══════╝ ╚═════╝   ╚═╝        ╚══════╝   ╚═╝    ╚═════╝ ╚═╝ ╚═╝    ╚═╝    ",
};
constexpr std::size_t select_story_blank_row = 100;

// Story files are those whose name contains ".txt" and that are not save
// files (whose names contain the story's name).
bool is_story_name(std::string_view name) {
    return name.find(story_extension) != std::string_view::npos && !is_save_file_name(name);
}

// Lists the stories of the folder, in the order the system gives the
// entries. False when the folder cannot be read.
bool list_stories(std::vector<std::string>& stories) {
    std::error_code error;
    std::filesystem::directory_iterator entry(path_from_utf8(stories_folder), error);
    if (error) return false;
    for (; entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        if (error) break;
        std::string name = utf8_from_path(entry->path().filename());
        if (!is_story_name(name)) continue;
        if (stories.size() == static_cast<std::size_t>(max_listed_stories)) break;
        if (name.size() > story_path_capacity - 1) name.resize(story_path_capacity - 1);
        stories.push_back(std::move(name));
    }
    return true;
}

}  // namespace

bool select_story(StoryPath& selected_file) {
    std::vector<std::string> stories;
    if (!list_stories(stories)) {
        display_select_story();
        console_out() << "\n" << "Erreur : Impossible d'ouvrir le répertoire des histoires.\n";
        return false;
    }
    return select_story(stories, selected_file);
}

std::string story_path_for(std::string_view name) { return std::string(stories_folder) + "/" + std::string(name); }

bool select_story(std::span<const std::string> stories, StoryPath& selected_file) {
    std::ostream& out = console_out();
    display_select_story();
    out << "\n";
    int count = 0;
    for (const std::string& name : stories) out << ++count << ". " << name << '\n';
    if (count == 0) {
        out << "Aucune histoire disponible.\n";
        return false;
    }

    out << "Choisissez une histoire (1-" << count << ") : ";
    tell_observer({PlayEventKind::story_menu, -1, count});
    for (;;) {
        const NumberAnswer answer = read_number();
        if (answer.status == NumberStatus::end_of_input) return false;
        if (answer.status == NumberStatus::number && answer.value >= 1 && answer.value <= count) {
            selected_file.assign(story_path_for(stories[static_cast<std::size_t>(answer.value - 1)]));
            return true;
        }
        out << "Choix invalide. Veuillez réessayer : ";
    }
}

void display_story_title(std::string_view selected_file) {
    std::size_t start = selected_file.rfind('/');
    if (start == std::string_view::npos) start = selected_file.rfind('\\');
    std::string_view name = start == std::string_view::npos ? selected_file : selected_file.substr(start + 1);
    StoryPath title;
    title.assign(name);
    name = title.view();
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos) name = name.substr(0, dot);
    console_out() << "\n" << "\n=== " << name << " ===\n";
}

void display_select_story() {
    const BannerOnScreen clipped;
    std::ostream& out = console_out();
    out << colour_blue << "\n" << "\n";
    for (std::string_view row : select_story_rows) out << row << "\n";
    out << std::string(select_story_blank_row, ' ') << "\n";
    out << colour_reset << "\n";
}
