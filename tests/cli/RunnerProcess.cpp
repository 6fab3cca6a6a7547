#include "cli/RunnerProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
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

// A pseudo-terminal: the master end for the reader, the slave's path for the child.
int openTerminal(std::string& slavePath) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    slavePath = ptsname(master);
    return master;
}

// Appends what is readable; false at the end of the stream (EIO: the terminal's last writer left).
bool drain(int fd, std::string& into) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) into.append(buffer, static_cast<std::size_t>(n));
    return n > 0 || (n < 0 && errno == EINTR);
}

} // namespace

RunnerProcess::RunnerProcess(const std::vector<std::string>& arguments, bool stderrOnTerminal,
                             const std::string& program) {
    const std::string path = program.empty() ? std::string(TORVEX_RUN_PATH) : program;
    int outPipe[2], errPipe[2] = {-1, -1};
    std::string terminal;
    if (pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    if (stderrOnTerminal)
        errFd_ = openTerminal(terminal);
    else if (pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    if (stderrOnTerminal)
        posix_spawn_file_actions_addopen(&actions, 2, terminal.c_str(), O_RDWR | O_NOCTTY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int spawned = posix_spawnp(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);

    close(outPipe[1]);
    outFd_ = outPipe[0];
    if (!stderrOnTerminal) {
        close(errPipe[1]);
        errFd_ = errPipe[0];
    }
    if (spawned != 0) throw std::runtime_error("cannot start " + path);
}

RunnerProcess::~RunnerProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close(outFd_);
    close(errFd_);
}

std::optional<std::string> RunnerProcess::readLine(std::chrono::milliseconds timeout) {
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

void RunnerProcess::signal(int number) const {
    kill(pid_, number);
}

RunnerResult RunnerProcess::finish(std::chrono::milliseconds limit) {
    RunnerResult result;
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

} // namespace torvex::test
