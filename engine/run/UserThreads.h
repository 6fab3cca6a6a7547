#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include <pthread.h>

namespace torvex {

class CUserSession;

// The threads of a run's virtual users: one thread per user with a 256 KiB stack (8 MiB for
// scripted users), an optional start gate that releases them together, and a bulk wait for their
// end. Every thread is joined before this object goes away.
class UserThreads {
public:
    // With `gated`, each thread waits for openGate() before its user starts.
    explicit UserThreads(bool gated);
    ~UserThreads();
    UserThreads(const UserThreads&)            = delete;
    UserThreads& operator=(const UserThreads&) = delete;

    // Starts the thread of `user`; false when the system refuses a thread.
    bool start(CUserSession& user);
    void openGate();
    // Waits until every started thread has ended or `limit` has passed; true when all ended.
    bool waitForAll(std::chrono::milliseconds limit);
    // Opens the gate and joins every thread.
    void joinAll();

private:
    struct Launch {
        UserThreads* owner;
        CUserSession* user;
    };
    static void* threadEntry(void* launch);
    void waitAtGate();
    void ended();

    const bool gated_;
    std::mutex lock_;
    std::condition_variable changed_;
    bool gateOpen_ = false;
    int running_   = 0;
    std::vector<pthread_t> threads_;
    std::vector<std::unique_ptr<Launch>> launches_;
};

} // namespace torvex
