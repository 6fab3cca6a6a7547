#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace torvex::test {

// What a finished torvex-record printed, and how it ended.
struct RecorderResult {
    int status    = -1;    // exit status; 128 + the signal when a signal ended it
    bool timedOut = false; // it was killed for running past the limit
    std::string out;       // standard output after the lines already read with readLine
    std::string err;
};

// torvex-record started as a child process, its standard output readable line by line while it
// runs (to learn the port it listens on, and to follow the captures).
class RecorderProcess {
public:
    explicit RecorderProcess(const std::vector<std::string>& arguments);
    ~RecorderProcess(); // kills a child that is still running
    RecorderProcess(const RecorderProcess&)            = delete;
    RecorderProcess& operator=(const RecorderProcess&) = delete;

    // The next line of standard output without its line feed; empty at the end of the output or
    // when no whole line arrived within `timeout`.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    void signal(int number) const;
    // Reads both streams to their end and waits for the child; kills it after `limit`.
    RecorderResult finish(std::chrono::milliseconds limit);

private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string outBuffer_; // read from standard output but not yet handed out
    std::string err_;
    bool errEnded_ = false;
};

// Runs torvex-record to its end (at most 20 seconds).
RecorderResult runRecorder(const std::vector<std::string>& arguments);

} // namespace torvex::test
