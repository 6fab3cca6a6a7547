#include "recorder/StopSignal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace torvex {

StopSignal::StopSignal() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    readFd_  = fds[0];
    writeFd_ = fds[1];
}

StopSignal::~StopSignal() {
    trigger();
    if (readFd_ >= 0) ::close(readFd_);
}

void StopSignal::trigger() {
    if (writeFd_ < 0) return;
    ::close(writeFd_);
    writeFd_ = -1;
}

bool StopSignal::triggered() const {
    if (readFd_ < 0) return true;
    pollfd entry{readFd_, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

} // namespace torvex
