#pragma once

namespace torvex {

// A broadcast to every wait of the recording proxy. Each wait polls the read end of a pipe
// along with its own socket; closing the write end makes that read end readable for good, so
// every thread notices the stop at once without timers or a list of sockets to shut down.
class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&)            = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    bool valid() const { return readFd_ >= 0; }
    int fd() const { return readFd_; } // for poll(): POLLIN once triggered
    void trigger();
    bool triggered() const;

private:
    int readFd_  = -1;
    int writeFd_ = -1;
};

} // namespace torvex
