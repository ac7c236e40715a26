#include "item_search.hpp"

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
        for (std::size_t next = 0; next < states_.size() && found_.size() < lose_lines_; ++next) {
            if (!expand(next)) {
                result.complete = false;
                break;
            }
        }
        for (auto& [where, path] : found_) result.missing.push_back({where.first, where.second, std::move(path)});
        return result;
    }

private:
    struct State {
        const std::string* key;
        int parent;
    };

    // Plays the items of one state's section, then follows its choices.
    // False when the state bound is reached.
    bool expand(std::size_t index) {
        const std::string_view key = *states_[index].key;
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
                if (!found_.contains(line) && !known_.contains(line)) found_.emplace(line, path_to(index));
            }
        }
        if (found_.size() == lose_lines_) return true;  // nothing left to look for
        const Section& section = section_at(sections_, id);
        std::string next = state_key(0, held);  // the same inventory in each target section
        for (const Choice& choice : section_options(section)) {
            const int target = choice.next_section_id;
            if (!is_loaded_section(target, section_count_)) continue;  // the playthrough ends there
            next[0] = static_cast<char>(target);
            if (!visit(next, static_cast<int>(index))) return false;
        }
        return true;
    }

    // Queues a state unless it was seen; false when the bound is reached.
    bool visit(std::string_view key, int parent) {
        if (seen_.contains(key)) return true;
        if (states_.size() >= state_limit_) return false;
        const auto it = seen_.emplace(key).first;
        states_.push_back({&*it, parent});
        return true;
    }

    std::vector<int> path_to(std::size_t index) const {
        std::deque<int> path;
        for (int at = static_cast<int>(index); at >= 0; at = states_[static_cast<std::size_t>(at)].parent) {
            path.push_front(key_section(*states_[static_cast<std::size_t>(at)].key));
        }
        return {path.begin(), path.end()};
    }

    const SectionTable& sections_;
    int section_count_;
    std::size_t state_limit_;
    SectionSteps steps_;
    std::vector<int> starts_;
    std::set<LoseLine> known_;
    std::size_t lose_lines_ = 0;
    // Looked up by view, so that a state already seen costs no copy.
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    std::unordered_set<std::string, KeyHash, std::equal_to<>> seen_;  // node-based: keys stay put
    std::vector<State> states_;
    std::map<LoseLine, std::vector<int>> found_;  // line -> path
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

std::optional<ItemPlace> refused_gain(const SectionTable& sections, int section_count, const MissingItem& missing) {
    const int count = loaded_count(section_count);
    const SectionSteps steps = item_steps(sections, count);
    const auto lost = static_cast<std::size_t>(missing.item_index);
    const int name = steps[static_cast<std::size_t>(missing.section)][lost].tracked;
    HeldItems held;
    std::optional<ItemPlace> refused;
    for (std::size_t at = 0; at < missing.path.size(); ++at) {
        const auto id = static_cast<std::size_t>(missing.path[at]);
        const bool last = at + 1 == missing.path.size();
        for (std::size_t i = 0; i < steps[id].size() && !(last && i == lost); ++i) {
            const ItemStep& step = steps[id][i];
            if (step.kind == ItemStep::Kind::gain && !held.gain(step.tracked) && step.tracked == name) {
                refused = ItemPlace{static_cast<int>(id), static_cast<int>(i)};
            } else if (step.kind == ItemStep::Kind::gain && step.tracked == name) {
                refused.reset();  // held after all
            } else if (step.kind == ItemStep::Kind::lose) {
                held.lose(step.tracked);
            }
        }
    }
    return refused;
}
