#include "http/StopSignal.h"

#include <cstdint>

#include <sys/eventfd.h>
#include <unistd.h>

namespace torvex {

StopSignal::StopSignal() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

StopSignal::~StopSignal() {
    if (fd_ >= 0) ::close(fd_);
}

void StopSignal::raise() {
    if (fd_ < 0) return;
    std::uint64_t one                = 1;
    [[maybe_unused]] ssize_t written = ::write(fd_, &one, sizeof one);
}

void StopSignal::clear() {
    if (fd_ < 0) return;
    std::uint64_t count;
    [[maybe_unused]] ssize_t read = ::read(fd_, &count, sizeof count);
}

} // namespace torvex
