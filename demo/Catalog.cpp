#include "Catalog.h"

#include <array>

namespace {

constexpr std::array<Product, 12> kProducts{{
    {1, "Espresso cup", 650, "A thick-walled cup that keeps a double shot hot."},
    {2, "Tea pot", 2400, "Holds a litre; the lid stays on when you pour."},
    {3, "Blue mug", 850, "Our best seller, glazed in deep cobalt blue."},
    {4, "Milk jug", 1200, "Pours a clean line for latte art."},
    {5, "Coffee grinder", 4500, "A hand grinder with ceramic burrs and 18 settings."},
    {6, "Pour-over stand", 2900, "Solid oak, fits every common dripper."},
    {7, "Kettle", 5900, "A gooseneck kettle for a slow, steady pour."},
    {8, "Scale", 3200, "Weighs to a tenth of a gram and times your brew."},
    {9, "Paper filters", 450, "A box of 100 unbleached filters."},
    {10, "Tea strainer", 550, "Fine steel mesh that sits on any cup."},
    {11, "Cold brew bottle", 2100, "Makes a litre of cold brew overnight."},
    {12, "Gift card", 2500, "For the coffee lover who has everything."},
}};

} // namespace

std::span<const Product> products() {
    return kProducts;
}

const Product* findProduct(int id) {
    if (id < 1 || id > static_cast<int>(kProducts.size())) return nullptr;
    return &kProducts[static_cast<std::size_t>(id - 1)];
}
