#include "inventor.hpp"

#include <new>
#include <ostream>
#include <utility>

#include "console.hpp"

void init_inventory(Inventory& inv) {
    for (std::string& slot : inv.items) {
        std::string().swap(slot);  // release the copy, not just its length
    }
    inv.item_count = 0;
    inv.points = 0;
}

bool add_item(Inventory& inv, std::string_view item) {
    if (!has_room_for_item(inv.item_count)) {
        console_out() << inventory_full_message << "\n";
        return false;
    }
    try {
        inv.items[static_cast<std::size_t>(inv.item_count)].assign(item);
    } catch (const std::bad_alloc&) {
        console_out() << "Erreur : Échec de l'allocation de mémoire.\n";
        return false;
    }
    ++inv.item_count;
    return true;
}

bool remove_item(Inventory& inv, std::string_view item) {
    for (int i = 0; i < inv.item_count; ++i) {
        auto& slot = inv.items[static_cast<std::size_t>(i)];
        if (slot != item) continue;
        auto& last = inv.items[static_cast<std::size_t>(inv.item_count - 1)];
        if (&slot != &last) slot = std::move(last);
        std::string().swap(last);
        --inv.item_count;
        return true;
    }
    console_out() << missing_item_message(item) << "\n";
    return false;
}

std::string missing_item_message(std::string_view item) {
    return "REMOVE_ITEM: Objet '" + std::string(item) + "' introuvable dans l'inventaire.";
}

void display_inventory(const Inventory& inv) {
    std::ostream& out = console_out();
    out << "\n--- Inventaire ---\n";
    if (inv.item_count == 0) {
        out << "Votre inventaire est vide.\n";
        return;
    }
    for (int i = 0; i < inv.item_count; ++i) {
        out << "- " << inv.items[static_cast<std::size_t>(i)] << '\n';
    }
}
