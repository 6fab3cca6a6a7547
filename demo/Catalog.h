#pragma once

#include <span>
#include <string_view>

// One article of the demo shop.
struct Product {
    int id;                 // 1 .. the number of products; the id in /product?id=N
    std::string_view name;  // shown on every page, unique, plain text without markup
    int priceCents;         // unit price in cents
    std::string_view blurb; // one sentence for the product page
};

// The shop's products in id order: products()[i].id == i + 1.
std::span<const Product> products();

// The product with this id, or null when there is none.
const Product* findProduct(int id);
