#pragma once

#include "Sessions.h"

namespace httplib {
class Server;
}

// The demo shop's routes on a cpp-httplib server:
//   /                 home page with featured products and links that carry query parameters
//   /catalog?page=N   the products, four to a page
//   /product?id=N     one product with an "Add to cart" form
//   /login            GET: the sign-in form with a one-time token; POST: signs in, sets the
//                     session cookie and redirects (302) to /account; 403 tells what was wrong
//   /account          the signed-in visitor's page
//   /cart             shows the cart; POST id=N&qty=Q (or GET ?id=N) adds to it first
//   /logout           ends the session and redirects home
//   /slow?ms=N        a page that takes N ms (default 300, at most 5000)
// /account and /cart need the session cookie and redirect (302) to /login without it.
class DemoShop {
public:
    static constexpr const char* kSessionCookie = "shop_session";
    static constexpr const char* kPassword      = "demo";
    static constexpr int kSlowDefaultMs         = 300;
    static constexpr int kSlowMostMs            = 5000;

    // Registers the routes; the shop must outlive the server's use of them.
    void install(httplib::Server& server);

private:
    Sessions sessions_;
};
