#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace torvex::test {

// What a finished child process printed, and how it ended.
struct RunnerResult {
    int status    = -1;    // exit status; 128 + the signal when a signal ended it
    bool timedOut = false; // it was killed for running past the limit
    std::string out;       // standard output after the lines already read with readLine
    std::string err;
};

// torvex-run (or `program`: a path, or a name looked up in PATH, e.g. mpirun) started as a child
// process with its standard output and error captured. Standard output can be read line by line
// while the child runs. With `stderrOnTerminal` its standard error is a pseudo-terminal, as in an
// interactive shell.
class RunnerProcess {
public:
    explicit RunnerProcess(const std::vector<std::string>& arguments, bool stderrOnTerminal = false,
                           const std::string& program = {});
    pid_t pid() const { return pid_; }
    ~RunnerProcess(); // kills a child that is still running
    RunnerProcess(const RunnerProcess&)            = delete;
    RunnerProcess& operator=(const RunnerProcess&) = delete;

    // The next line of standard output without its line feed; empty at the end of the output or
    // when no whole line arrived within `timeout`.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    void signal(int number) const;
    // Reads both streams to their end and waits for the child; kills it after `limit`.
    RunnerResult finish(std::chrono::milliseconds limit);

private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string outBuffer_; // read from standard output but not yet handed out
    std::string err_;       // standard error read while waiting for lines
    bool errEnded_ = false;
};

inline RunnerResult runRunner(const std::vector<std::string>& arguments) {
    return RunnerProcess(arguments).finish(std::chrono::seconds(10));
}

} // namespace torvex::test
