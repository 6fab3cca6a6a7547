#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// Turns SIGINT and SIGTERM into an orderly stop. The constructor blocks both signals in the
// calling thread, so every thread created afterwards (the engine's virtual users included)
// inherits the mask and only the watching thread receives them, through a signalfd. The engine is
// therefore never called from an asynchronous signal handler. The first signal runs the stop
// action; a second one ends the process at once with status 130.
class SignalWatch {
public:
    SignalWatch(); // throws std::system_error when the signals cannot be watched
    ~SignalWatch();
    SignalWatch(const SignalWatch&)            = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // What the first signal does from now on (on the watching thread); an empty function clears
    // it. Clear it before whatever the action uses goes away.
    void setStopAction(std::function<void()> action);
    // Whether a stop was asked for, with or without an action in place.
    bool stopRequested() const { return stopRequested_.load(); }

private:
    void watch();
    void onSignal();

    int signalFd_ = -1;
    int wakeFd_   = -1; // an eventfd that ends the watch
    std::atomic<bool> stopRequested_{false};
    std::mutex lock_;
    std::function<void()> stopAction_;
    std::thread watcher_;
};
