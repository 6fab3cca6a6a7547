#pragma once

#include "Catalog.h"
#include "Sessions.h"

#include <string>
#include <string_view>

// The HTML of the demo shop's pages. `user` is the signed-in visitor's name, empty for a guest;
// it decides what the navigation bar offers.
namespace pages {

constexpr int kProductsPerCatalogPage = 4;
int catalogPageCount();

std::string home(std::string_view user);
// `page` counts from 1 and must be at most catalogPageCount().
std::string catalog(std::string_view user, int page);
std::string product(std::string_view user, const Product& product);
// The sign-in form; `token` goes into its hidden field.
std::string login(std::string_view token);
std::string account(const SessionView& session);
// `added` names what was just put into the cart, if anything, with its quantity.
std::string cart(const SessionView& session, const Product* added, int quantity);
std::string slow(std::string_view user, int milliseconds);
// A page that tells why a request was refused or not found.
std::string problem(std::string_view user, std::string_view title, std::string_view reason);

} // namespace pages
