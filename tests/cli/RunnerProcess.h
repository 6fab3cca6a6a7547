#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

namespace torvex::test {

// What a finished torvex-run did.
struct RunnerResult {
    int status    = -1;    // exit status; 128 + the signal when a signal ended it
    bool timedOut = false; // it was killed for running past the limit
    std::string out, err;
};

// torvex-run (or `program`, looked up in PATH, e.g. mpirun) started as a child process with its
// standard output and error captured. With `stderrOnTerminal` its standard error is a
// pseudo-terminal, as in an interactive shell.
class RunnerProcess {
public:
    explicit RunnerProcess(const std::vector<std::string>& arguments, bool stderrOnTerminal = false,
                           const std::string& program = {});
    pid_t pid() const { return pid_; }
    ~RunnerProcess(); // kills a child that is still running
    RunnerProcess(const RunnerProcess&)            = delete;
    RunnerProcess& operator=(const RunnerProcess&) = delete;

    void signal(int number) const;
    // Reads both streams to their end and waits for the child; kills it after `limit`.
    RunnerResult finish(std::chrono::milliseconds limit);

private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
};

inline RunnerResult runRunner(const std::vector<std::string>& arguments) {
    return RunnerProcess(arguments).finish(std::chrono::seconds(10));
}

} // namespace torvex::test
