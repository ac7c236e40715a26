// The player's inventory.
#include <gtest/gtest.h>

#include <string>

#include "inventor.hpp"
#include "support.hpp"

namespace {

std::string shown(const Inventory& inv) {
    FakeConsole console;
    display_inventory(inv);
    return console.output();
}

TEST(Inventory, DuplicatesAndTheLastItemTakingTheFreedSlot) {
    Inventory inv;
    FakeConsole console;
    for (const char* name : {"lampe", "clé", "corde", "clé"}) EXPECT_TRUE(add_item(inv, name));
    EXPECT_TRUE(remove_item(inv, "lampe"));
    EXPECT_EQ(shown(inv), "\n--- Inventaire ---\n- clé\n- clé\n- corde\n");
    EXPECT_TRUE(remove_item(inv, "clé"));
    EXPECT_EQ(shown(inv), "\n--- Inventaire ---\n- corde\n- clé\n");
    EXPECT_EQ(console.output(), "");  // success prints nothing
    for (const char* name : {"clé", "corde"}) EXPECT_TRUE(remove_item(inv, name));
    EXPECT_EQ(shown(inv), "\n--- Inventaire ---\nVotre inventaire est vide.\n");
}

TEST(Inventory, RemovingWhatIsNotHeld) {
    Inventory inv;
    FakeConsole console;
    EXPECT_FALSE(remove_item(inv, "rien"));
    add_item(inv, "Clé");
    EXPECT_FALSE(remove_item(inv, "clé"));  // exact, case-sensitive match
    EXPECT_FALSE(remove_item(inv, "Cl"));
    EXPECT_EQ(inv.item_count, 1);
    EXPECT_EQ(console.output(),
              "REMOVE_ITEM: Objet 'rien' introuvable dans l'inventaire.\n"
              "REMOVE_ITEM: Objet 'clé' introuvable dans l'inventaire.\n"
              "REMOVE_ITEM: Objet 'Cl' introuvable dans l'inventaire.\n");
}

TEST(Inventory, FullAtFiftyAndEmptiedByInit) {
    Inventory inv;
    FakeConsole console;
    for (int i = 0; i < max_inventory_items; ++i) ASSERT_TRUE(add_item(inv, "objet " + std::to_string(i)));
    EXPECT_FALSE(add_item(inv, "de trop"));
    EXPECT_EQ(inv.item_count, 50);
    EXPECT_EQ(console.output(), "Erreur : Inventaire plein !\n");
    inv.points = 7;
    init_inventory(inv);
    EXPECT_EQ(inv.item_count + inv.points, 0);
    EXPECT_EQ(shown(inv), "\n--- Inventaire ---\nVotre inventaire est vide.\n");
}

}  // namespace
