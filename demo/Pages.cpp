#include "Pages.h"

#include <cstdio>

namespace pages {
namespace {

std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string price(int cents) {
    char text[32];
    std::snprintf(text, sizeof text, "$%d.%02d", cents / 100, cents % 100);
    return text;
}

std::string productLink(const Product& p, std::string_view ref) {
    return "<a href=\"/product?id=" + std::to_string(p.id) + "&ref=" + std::string(ref) + "\">" +
           std::string(p.name) + "</a>";
}

// Every page: the title, a navigation bar that depends on who is signed in, then the content.
std::string layout(std::string_view user, std::string_view title, const std::string& content) {
    std::string nav = "<a href=\"/\">Home</a> | <a href=\"/catalog?page=1\">Catalog</a> | "
                      "<a href=\"/cart\">Cart</a> | ";
    nav += user.empty() ? "<a href=\"/login\">Sign in</a>"
                        : "<a href=\"/account\">" + escaped(user) +
                              "</a> | <a href=\"/logout\">Sign out</a>";
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + std::string(title) +
           " - Torvex Demo Shop</title></head>\n<body>\n<nav>" + nav + "</nav>\n<main>\n<h1>" +
           std::string(title) + "</h1>\n" + content + "</main>\n</body></html>\n";
}

} // namespace

int catalogPageCount() {
    return (static_cast<int>(products().size()) + kProductsPerCatalogPage - 1) /
           kProductsPerCatalogPage;
}

std::string home(std::string_view user) {
    std::string content = "<p>Good coffee and tea gear, shipped tomorrow.</p>\n"
                          "<h2>Featured today</h2>\n<ul>\n";
    for (int id : {3, 5, 7})
        content += "<li>" + productLink(*findProduct(id), "home") + " " +
                   price(findProduct(id)->priceCents) + "</li>\n";
    content += "</ul>\n<p><a href=\"/catalog?page=2\">Browse the catalog</a> or try our "
               "<a href=\"/slow?ms=300\">daily deals</a> (a slow page).</p>\n";
    return layout(user, "Welcome", content);
}

std::string catalog(std::string_view user, int page) {
    std::string content = "<ul>\n";
    const int first     = (page - 1) * kProductsPerCatalogPage + 1;
    for (int id = first; id < first + kProductsPerCatalogPage; ++id)
        if (const Product* p = findProduct(id))
            content += "<li>" + productLink(*p, "catalog") + " " + price(p->priceCents) + "</li>\n";
    content +=
        "</ul>\n<p>Page " + std::to_string(page) + " of " + std::to_string(catalogPageCount());
    if (page > 1)
        content += " | <a href=\"/catalog?page=" + std::to_string(page - 1) + "\">Previous</a>";
    if (page < catalogPageCount())
        content += " | <a href=\"/catalog?page=" + std::to_string(page + 1) + "\">Next</a>";
    return layout(user, "Catalog", content + "</p>\n");
}

std::string product(std::string_view user, const Product& p) {
    std::string content =
        "<p class=\"price\">" + price(p.priceCents) + "</p>\n<p>" + std::string(p.blurb) +
        "</p>\n<form method=\"post\" action=\"/cart\">\n"
        "<input type=\"hidden\" name=\"id\" value=\"" +
        std::to_string(p.id) +
        "\">\n<label>Quantity <input name=\"qty\" value=\"1\" size=\"2\"></label>\n"
        "<button type=\"submit\">Add to cart</button>\n</form>\n";
    return layout(user, p.name, content);
}

std::string login(std::string_view token) {
    std::string content = "<form method=\"post\" action=\"/login\">\n"
                          "<input type=\"hidden\" name=\"token\" value=\"" +
                          std::string(token) +
                          "\">\n<label>User <input name=\"user\"></label>\n"
                          "<label>Password <input type=\"password\" name=\"password\"></label>\n"
                          "<button type=\"submit\">Sign in</button>\n</form>\n"
                          "<p>Any user name will do; the password is demo.</p>\n";
    return layout("", "Sign in", content);
}

std::string account(const SessionView& session) {
    int items = 0;
    for (const auto& [id, quantity] : session.cart) items += quantity;
    std::string content = "<p>Signed in as " + escaped(session.user) +
                          ".</p>\n<p>Your cart holds " + std::to_string(items) +
                          " item(s). <a href=\"/cart\">Show cart</a></p>\n";
    return layout(session.user, "Your account", content);
}

std::string cart(const SessionView& session, const Product* added, int quantity) {
    std::string content;
    if (added)
        content += "<p class=\"notice\">Added " + std::to_string(quantity) + " x " +
                   std::string(added->name) + " to your cart.</p>\n";
    if (session.cart.empty())
        return layout(session.user, "Your cart", content + "<p>Your cart is empty.</p>\n");
    content += "<table>\n<tr><th>Product</th><th>Quantity</th><th>Price</th></tr>\n";
    int total = 0;
    for (const auto& [id, count] : session.cart) {
        const Product& p = *findProduct(id);
        total += p.priceCents * count;
        content += "<tr class=\"cart-item\"><td>" + std::string(p.name) + "</td><td>" +
                   std::to_string(count) + "</td><td>" + price(p.priceCents * count) +
                   "</td></tr>\n";
    }
    content += "</table>\n<p>Total: " + price(total) + "</p>\n";
    return layout(session.user, "Your cart", content);
}

std::string slow(std::string_view user, int milliseconds) {
    return layout(user, "Daily deals",
                  "<p>This page took " + std::to_string(milliseconds) +
                      " ms to prepare. Nothing is on sale today.</p>\n");
}

std::string problem(std::string_view user, std::string_view title, std::string_view reason) {
    return layout(user, title, "<p class=\"error\">" + escaped(reason) + "</p>\n");
}

} // namespace pages
