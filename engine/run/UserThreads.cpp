#include "run/UserThreads.h"

#include "api/TestSet.h"
#include "run/UserSession.h"
#include "run/UserThread.h"

namespace torvex {
namespace {

// Enough for OpenSSL's handshakes and the engine's own stack buffers; the pages are only
// reserved, so thousands of users stay cheap.
constexpr std::size_t kUserStackSize = 256 * 1024;
// The script engine recurses on the C stack up to its own limits (nested expressions, regular
// expressions, native calls); they must end in a script error, not overflow the stack.
constexpr std::size_t kScriptedUserStackSize = 8 * 1024 * 1024;

} // namespace

UserThreads::UserThreads(bool gated) : gated_(gated) {}

UserThreads::~UserThreads() {
    joinAll();
}

bool UserThreads::start(CUserSession& user) {
    auto launch = std::make_unique<Launch>(Launch{this, &user});
    // Nothing may throw once the thread exists: it would outlive its launch record.
    if (threads_.size() == threads_.capacity()) threads_.reserve(threads_.size() * 2 + 16);
    if (launches_.size() == launches_.capacity()) launches_.reserve(launches_.size() * 2 + 16);
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_attr_setstacksize(&attributes,
                              user.testSet.scriptMode() ? kScriptedUserStackSize : kUserStackSize);
    {
        std::lock_guard guard(lock_);
        ++running_;
    }
    pthread_t thread;
    int failed = pthread_create(&thread, &attributes, &UserThreads::threadEntry, launch.get());
    pthread_attr_destroy(&attributes);
    if (failed) {
        std::lock_guard guard(lock_);
        --running_;
        return false;
    }
    threads_.push_back(thread);
    launches_.push_back(std::move(launch));
    return true;
}

void* UserThreads::threadEntry(void* argument) {
    const Launch& launch = *static_cast<Launch*>(argument);
    launch.owner->waitAtGate();
    runUser(*launch.user);
    launch.owner->ended();
    return nullptr;
}

void UserThreads::waitAtGate() {
    if (!gated_) return;
    std::unique_lock guard(lock_);
    changed_.wait(guard, [this] { return gateOpen_; });
}

void UserThreads::openGate() {
    {
        std::lock_guard guard(lock_);
        gateOpen_ = true;
    }
    changed_.notify_all();
}

void UserThreads::ended() {
    {
        std::lock_guard guard(lock_);
        --running_;
    }
    changed_.notify_all();
}

bool UserThreads::waitForAll(std::chrono::milliseconds limit) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, limit, [this] { return running_ == 0; });
}

void UserThreads::joinAll() {
    openGate();
    for (pthread_t thread : threads_) pthread_join(thread, nullptr);
    threads_.clear();
    launches_.clear();
}

} // namespace torvex
