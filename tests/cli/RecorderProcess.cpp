#include "cli/RecorderProcess.h"

#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace torvex::test {
namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Appends what is readable; false at the end of the stream.
bool drain(int fd, std::string& into) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) into.append(buffer, static_cast<std::size_t>(n));
    return n > 0 || (n < 0 && errno == EINTR);
}

} // namespace

RecorderProcess::RecorderProcess(const std::vector<std::string>& arguments) {
    const std::string path = TORVEX_RECORD_PATH;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int spawned = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
    if (spawned != 0) throw std::runtime_error("cannot start " + path);
}

RecorderProcess::~RecorderProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close(outFd_);
    close(errFd_);
}

std::optional<std::string> RecorderProcess::readLine(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        const std::size_t end = outBuffer_.find('\n');
        if (end != std::string::npos) {
            std::string line = outBuffer_.substr(0, end);
            outBuffer_.erase(0, end + 1);
            return line;
        }
        // Standard error is drained as well, so that a talkative child never blocks on it.
        pollfd fds[2]  = {{outFd_, POLLIN, 0}, {errEnded_ ? -1 : errFd_, POLLIN, 0}};
        const int wait = millisecondsLeft(deadline);
        if (wait == 0 || poll(fds, 2, wait) <= 0) return std::nullopt;
        if (fds[1].revents && !drain(errFd_, err_)) errEnded_ = true;
        if (fds[0].revents && !drain(outFd_, outBuffer_)) return std::nullopt;
    }
}

void RecorderProcess::signal(int number) const {
    kill(pid_, number);
}

RecorderResult RecorderProcess::finish(std::chrono::milliseconds limit) {
    RecorderResult result;
    result.out                       = std::move(outBuffer_);
    result.err                       = std::move(err_);
    const Clock::time_point deadline = Clock::now() + limit;
    pollfd fds[2]                    = {{outFd_, POLLIN, 0}, {errEnded_ ? -1 : errFd_, POLLIN, 0}};
    std::string* into[2]             = {&result.out, &result.err};
    int open                         = errEnded_ ? 1 : 2;
    while (open > 0) {
        const int wait = millisecondsLeft(deadline);
        if (wait == 0) {
            result.timedOut = true;
            kill(pid_, SIGKILL);
            break;
        }
        if (poll(fds, 2, wait) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            if (!drain(fds[i].fd, *into[i])) {
                fds[i].fd = -1; // poll skips it from now on
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_          = -1;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

RecorderResult runRecorder(const std::vector<std::string>& arguments) {
    return RecorderProcess(arguments).finish(std::chrono::seconds(20));
}

} // namespace torvex::test
