#include "SignalWatch.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <utility>

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

constexpr int kInterruptedStatus = 130; // the shell's status for a program ended by Ctrl-C

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

SignalWatch::SignalWatch() {
    sigset_t set = stopSignals();
    // The mask stays in place for the life of the process: a signal that arrives while the
    // program winds down must not end it with a different status than the one it reports.
    if (int error = pthread_sigmask(SIG_BLOCK, &set, nullptr)) {
        errno = error;
        fail("pthread_sigmask");
    }
    signalFd_ = signalfd(-1, &set, SFD_CLOEXEC);
    if (signalFd_ < 0) fail("signalfd");
    wakeFd_ = eventfd(0, EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        close(signalFd_);
        fail("eventfd");
    }
    watcher_ = std::thread([this] { watch(); });
}

SignalWatch::~SignalWatch() {
    std::uint64_t one = 1;
    // Writing 1 to an eventfd cannot fail short of a counter overflow, which one write cannot
    // cause.
    [[maybe_unused]] ssize_t written = write(wakeFd_, &one, sizeof one);
    watcher_.join();
    close(wakeFd_);
    close(signalFd_);
}

void SignalWatch::setStopAction(std::function<void()> action) {
    std::lock_guard guard(lock_);
    stopAction_ = std::move(action);
}

void SignalWatch::watch() {
    pollfd fds[2] = {{signalFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        signalfd_siginfo info;
        if (read(signalFd_, &info, sizeof info) == sizeof info) onSignal();
    }
}

void SignalWatch::onSignal() {
    if (stopRequested_.exchange(true)) std::_Exit(kInterruptedStatus);
    std::lock_guard guard(lock_);
    if (stopAction_) stopAction_();
}
