#include "play_session.hpp"

#include <array>
#include <fstream>
#include <ostream>

#include "colour.hpp"
#include "console.hpp"
#include "file_path.hpp"
#include "game_engine.hpp"
#include "replay.hpp"

namespace {

constexpr std::string_view stories_prefix = "./stories/";

}  // namespace

PlayableStory load_playable_story(const std::string& file) {
    PlayableStory story;
    story.file = file;
    story.file_name = utf8_from_path(path_from_utf8(file).filename());
    story.story_path = std::string(stories_prefix) + story.file_name;
    story.section_count = load_story_lines(file, *story.sections, story.lines);
    return story;
}

int report_unplayable(const PlayableStory& story, std::ostream& err) {
    print_diagnostics(err, story.file, check_story_file(story.file).diagnostics);
    return status_errors;
}

int TrialSaveSlot::load(std::string_view) { return section_; }

void TrialSaveSlot::save(std::string_view, int current_section_id) {
    section_ = current_section_id;
    console_out() << "(essai) rien n'est écrit : reprise à la section " << current_section_id << ".\n";
}

std::string without_colours(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const std::size_t skip = colour_code_length(text, at); skip > 0) {
            at += skip;
        } else {
            plain += text[at++];
        }
    }
    return plain;
}

namespace {

// Where in `text` an escape starts that more bytes could make a colour code
// ("\033", or "\033[" and digits or ';' up to the end), or its size.
std::size_t unfinished_colour_code(std::string_view text) {
    const std::size_t escape = text.rfind('\033');
    if (escape == std::string_view::npos) return text.size();
    std::string_view rest = text.substr(escape + 1);
    if (rest.empty()) return escape;
    if (rest.front() != '[') return text.size();
    rest.remove_prefix(1);
    const bool open = rest.find_first_not_of("0123456789;") == std::string_view::npos;
    return open ? escape : text.size();
}

}  // namespace

ColourFilter::~ColourFilter() { out_ << held_ << std::flush; }

ColourFilter::int_type ColourFilter::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    held_ += traits_type::to_char_type(c);
    pass_on();
    return c;
}

std::streamsize ColourFilter::xsputn(const char* text, std::streamsize count) {
    held_.append(text, static_cast<std::size_t>(count));
    pass_on();
    return count;
}

int ColourFilter::sync() {
    out_.flush();
    return out_ ? 0 : -1;
}

// An escape ends colour codes but never sits inside one, so what comes
// before an unfinished one is filtered the same alone or with what follows.
void ColourFilter::pass_on() {
    const std::size_t keep = unfinished_colour_code(held_);
    out_ << without_colours(std::string_view(held_).substr(0, keep));
    held_.erase(0, keep);
}

HeldOutput::HeldOutput(std::ostream& out) : out_(out) { setp(buffer_.get(), buffer_.get() + buffer_bytes); }

HeldOutput::~HeldOutput() { pass_on(); }

void HeldOutput::pass_on() {
    if (pptr() == pbase()) return;
    out_.write(pbase(), pptr() - pbase());
    out_.flush();
    setp(buffer_.get(), buffer_.get() + buffer_bytes);
}

HeldOutput::int_type HeldOutput::overflow(int_type c) {
    pass_on();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

// The game flushes after every typed byte: held until the next read of the keys.
int HeldOutput::sync() { return 0; }

KeysAfterOutput::int_type KeysAfterOutput::underflow() {
    held_.pass_on();
    if (source_ == nullptr) return traits_type::eof();
    const int_type c = source_->sbumpc();
    if (traits_type::eq_int_type(c, traits_type::eof())) return c;
    key_ = traits_type::to_char_type(c);
    setg(&key_, &key_, &key_ + 1);
    return c;
}

bool OneStoryShelf::choose(StoryPath& story_path) {
    const std::array names{story_.file_name};
    return select_story(names, story_path);
}

ShelvedStory OneStoryShelf::load(const StoryPath&) { return {story_.sections.get(), story_.section_count}; }

InMemoryGame::InMemoryGame(std::istream& keys, std::ostream& out, int resume_at, PlayObserver* observer,
                           Typing typing)
    : slot_(resume_at),
      console_(Console{&keys, &out, typing == Typing::clocked ? static_cast<Pacer*>(&clocked_) : &at_once_}),
      save_(slot_) {
    if (observer) observer_.emplace(*observer);
}

std::string format_keys(std::span<const int> keys) {
    std::string text = "«";
    for (const int key : keys) text += " " + std::to_string(key);
    return text + " »";
}

void play_in_memory(const PlayableStory& story, const PlayStart& start, std::istream& keys, std::ostream& out,
                    PlayObserver* observer) {
    const InMemoryGame game(keys, out, start.story_menu ? 0 : start.section, observer);
    if (start.story_menu) {
        OneStoryShelf shelf(story);
        run_program(shelf);
    } else {
        play_loaded_story({story.sections.get(), story.section_count}, story.story_path);
    }
}

int play_mode(const std::string& file, const PlayOptions& options, std::istream& in, std::ostream& out,
              std::ostream& err) {
    const PlayableStory story = load_playable_story(file);
    if (story.section_count == 0) return report_unplayable(story, err);
    const std::optional<int> from = options.from;
    if (from && (*from < 0 || *from >= story.section_count)) {
        err << "orlimar-check : --depuis " << *from << " : cette section n'existe pas (0 à "
            << story.section_count - 1 << ")\n";
        return status_errors;
    }
    // Opened before play, so that a file that cannot be written is known
    // before the author plays a whole session for nothing.
    std::ofstream recording_file;
    if (options.recording) {
        recording_file.open(path_from_utf8(*options.recording), std::ios::binary | std::ios::trunc);
        if (!recording_file) return report_unwritable(*options.recording, err);
    }
    ColourFilter filter(out);
    std::ostream plain(&filter);
    HeldOutput held(options.plain ? plain : out);
    std::ostream screen(&held);
    KeysAfterOutput keys(in.rdbuf(), held);
    std::istream keyboard(&keys);
    const PlayStart start{false, from.value_or(0)};
    if (!options.recording) {
        play_in_memory(story, start, keyboard, screen);
        return status_clean;  // what is still held is passed on as held and filter go
    }
    SessionTap tap(keyboard, screen);
    play_in_memory(story, start, tap.in(), tap.out());
    held.pass_on();
    const Recording recording{story_reference(file, *options.recording), start, !options.plain, tap.keys(),
                              options.plain ? without_colours(tap.output()) : tap.output()};
    recording_file << format_recording(recording);
    recording_file.close();
    return recording_file ? status_clean : report_unwritable(*options.recording, err);
}
