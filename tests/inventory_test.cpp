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

TEST(Inventory, StartsEmptyAndShowsSo) {
    Inventory inv;
    init_inventory(inv);
    EXPECT_EQ(inv.item_count, 0);
    EXPECT_EQ(shown(inv), "\n--- Inventaire ---\nVotre inventaire est vide.\n");
}

TEST(Inventory, DuplicatesAreHeldSeparately) {
    Inventory inv;
    FakeConsole console;
    EXPECT_TRUE(add_item(inv, "clé"));
    EXPECT_TRUE(add_item(inv, "clé"));
    EXPECT_TRUE(remove_item(inv, "clé"));
    EXPECT_EQ(console.output(), "");  // success prints nothing
    EXPECT_EQ(shown(inv), "\n--- Inventaire ---\n- clé\n");
}

TEST(Inventory, LastItemTakesTheFreedSlot) {
    Inventory inv;
    FakeConsole console;
    for (const char* name : {"lampe", "clé", "corde"}) add_item(inv, name);
    EXPECT_TRUE(remove_item(inv, "lampe"));
    EXPECT_EQ(shown(inv), "\n--- Inventaire ---\n- corde\n- clé\n");
    EXPECT_TRUE(remove_item(inv, "clé"));
    EXPECT_TRUE(remove_item(inv, "corde"));
    EXPECT_EQ(shown(inv), "\n--- Inventaire ---\nVotre inventaire est vide.\n");
}

TEST(Inventory, MatchingIsExactAndCaseSensitive) {
    Inventory inv;
    FakeConsole console;
    add_item(inv, "Clé");
    EXPECT_FALSE(remove_item(inv, "clé"));
    EXPECT_FALSE(remove_item(inv, "Cl"));
    EXPECT_EQ(inv.item_count, 1);
    EXPECT_EQ(console.output(),
              "REMOVE_ITEM: Objet 'clé' introuvable dans l'inventaire.\n"
              "REMOVE_ITEM: Objet 'Cl' introuvable dans l'inventaire.\n");
}

TEST(Inventory, EmptyNamesAndLongNamesAreItems) {
    Inventory inv;
    FakeConsole console;
    const std::string long_name(5000, 'x');
    EXPECT_TRUE(add_item(inv, ""));
    EXPECT_TRUE(add_item(inv, long_name));
    EXPECT_TRUE(remove_item(inv, ""));
    EXPECT_EQ(inv.items[0], long_name);
}

TEST(Inventory, FullAtFifty) {
    Inventory inv;
    FakeConsole console;
    for (int i = 0; i < max_inventory_items; ++i) ASSERT_TRUE(add_item(inv, "objet " + std::to_string(i)));
    EXPECT_FALSE(add_item(inv, "de trop"));
    EXPECT_EQ(inv.item_count, 50);
    EXPECT_EQ(console.output(), "Erreur : Inventaire plein !\n");
}

TEST(Inventory, RemovingFromEmpty) {
    Inventory inv;
    FakeConsole console;
    EXPECT_FALSE(remove_item(inv, "rien"));
    EXPECT_EQ(console.output(), "REMOVE_ITEM: Objet 'rien' introuvable dans l'inventaire.\n");
}

TEST(Inventory, InitReleasesEverything) {
    Inventory inv;
    FakeConsole console;
    add_item(inv, std::string(100, 'a'));
    inv.points = 7;
    init_inventory(inv);
    EXPECT_EQ(inv.item_count, 0);
    EXPECT_EQ(inv.points, 0);
    EXPECT_TRUE(inv.items[0].empty());
    EXPECT_EQ(inv.items[0].capacity(), std::string().capacity());
}

}  // namespace
