// Loads arbitrary bytes as a story file, then checks every section the loader
// opened against the rules the game engine relies on: ids equal positions,
// counts within their limits, every text terminated within its capacity and
// no longer than the line buffer lets it be.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "console.hpp"
#include "fuzz_support.hpp"
#include "story.hpp"

namespace {

// The longest texts a loaded story can hold: a dialogue or choice line is
// read with a 255-byte line buffer, and "- " plus a colon (respectively the
// two bytes of the arrow) come out of it.
constexpr std::size_t max_narration_bytes = 999;
constexpr std::size_t max_speaker_bytes = 49;
constexpr std::size_t max_dialogue_text_bytes = 252;
constexpr std::size_t max_option_text_bytes = 253;

constexpr std::string_view too_many_sections_message = "Erreur : Trop de sections dans le fichier.\n";

template <std::size_t Capacity>
void check_text(const FixedText<Capacity>& text, std::size_t longest) {
    FUZZ_CHECK(text.size() <= FixedText<Capacity>::max_size);
    FUZZ_CHECK(text.c_str()[text.size()] == '\0');
    // A NUL byte ends a line as it is read, so none is ever stored.
    FUZZ_CHECK(std::strlen(text.c_str()) == text.size());
    FUZZ_CHECK(text.size() <= longest);
}

// Records what the loader tells about the structure it builds.
class Recorder final : public LoadListener {
public:
    int sections_opened = 0;
    bool too_many_sections = false;

    void notice(const LoadNotice& n) override {
        FUZZ_CHECK(n.line >= 0);
        FUZZ_CHECK(n.section >= -1 && n.section <= max_sections);
        FUZZ_CHECK(n.index >= -1 && n.index < max_section_items);
        switch (n.kind) {
            case LoadNoticeKind::section_opened:
                FUZZ_CHECK(n.section == sections_opened);
                ++sections_opened;
                break;
            case LoadNoticeKind::too_many_sections:
                FUZZ_CHECK(n.section == max_sections);
                too_many_sections = true;
                break;
            case LoadNoticeKind::dialogue_stored:
            case LoadNoticeKind::choice_stored:
                FUZZ_CHECK(n.section >= 0 && n.index >= 0 && n.index < 5);
                break;
            case LoadNoticeKind::item_stored:
                FUZZ_CHECK(n.section >= 0 && n.index >= 0);
                break;
            default:
                break;
        }
    }
};

// A story that fills every field the format can fill, in every section the
// table has, so that a field the loader forgets to clear when it opens a
// section shows up when the input is loaded over it.
std::string poison_story() {
    const std::string filler(300, 'P');
    std::string text;
    for (int s = 0; s < max_sections; ++s) {
        text += "# Section\n[Narration]\n" + filler + "\n[/Narration]\n[Fin]\n[Dialogue]\n";
        for (int d = 0; d < max_dialogues; ++d) text += "- " + filler.substr(0, 60) + " : " + filler.substr(0, 200) + "\n";
        text += "[Choix]\n";
        for (int c = 0; c < max_choices; ++c) text += "P ID_Conséquence : 9 -> Section : 12345\n";
        for (int i = 0; i < max_section_items; ++i) text += (i % 2 == 0 ? "\"" + filler + "\"\n" : "<" + filler + ">\n");
    }
    return text;
}

int load_bytes(std::string_view bytes, SectionTable& table, LoadListener* listener) {
    std::istringstream in{std::string(bytes), std::ios::binary};
    return load_story(in, "story.txt", table, listener);
}

void check_section(const Section& s, int position) {
    FUZZ_CHECK(s.id == position);
    check_text(s.narration, max_narration_bytes);
    FUZZ_CHECK(s.dialogue_count >= 0 && s.dialogue_count <= max_dialogues);
    FUZZ_CHECK(s.choice_count >= 0 && s.choice_count <= max_choices);
    FUZZ_CHECK(s.item_count >= 0 && s.item_count <= max_section_items);
    FUZZ_CHECK(s.is_ending == 0 || s.is_ending == 1);
    // Entries past a count are either cleared or left by an earlier block of
    // the same section: they obey the same limits.
    for (const Dialogue& d : s.dialogues) {
        check_text(d.character, max_speaker_bytes);
        check_text(d.text, max_dialogue_text_bytes);
    }
    for (const Choice& c : s.choices) {
        check_text(c.text, max_option_text_bytes);
        // The story format never fills these.
        FUZZ_CHECK(c.item_add.empty() && c.item_remove.empty());
        FUZZ_CHECK(c.points == 0);
    }
    for (int i = 0; i < s.item_count; ++i) {
        const Item& item = s.items[static_cast<std::size_t>(i)];
        check_text(item.name, max_item_name_bytes);
        FUZZ_CHECK(item.type == item_gain || item.type == item_lose);
    }
    for (int i = 0; i < s.dialogue_count; ++i) {
        // A stored spoken line may keep the line end it was read with, and
        // only as its last byte.
        const std::string_view text = s.dialogues[static_cast<std::size_t>(i)].text.view();
        const std::size_t line_end = text.find('\n');
        FUZZ_CHECK(line_end == std::string_view::npos || line_end + 1 == text.size());
    }
}

// How many "# Section" texts the input holds: no more sections than that can open.
int header_bound(std::string_view bytes) {
    int count = 0;
    for (std::size_t at = bytes.find("# Section"); at != std::string_view::npos && count <= max_sections;
         at = bytes.find("# Section", at + 1)) {
        ++count;
    }
    return std::min(count, max_sections);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::unique_ptr<SectionTable> fresh = std::make_unique<SectionTable>();
    static const std::unique_ptr<SectionTable> reused = std::make_unique<SectionTable>();
    static const std::unique_ptr<SectionTable> poisoned = [] {
        auto table = std::make_unique<SectionTable>();
        std::ostringstream quiet;
        const ConsoleOverride console({&console_in(), &quiet, &console_pacer()});
        FUZZ_CHECK(load_bytes(poison_story(), *table, nullptr) == max_sections);
        return table;
    }();
    static const Section untouched{};

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const int bound = header_bound(bytes);
    // Only the sections the input can open are looked at afterwards.
    std::fill_n(fresh->begin(), bound, untouched);
    std::copy_n(poisoned->begin(), bound, reused->begin());

    Recorder recorder;
    std::istringstream no_keys;
    std::ostringstream printed;
    InstantPacer pacer;
    int count = 0;
    {
        const ConsoleOverride console({&no_keys, &printed, &pacer});
        count = load_bytes(bytes, *fresh, &recorder);
        FUZZ_CHECK(load_bytes(bytes, *reused, nullptr) == count);
    }

    FUZZ_CHECK(recorder.sections_opened <= bound);
    if (recorder.too_many_sections) {
        FUZZ_CHECK(count == 0);
        FUZZ_CHECK(recorder.sections_opened == max_sections);
        FUZZ_CHECK(printed.str() == std::string(too_many_sections_message) + std::string(too_many_sections_message));  // once per load
    } else {
        FUZZ_CHECK(count == recorder.sections_opened);
        FUZZ_CHECK(printed.str().empty());
    }
    FUZZ_CHECK(count >= 0 && count <= max_sections);

    for (int i = 0; i < recorder.sections_opened; ++i) {
        const auto at = static_cast<std::size_t>(i);
        check_section((*fresh)[at], i);
        // Opening a section clears whatever an earlier story left in it.
        FUZZ_CHECK((*reused)[at] == (*fresh)[at]);
    }
    // What the game looks sections up by agrees with their positions.
    for (int i = 0; i < count; ++i) FUZZ_CHECK(get_section_by_id(*fresh, count, i) == &(*fresh)[static_cast<std::size_t>(i)]);
    FUZZ_CHECK(get_section_by_id(*fresh, count, -1) == nullptr);
    FUZZ_CHECK(get_section_by_id(*fresh, count, count) == nullptr);
    return 0;
}
