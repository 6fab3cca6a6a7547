#include "DemoShop.h"

#include "Catalog.h"
#include "Pages.h"

#include <httplib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <optional>
#include <string_view>
#include <thread>

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";

std::optional<int> intParam(const httplib::Request& req, const char* name) {
    if (!req.has_param(name)) return std::nullopt;
    const std::string text = req.get_param_value(name);
    int value              = 0;
    auto [end, error]      = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The value of the session cookie; clients write "a=1; b=2" or, like Torvex, "a=1;b=2".
std::string sessionId(const httplib::Request& req) {
    const std::string header = req.get_header_value("Cookie");
    const std::string prefix = std::string(DemoShop::kSessionCookie) + "=";
    std::string_view rest    = header;
    while (!rest.empty()) {
        rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
        std::string_view item = rest.substr(0, rest.find(';'));
        if (item.starts_with(prefix)) return std::string(item.substr(prefix.size()));
        rest.remove_prefix(std::min(item.size() + 1, rest.size()));
    }
    return {};
}

void answer(httplib::Response& res, int status, const std::string& html) {
    res.status = status;
    res.set_content(html, kHtml);
}

} // namespace

void DemoShop::install(httplib::Server& server) {
    // The signed-in visitor's name, empty for a guest.
    auto userOf = [this](const httplib::Request& req) {
        std::optional<SessionView> session = sessions_.find(sessionId(req));
        return session ? session->user : std::string();
    };

    server.Get("/", [userOf](const httplib::Request& req, httplib::Response& res) {
        answer(res, 200, pages::home(userOf(req)));
    });

    server.Get("/catalog", [userOf](const httplib::Request& req, httplib::Response& res) {
        const int page = intParam(req, "page").value_or(1);
        if (page < 1 || page > pages::catalogPageCount())
            return answer(res, 404, pages::problem(userOf(req), "Not found", "No such page."));
        answer(res, 200, pages::catalog(userOf(req), page));
    });

    server.Get("/product", [userOf](const httplib::Request& req, httplib::Response& res) {
        const Product* p = findProduct(intParam(req, "id").value_or(0));
        if (!p)
            return answer(res, 404, pages::problem(userOf(req), "Not found", "No such product."));
        answer(res, 200, pages::product(userOf(req), *p));
    });

    server.Get("/login", [this](const httplib::Request&, httplib::Response& res) {
        answer(res, 200, pages::login(sessions_.issueToken()));
    });

    server.Post("/login", [this](const httplib::Request& req, httplib::Response& res) {
        // The token is used up whatever else is wrong, so every attempt needs a fresh form.
        if (!sessions_.redeemToken(req.get_param_value("token")))
            return answer(res, 403,
                          pages::problem("", "Sign-in refused",
                                         "The form is unknown, expired or was already sent; "
                                         "load the sign-in page again."));
        const std::string user = req.get_param_value("user");
        if (user.empty() || req.get_param_value("password") != kPassword)
            return answer(res, 403,
                          pages::problem("", "Sign-in refused",
                                         "Wrong user name or password (the password is demo)."));
        res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + sessions_.open(user) +
                                         "; Path=/; HttpOnly");
        res.set_redirect("/account", 302);
    });

    server.Get("/account", [this](const httplib::Request& req, httplib::Response& res) {
        std::optional<SessionView> session = sessions_.find(sessionId(req));
        if (!session) return res.set_redirect("/login", 302);
        answer(res, 200, pages::account(*session));
    });

    // Adds the product in "id" (quantity "qty", default 1) when there is one, then shows the cart.
    auto cart = [this, userOf](const httplib::Request& req, httplib::Response& res) {
        const std::string id = sessionId(req);
        if (!sessions_.find(id)) return res.set_redirect("/login", 302);
        const Product* added = nullptr;
        const int quantity   = intParam(req, "qty").value_or(1);
        if (req.has_param("id")) {
            added = findProduct(intParam(req, "id").value_or(0));
            if (!added || quantity < 1 || quantity > Sessions::kMostPerProduct)
                return answer(res, 400,
                              pages::problem(userOf(req), "Not added",
                                             "Unknown product or a quantity outside 1 to 99."));
            if (!sessions_.addToCart(id, added->id, quantity))
                return res.set_redirect("/login", 302);
        }
        std::optional<SessionView> session = sessions_.find(id);
        if (!session) return res.set_redirect("/login", 302);
        answer(res, 200, pages::cart(*session, added, quantity));
    };
    server.Get("/cart", cart);
    server.Post("/cart", cart);

    server.Get("/logout", [this](const httplib::Request& req, httplib::Response& res) {
        sessions_.close(sessionId(req));
        res.set_header("Set-Cookie", std::string(kSessionCookie) + "=; Max-Age=0; Path=/");
        res.set_redirect("/", 302);
    });

    server.Get("/slow", [userOf](const httplib::Request& req, httplib::Response& res) {
        const int ms = std::clamp(intParam(req, "ms").value_or(kSlowDefaultMs), 0, kSlowMostMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        answer(res, 200, pages::slow(userOf(req), ms));
    });

    // Unknown paths, and errors that the routes above did not answer with a page of their own.
    server.set_error_handler([userOf](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return;
        const bool missing = res.status == 404;
        answer(res, res.status,
               pages::problem(userOf(req), missing ? "Not found" : "Error",
                              missing ? "No such page." : "The shop cannot answer this request."));
    });
}
