#include "item_search.hpp"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <sstream>
#include <utility>

#include "console.hpp"
#include "decimal.hpp"
#include "game_engine.hpp"
#include "inventor.hpp"
#include "near_miss.hpp"
#include "text_excerpt.hpp"
#include "wording.hpp"
#include "story_graph.hpp"

namespace {

// ===========================================================================
// Lost items: search over (section, inventory)

// Only the items that some line loses need their own count; every other item
// only takes room in the inventory.
struct ItemStep {
    enum class Kind { gain, lose, none } kind = Kind::none;
    int tracked = -1;  // index of a lost item's name, -1 for an untracked one
};

using SectionSteps = std::vector<std::vector<ItemStep>>;

SectionSteps item_steps(const SectionTable& sections, int section_count) {
    std::map<std::string_view, int> tracked;
    for (int id = 0; id < section_count; ++id) {
        const Section& section = section_at(sections, id);
        for (const Item& item : section_items(section)) {
            if (item.type == item_lose) tracked.emplace(item.name.view(), static_cast<int>(tracked.size()));
        }
    }
    SectionSteps steps(static_cast<std::size_t>(section_count));
    for (int id = 0; id < section_count; ++id) {
        const Section& section = section_at(sections, id);
        for (const Item& item : section_items(section)) {
            const auto found = tracked.find(item.name.view());
            const int index = found != tracked.end() ? found->second : -1;
            // One step per item line, so that step i is item line i.
            const ItemStep::Kind kind = item.type == item_gain   ? ItemStep::Kind::gain
                                        : item.type == item_lose ? ItemStep::Kind::lose
                                                                 : ItemStep::Kind::none;
            steps[static_cast<std::size_t>(id)].push_back({kind, index});
        }
    }
    return steps;
}

// What the inventory holds, as far as lost items are concerned: how many
// items in all, and how many of each tracked name (sorted, none at 0).
struct HeldItems {
    int total = 0;
    std::vector<std::pair<int, int>> tracked;

    // add_item: refused when the inventory is full.
    bool gain(int name) {
        if (!has_room_for_item(total)) return false;
        ++total;
        if (name < 0) return true;
        const auto it = std::lower_bound(tracked.begin(), tracked.end(), std::pair{name, 0});
        if (it != tracked.end() && it->first == name) {
            ++it->second;
        } else {
            tracked.insert(it, {name, 1});
        }
        return true;
    }

    // remove_item: false when the item is not held.
    bool lose(int name) {
        const auto it = std::lower_bound(tracked.begin(), tracked.end(), std::pair{name, 0});
        if (it == tracked.end() || it->first != name) return false;
        --total;
        if (--it->second == 0) tracked.erase(it);
        return true;
    }
};

// A search state as a compact key: section, total, then (name, count) pairs.
std::string state_key(int section, const HeldItems& held) {
    std::string key;
    key.reserve(2 + 3 * held.tracked.size());
    key += static_cast<char>(section);
    key += static_cast<char>(held.total);
    for (const auto& [name, count] : held.tracked) {
        key += static_cast<char>(name & 0xFF);
        key += static_cast<char>(name >> 8);
        key += static_cast<char>(count);
    }
    return key;
}

int key_section(std::string_view key) { return static_cast<unsigned char>(key[0]); }

HeldItems key_items(std::string_view key) {
    HeldItems held;
    held.total = static_cast<unsigned char>(key[1]);
    for (std::size_t i = 2; i + 2 < key.size(); i += 3) {
        const int name = static_cast<unsigned char>(key[i]) | (static_cast<unsigned char>(key[i + 1]) << 8);
        held.tracked.emplace_back(name, static_cast<unsigned char>(key[i + 2]));
    }
    return held;
}

// Lose-item lines as (section, item index).
using LoseLine = std::pair<int, int>;

// The states seen, each key stored once in large blocks that never move and
// found again through an open-addressing table of state numbers: no
// allocation per state and no copying as the table grows, so that a search
// at its bound stays well within a second.
class StateTable {
public:
    // The number of the state with this key, or -1.
    [[nodiscard]] int find(std::string_view key) const {
        if (slots_.empty()) return -1;
        for (std::size_t at = hash(key) & mask(); slots_[at] != 0; at = (at + 1) & mask()) {
            const int state = static_cast<int>(slots_[at]) - 1;
            if (key_of(state) == key) return state;
        }
        return -1;
    }

    // Stores a key that find() did not know; returns its number.
    int add(std::string_view key) {
        if (2 * (keys_.size() + 1) > slots_.size()) grow();
        const auto state = static_cast<int>(keys_.size());
        if (blocks_.empty() || block_used_ + key.size() > block_size) {
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(std::max(block_size, key.size())));
            block_used_ = 0;
        }
        char* stored = blocks_.back().get() + block_used_;
        std::copy(key.begin(), key.end(), stored);
        block_used_ += key.size();
        keys_.emplace_back(stored, key.size());
        place(key, state);
        return state;
    }

    [[nodiscard]] std::string_view key_of(int state) const { return keys_[static_cast<std::size_t>(state)]; }

    [[nodiscard]] std::size_t size() const { return keys_.size(); }

private:
    static constexpr std::size_t block_size = std::size_t{1} << 20;

    static std::size_t hash(std::string_view key) { return std::hash<std::string_view>{}(key); }
    [[nodiscard]] std::size_t mask() const { return slots_.size() - 1; }

    void place(std::string_view key, int state) {
        std::size_t at = hash(key) & mask();
        while (slots_[at] != 0) at = (at + 1) & mask();
        slots_[at] = static_cast<std::uint32_t>(state) + 1;
    }

    void grow() {
        slots_.assign(std::max<std::size_t>(1024, 2 * slots_.size()), 0);
        for (std::size_t state = 0; state < keys_.size(); ++state) {
            place(key_of(static_cast<int>(state)), static_cast<int>(state));
        }
    }

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t block_used_ = 0;    // bytes taken in the last block
    std::vector<std::string_view> keys_;  // into the blocks
    std::vector<std::uint32_t> slots_;  // state number + 1, 0 for an empty slot
};

// Breadth-first from one or more start sections, each with an empty
// inventory; the lines of `known` are not looked for.
class ItemSearch {
public:
    ItemSearch(const SectionTable& sections, int section_count, std::size_t state_limit,
               std::vector<int> starts, std::set<LoseLine> known = {})
        : sections_(sections), section_count_(section_count), state_limit_(state_limit),
          steps_(item_steps(sections, section_count)), starts_(std::move(starts)), known_(std::move(known)) {
        for (std::size_t id = 0; id < steps_.size(); ++id) {
            for (std::size_t i = 0; i < steps_[id].size(); ++i) {
                const bool wanted = steps_[id][i].kind == ItemStep::Kind::lose &&
                                    !known_.contains({static_cast<int>(id), static_cast<int>(i)});
                lose_lines_ += wanted ? 1 : 0;
            }
        }
    }

    MissingItemSearch run() {
        MissingItemSearch result;
        if (section_count_ <= 0 || lose_lines_ == 0) return result;
        for (const int start : starts_) {
            if (is_loaded_section(start, section_count_) && !visit(state_key(start, HeldItems{}), -1)) result.complete = false;
        }
        for (std::size_t next = 0; next < seen_.size() && found_.size() < lose_lines_; ++next) {
            if (!expand(static_cast<int>(next))) {
                result.complete = false;
                break;
            }
        }
        for (auto& [where, missing] : found_) result.missing.push_back(std::move(missing));
        return result;
    }

private:
    // Plays the items of one state's section, then follows its choices.
    // False when the state bound is reached.
    bool expand(int state) {
        const std::string_view key = seen_.key_of(state);
        const int id = key_section(key);
        HeldItems held = key_items(key);
        const auto& section_steps = steps_[static_cast<std::size_t>(id)];
        for (std::size_t i = 0; i < section_steps.size(); ++i) {
            const ItemStep& step = section_steps[i];
            if (step.kind == ItemStep::Kind::gain) {
                held.gain(step.tracked);
            } else if (step.kind == ItemStep::Kind::lose && !held.lose(step.tracked)) {
                // The first time is the shortest path: states come in BFS order.
                const LoseLine line{id, static_cast<int>(i)};
                if (!found_.contains(line) && !known_.contains(line)) {
                    found_.emplace(line, MissingItem{id, line.second, path_to(state),
                                                     last_gain_refused(state, line.second, step.tracked)});
                }
            }
        }
        if (found_.size() == lose_lines_) return true;  // nothing left to look for
        const Section& section = section_at(sections_, id);
        std::string next = state_key(0, held);  // the same inventory in each target section
        for (const Choice& choice : section_options(section)) {
            const int target = choice.next_section_id;
            if (!is_loaded_section(target, section_count_)) continue;  // the playthrough ends there
            next[0] = static_cast<char>(target);
            if (!visit(next, state)) return false;
        }
        return true;
    }

    // Queues a state unless it was seen; false when the bound is reached.
    bool visit(std::string_view key, int parent) {
        if (seen_.find(key) >= 0) return true;
        if (seen_.size() >= state_limit_) return false;
        seen_.add(key);
        parents_.push_back(parent);
        return true;
    }

    [[nodiscard]] int parent_of(int state) const { return parents_[static_cast<std::size_t>(state)]; }

    [[nodiscard]] std::vector<int> path_to(int state) const {
        std::vector<int> path;
        for (int at = state; at >= 0; at = parent_of(at)) path.push_back(key_section(seen_.key_of(at)));
        std::reverse(path.begin(), path.end());
        return path;
    }

    // Walking back from the line `before` of `state`'s section: the last
    // line that gained `name`, if the inventory was full then. Only that gain
    // matters: an earlier refusal is mended by a later gain that is taken.
    [[nodiscard]] std::optional<ItemPlace> last_gain_refused(int state, int before, int name) const {
        for (int at = state; at >= 0; at = parent_of(at), before = -1) {
            const int id = key_section(seen_.key_of(at));
            const auto& section_steps = steps_[static_cast<std::size_t>(id)];
            const int end = before >= 0 ? before : static_cast<int>(section_steps.size());
            for (int i = end - 1; i >= 0; --i) {
                const ItemStep& step = section_steps[static_cast<std::size_t>(i)];
                if (step.kind != ItemStep::Kind::gain || step.tracked != name) continue;
                if (has_room_for_item(held_before(at, i).total)) return std::nullopt;
                return ItemPlace{id, i};
            }
        }
        return std::nullopt;
    }

    // What the inventory holds in `state`'s section just before its item line `line`.
    [[nodiscard]] HeldItems held_before(int state, int line) const {
        const std::string_view key = seen_.key_of(state);
        HeldItems held = key_items(key);
        const auto& section_steps = steps_[static_cast<std::size_t>(key_section(key))];
        for (int i = 0; i < line; ++i) {
            const ItemStep& step = section_steps[static_cast<std::size_t>(i)];
            if (step.kind == ItemStep::Kind::gain) held.gain(step.tracked);
            if (step.kind == ItemStep::Kind::lose) held.lose(step.tracked);
        }
        return held;
    }

    const SectionTable& sections_;
    int section_count_;
    std::size_t state_limit_;
    SectionSteps steps_;
    std::vector<int> starts_;
    std::set<LoseLine> known_;
    std::size_t lose_lines_ = 0;
    StateTable seen_;           // state number -> key, in the order states were reached
    std::vector<int> parents_;  // state number -> the state it was reached from, -1 for a start
    std::map<LoseLine, MissingItem> found_;
};

}  // namespace

MissingItemSearch find_missing_items(const SectionTable& sections, int section_count, std::size_t state_limit) {
    return ItemSearch(sections, loaded_count(section_count), state_limit, {0}).run();
}

MissingItemSearch find_missing_items_on_resume(const SectionTable& sections, int section_count,
                                               const std::vector<int>& starts,
                                               const std::vector<MissingItem>& already_found,
                                               std::size_t state_limit) {
    const int count = loaded_count(section_count);
    // Lines out of the starts' reach are not looked for either: the search
    // would go on until its bound for them.
    std::set<LoseLine> known;
    for (const MissingItem& item : already_found) known.emplace(item.section, item.item_index);
    const std::vector<bool> reached = reached_from(sections, count, starts);
    for (int id = 0; id < count; ++id) {
        if (reached[static_cast<std::size_t>(id)]) continue;
        const auto items = static_cast<int>(section_items(section_at(sections, id)).size());
        for (int i = 0; i < items; ++i) known.emplace(id, i);
    }
    return ItemSearch(sections, count, state_limit, starts, std::move(known)).run();
}
