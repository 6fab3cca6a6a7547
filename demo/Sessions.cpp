#include "Sessions.h"

#include <algorithm>
#include <cstdio>

std::string Sessions::randomId() {
    // 128 random bits in hex: safe in cookies, URLs and form fields as they stand.
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(random_()),
                  static_cast<unsigned long long>(random_()));
    return text;
}

std::string Sessions::issueToken() {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    // Forms that were shown but never sent leave tokens behind; the oldest go first.
    while (!tokenOrder_.empty()) {
        auto oldest      = tokens_.find(tokenOrder_.front());
        const bool stale = oldest == tokens_.end() || now - oldest->second > kTokenLife ||
                           tokenOrder_.size() >= kMostTokens;
        if (!stale) break;
        if (oldest != tokens_.end()) tokens_.erase(oldest);
        tokenOrder_.pop_front();
    }
    std::string token = randomId();
    tokens_.emplace(token, now);
    tokenOrder_.push_back(token);
    return token;
}

bool Sessions::redeemToken(const std::string& token) {
    std::lock_guard lock(mutex_);
    auto found = tokens_.find(token);
    if (found == tokens_.end()) return false;
    const bool fresh = Clock::now() - found->second <= kTokenLife;
    tokens_.erase(found);
    return fresh;
}

void Sessions::makeRoomForSession(Clock::time_point now) {
    if (sessions_.size() < kMostSessions) return;
    std::erase_if(sessions_,
                  [&](const auto& entry) { return now - entry.second.lastSeen > kSessionIdle; });
    if (sessions_.size() < kMostSessions) return;
    auto leastRecent = std::min_element(sessions_.begin(), sessions_.end(), [](auto& a, auto& b) {
        return a.second.lastSeen < b.second.lastSeen;
    });
    sessions_.erase(leastRecent);
}

std::string Sessions::open(const std::string& user) {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    makeRoomForSession(now);
    std::string id = randomId();
    sessions_[id]  = Session{SessionView{user, {}}, now};
    return id;
}

Sessions::Session* Sessions::live(const std::string& id, Clock::time_point now) {
    auto found = sessions_.find(id);
    if (found == sessions_.end()) return nullptr;
    if (now - found->second.lastSeen > kSessionIdle) {
        sessions_.erase(found);
        return nullptr;
    }
    found->second.lastSeen = now;
    return &found->second;
}

std::optional<SessionView> Sessions::find(const std::string& id) {
    std::lock_guard lock(mutex_);
    Session* session = live(id, Clock::now());
    if (!session) return std::nullopt;
    return session->view;
}

bool Sessions::addToCart(const std::string& id, int productId, int quantity) {
    std::lock_guard lock(mutex_);
    Session* session = live(id, Clock::now());
    if (!session) return false;
    int& line = session->view.cart[productId];
    line      = std::min(kMostPerProduct, line + quantity);
    return true;
}

void Sessions::close(const std::string& id) {
    std::lock_guard lock(mutex_);
    sessions_.erase(id);
}
