#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <unordered_map>

// What the pages show of a signed-in visitor.
struct SessionView {
    std::string user;
    std::map<int, int> cart; // product id -> quantity
};

// The shop's server-side state: login form tokens, sessions and their carts. Every member may be
// called from any of the server's worker threads. Memory stays bounded under a long load test:
// unused tokens and idle sessions expire, and the oldest ones are dropped when a table is full.
class Sessions {
public:
    using Clock = std::chrono::steady_clock;

    // A fresh random token for one login form.
    std::string issueToken();
    // True once for every token that issueToken gave and that has not expired; false otherwise,
    // so a replayed or made-up form is refused.
    bool redeemToken(const std::string& token);

    // Opens a session for the user; returns its id, the value of the session cookie.
    std::string open(const std::string& user);
    // The session's user and cart; none for an unknown or expired id.
    std::optional<SessionView> find(const std::string& id);
    // Adds to the session's cart (quantities are capped per product); false for an unknown id.
    bool addToCart(const std::string& id, int productId, int quantity);
    void close(const std::string& id);

    static constexpr std::size_t kMostTokens      = 100000;
    static constexpr std::size_t kMostSessions    = 20000;
    static constexpr int kMostPerProduct          = 99;
    static constexpr Clock::duration kTokenLife   = std::chrono::minutes(10);
    static constexpr Clock::duration kSessionIdle = std::chrono::minutes(30);

private:
    struct Session {
        SessionView view;
        Clock::time_point lastSeen;
    };

    std::string randomId();
    Session* live(const std::string& id, Clock::time_point now);
    void makeRoomForSession(Clock::time_point now);

    std::mutex mutex_;
    std::mt19937_64 random_{std::random_device{}()};
    std::unordered_map<std::string, Clock::time_point> tokens_; // token -> issued at
    std::deque<std::string> tokenOrder_;                        // issue order, for expiry
    std::unordered_map<std::string, Session> sessions_;
};
