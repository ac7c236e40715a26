#include "game_engine.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <ostream>
#include <string_view>

#include "colour.hpp"
#include "console.hpp"
#include "save_load.hpp"
#include "terminal_layout.hpp"

namespace {

constexpr std::string_view yellow = colour_yellow;
constexpr std::string_view green = colour_green;
constexpr std::string_view red = colour_red;
constexpr std::string_view reset = colour_reset;

constexpr std::string_view replay_question = "Voulez-vous rejouer ? (o/n) : ";
constexpr std::string_view quoted_player_name = "\"Vous\"";

// The title banner: ORLI in yellow, then MAR in green, set off to the right.
constexpr std::array<std::string_view, 6> orlimar_first_rows = {
    "   ██████╗ ██████╗ ██╗     ██╗",
    "  ██╔═══██╗██╔══██╗██║     ██║",
    "  ██║   ██║██████╔╝██║     ██║",
    "  ██║   ██║██╔══██╗██║     ██║",
    "  ╚██████╔╝██║  ██║███████╗██║",
    "   ╚═════╝ ╚═╝  ╚═╝╚══════╝╚═╝",
};
constexpr std::array<std::string_view, 6> orlimar_last_rows = {
    "███╗   ███╗ █████╗ ██████╗ ",
    "████╗ ████║██╔══██╗██╔══██╗",
    "██╔████╔██║███████║██████╔╝",
    "██║╚██╔╝██║██╔══██║██╔══██╗",
    "██║ ╚═╝ ██║██║  ██║██║  ██║",
    "╚═╝     ╚═╝╚═╝  ╚═╝╚═╝  ╚═╝",
};
constexpr std::string_view orlimar_last_indent = "                          ";  // 26 blanks
constexpr std::string_view orlimar_caption = "                              === ORLIMAR ===             \n";

constexpr std::array<std::string_view, 6> game_over_rows = {
    "  ██████╗  █████╗ ███╗   ███╗███████╗     ██████╗ ██╗   ██╗███████╗██████╗ ",
    " ██╔════╝ ██╔══██╗████╗ ████║██╔════╝    ██╔═══██╗██║   ██║██╔════╝██╔══██╗",
    " ██║  ███╗███████║██╔████╔██║█████╗      ██║   ██║██║   ██║█████╗  ██████╔╝",
    " ██║   ██║██╔══██║██║╚██╔╝██║██╔══╝      ██║   ██║██║   ██║██╔══╝  ██╔═══╝ ",
    " ╚██████╔╝██║  ██║██║ ╚═╝ ██║███████╗    ╚██████╔╝╚██████╔╝███████╗██║     ",
    "  ╚═════╝ ╚═╝  ╚═╝╚═╝     ╚═╝╚══════╝     ╚═════╝  ╚═════╝ ╚══════╝╚═╝     ",
};

// Nobody listens unless a tool installs an observer.
class NoObserver final : public PlayObserver {
public:
    void on_event(const PlayEvent&) override {}
};

NoObserver no_observer;
PlayObserver* observer_in_use = &no_observer;

void tell(PlayEventKind kind, int section, int index = -1) { tell_observer({kind, section, index}); }

bool is_yes(const std::optional<char>& answer) {
    return answer.has_value() && (*answer == 'o' || *answer == 'O');
}

// Asks the replay question, after an ending screen or after the game's end
// (`which`); no answer (end of input) counts as no.
bool ask_replay(PlayEventKind which, int section) {
    tell(which, section);
    console_out() << replay_question;
    return is_yes(read_answer());
}

// How many entries of a record array are valid, whatever the count says.
template <typename T>
std::size_t valid_count(std::span<const T> entries, int count) {
    return static_cast<std::size_t>(std::clamp<long long>(count, 0, static_cast<long long>(entries.size())));
}

void print_choice_menu(std::span<const Choice> choices) {
    std::ostream& out = console_out();
    const MenuNumbers menu = menu_numbers(choices);
    out << "\n--- Vos Choix  ---\n";  // two blanks before the dashes: the menu's look, kept as it is
    int number = 1;
    for (const Choice& choice : choices) {
        out << green << number++ << ". " << choice.text.view() << reset << '\n';
    }
    out << yellow << menu.inventory() << ". Consulter l'inventaire" << reset << '\n';
    out << yellow << menu.save() << ". Sauvegarder la partie" << reset << '\n';
    out << "Votre choix : ";
}

// Reads menu numbers until one names an entry; empty at end of input.
std::optional<int> read_menu_number(MenuNumbers menu) {
    for (;;) {
        const NumberAnswer answer = read_number();
        if (answer.status == NumberStatus::end_of_input) return std::nullopt;
        if (answer.status == NumberStatus::number && menu_entry(menu, answer.value) != MenuEntry::invalid) {
            return answer.value;
        }
        console_out() << red << "Choix invalide. Veuillez réessayer : " << reset;
    }
}

}  // namespace

// ===========================================================================
// Text effects and banners

void typewriter_effect(std::string_view unfitted, int delay_ms) {
    const std::string fitted = fit_to_screen(unfitted);
    const std::string_view text = fitted;
    std::ostream& out = console_out();
    Pacer& pacer = console_pacer();
    const bool paced = !text.empty() && delay_ms > 0;
    if (paced) pacer.begin_text();
    // Each byte is due at start + k × delay: the time spent writing and any
    // oversleeping are caught up on the next byte instead of adding up.
    const auto delay = std::chrono::milliseconds(std::max(delay_ms, 0));
    auto deadline = paced ? pacer.now() : Pacer::Clock::time_point{};
    std::size_t typed = 0;
    for (; typed < text.size() && !output_lost(); ++typed) {
        if (paced) {
            deadline += delay;
            if (pacer.wait_for_byte(deadline) == Pacer::ByteWaitEnd::rest_asked) break;
        }
        out.put(text[typed]);
        out.flush();
    }
    out << text.substr(typed);  // all of it at once when the player asked for the rest
    out.put('\n');
    out.flush();
    if (paced) pacer.end_text();
}

void display_orlimar() {
    const BannerOnScreen clipped;
    std::ostream& out = console_out();
    out << yellow << "\n" << "\n";
    for (std::string_view row : orlimar_first_rows) out << row << "\n";
    out << green << "\n";
    for (std::string_view row : orlimar_last_rows) out << orlimar_last_indent << row << "\n";
    out << orlimar_caption;
    out << reset << "\n";
}

void display_game_over_ascii() {
    const BannerOnScreen clipped;
    std::ostream& out = console_out();
    out << "\n";
    for (std::string_view row : game_over_rows) out << row << "\n";
    out << "\n"
        << "                            === GAME OVER ===\n"
        << "   Merci d'avoir joué !\n"
        << "\n";
}

void tell_observer(const PlayEvent& event) { observer_in_use->on_event(event); }

PlayObserverOverride::PlayObserverOverride(PlayObserver& observer) : saved_(observer_in_use) {
    observer_in_use = &observer;
}

PlayObserverOverride::~PlayObserverOverride() { observer_in_use = saved_; }

// ===========================================================================
// Game loop

void welcome_player(std::string_view selected_file) {
    console_out() << "Bienvenue dans  !\n";  // two blanks, no name between them: the greeting as players know it
    display_orlimar();
    console_out() << "\n";
    display_story_title(selected_file);
}

void start_game(const SectionTable& sections, int section_count, std::string_view story_filename) {
    std::ostream& out = console_out();
    const int loaded = loaded_count(section_count);
    Inventory player_inventory;
    for (;;) {
        // A saved 0 reads as no save: the new game starts at section 0 all the same.
        int current_section_id = current_save_slot().load(story_filename);
        if (current_section_id != 0) {
            out << "Sauvegarde chargée pour " << story_filename << ". Reprise à la section " << current_section_id
                << ".\n";
        } else {
            out << "Aucune sauvegarde trouvée pour " << story_filename << ". Nouvelle partie commencée.\n";
        }
        init_inventory(player_inventory);

        while (current_section_id != end_section_id) {
            if (!is_loaded_section(current_section_id, loaded)) {
                out << "Erreur : La section " << current_section_id << " n'existe pas.\n";
                tell(PlayEventKind::section_missing, current_section_id);
                break;
            }
            tell(PlayEventKind::section_entered, current_section_id);
            current_section_id =
                play_section(section_at(sections, current_section_id), player_inventory, current_section_id, story_filename);
        }

        out << "\n=== GAME OVER ===\n";
        if (!ask_replay(PlayEventKind::game_replay, -1)) {
            out << "Merci d'avoir joué " << story_filename << " !\n";
            return;
        }
    }
}

// ===========================================================================
// Section player

int play_section(const Section& section, Inventory& inventory, int current_section_id,
                 std::string_view story_filename) {
    narration(section.narration);
    collect_items(section, inventory);
    if (!section_dialogues(section).empty()) dialogues(section.dialogues, section.dialogue_count);
    switch (section_end(section)) {
        case SectionEnd::choice_menu:
            return process_choices(section.choices, section.choice_count, inventory, current_section_id,
                                   story_filename);
        case SectionEnd::ending_screen:
            ending_screen(section.narration, section.id);  // its answer is asked again by the game loop
            return end_section_id;
        case SectionEnd::stop:
            return end_section_id;
    }
    return end_section_id;
}

void narration(std::string_view narration) {
    typewriter_effect(narration, narration_delay_ms);
    console_out() << "\n";
}

void collect_items(const Section& section, Inventory& inventory) {
    int index = 0;
    for (const Item& item : section_items(section)) {
        if (item.type == item_gain) {
            if (!add_item(inventory, item.name)) tell(PlayEventKind::inventory_full, section.id, index);
        } else if (item.type == item_lose && !remove_item(inventory, item.name)) {
            console_out() << "Erreur : " << item.name.view() << " n'est pas dans votre inventaire.\n";
            tell(PlayEventKind::item_missing, section.id, index);
        }
        ++index;
    }
}

// A name counts as the player's when it sorts after "Vous" byte by byte
// (so "Vous " with the blank the usual "- Vous : ..." leaves does), or when
// it is "Vous" in double quotes.
bool is_player_name(std::string_view name) {
    return name > player_speaker || name == quoted_player_name;
}

void dialogues(std::span<const Dialogue> entries, int dialogue_count) {
    std::ostream& out = console_out();
    for (const Dialogue& line : entries.first(valid_count(entries, dialogue_count))) {
        out << (is_player_name(line.character) ? green : red) << line.character.view() << reset << '\n';
        typewriter_effect(line.text, dialogue_delay_ms);
    }
}

bool ending(std::string_view ending_text) { return ending_screen(ending_text, -1); }

bool ending_screen(std::string_view ending_text, int section) {
    console_out() << "\n=== Fin de l'histoire ===\n";
    typewriter_effect(ending_text, ending_delay_ms);
    display_game_over_ascii();
    return ask_replay(PlayEventKind::ending_replay, section);
}

// ===========================================================================
// Choice menu and consequences

int process_choices(std::span<const Choice> choices, int choice_count, Inventory& inventory,
                    int current_section_id, std::string_view story_filename) {
    const std::span<const Choice> options = choices.first(valid_count(choices, choice_count));
    const MenuNumbers menu = menu_numbers(options);
    // After a look at the inventory or a save the whole menu comes back.
    for (;;) {
        print_choice_menu(options);
        tell(PlayEventKind::choice_menu, current_section_id, menu.options);
        const std::optional<int> picked = read_menu_number(menu);
        if (!picked) return end_section_id;
        switch (menu_entry(menu, *picked)) {
            case MenuEntry::inventory:
                display_inventory(inventory);
                break;
            case MenuEntry::save:
                current_save_slot().save(story_filename, current_section_id);
                break;
            case MenuEntry::option:
                tell(PlayEventKind::choice_picked, current_section_id, *picked - 1);
                return options[static_cast<std::size_t>(*picked - 1)].next_section_id;
            case MenuEntry::invalid:  // read_menu_number asks again for these
                break;
        }
    }
}

MenuNumbers menu_numbers(std::span<const Choice> options) {
    return MenuNumbers{static_cast<int>(std::min<std::size_t>(options.size(), max_choices))};
}

MenuNumbers menu_numbers(const Section& section) { return menu_numbers(section_options(section)); }

MenuEntry menu_entry(MenuNumbers menu, int number) {
    if (number >= 1 && number <= menu.options) return MenuEntry::option;
    if (number == menu.inventory()) return MenuEntry::inventory;
    if (number == menu.save()) return MenuEntry::save;
    return MenuEntry::invalid;
}

void apply_consequence(int consequence_id, Inventory& inventory, std::string_view item_add,
                       std::string_view item_remove) {
    std::ostream& out = console_out();
    if (consequence_id == consequence_gain && !item_add.empty()) {
        if (add_item(inventory, item_add)) out << "Vous avez obtenu : " << item_add << "\n";
    } else if (consequence_id == consequence_lose && !item_remove.empty()) {
        if (remove_item(inventory, item_remove)) {
            out << "Vous avez utilisé : " << item_remove << "\n";
        } else {
            out << "Erreur : " << item_remove << " n'est pas dans votre inventaire.\n";
        }
    }
}
