#pragma once

namespace torvex {

// Wakes every wait of a run at once when the run stops: a file descriptor that becomes readable
// when raised and stays so until cleared, so waiting users sleep in poll without looking at the
// clock. Without a descriptor (the system refused one) fd() is -1 and waits poll the abort flag.
class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&)            = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void raise();
    void clear();
    int fd() const { return fd_; }

private:
    int fd_;
};

} // namespace torvex
