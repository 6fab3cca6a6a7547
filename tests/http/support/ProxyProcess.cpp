#include "http/support/ProxyProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <crypt.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <shadow.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace torvex::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kReadyTimeout = std::chrono::seconds(5);
constexpr auto kTermTimeout  = std::chrono::seconds(3);
constexpr auto kKillTimeout  = std::chrono::seconds(2);
constexpr auto kPoll         = std::chrono::milliseconds(20);
constexpr int kStartAttempts = 4;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

std::string findProgram(const std::string& name) {
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    // Daemons live in sbin, which a non-login shell may leave out of PATH.
    path += ":/usr/local/sbin:/usr/sbin:/sbin:/usr/local/bin:/usr/bin:/bin";
    std::istringstream dirs(path);
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (dir.empty()) continue;
        const std::string candidate = dir + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// A port nobody listens on right now. Another process may still take it before the proxy
// binds it, which is why starting retries.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family      = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length        = sizeof address;
    int port                = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool canConnect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family      = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port        = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

std::string substitute(std::string text, const std::map<std::string, std::string>& vars) {
    for (const auto& [name, value] : vars) {
        const std::string key = "@" + name + "@";
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
            text.replace(at, key.size(), value);
            at += value.size();
        }
    }
    return text;
}

struct Argv {
    std::vector<std::string> storage;
    std::vector<char*> pointers;
    explicit Argv(std::vector<std::string> strings) : storage(std::move(strings)) {
        for (std::string& s : storage) pointers.push_back(s.data());
        pointers.push_back(nullptr);
    }
    char** get() { return pointers.data(); }
};

// Everything the child needs is prepared before fork(): between fork and exec only
// async-signal-safe calls are allowed, as other threads of the test may hold locks.
[[noreturn]] void execChild(pid_t parent, int in, int out, char** argv, char** envp) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127); // the parent died before the line above
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    for (int signal : {SIGTERM, SIGINT, SIGPIPE, SIGCHLD, SIGHUP})
        ::sigaction(signal, &fallback, nullptr);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    for (int fd = 0; fd < 3; ++fd) ::fcntl(fd, F_SETFD, 0); // dup2 onto itself keeps CLOEXEC
    ::close_range(3, ~0U, 0); // the test's sockets must not live on in the proxy
    ::execve(argv[0], argv, envp);
    ::_exit(127);
}

// Runs a command with `input` on its stdin, output discarded; -1 if it did not finish in time.
int runCommand(std::vector<std::string> arguments, const std::string& input) {
    Argv argv(std::move(arguments));
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    const int devNull  = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t parent = ::getpid();
    const pid_t pid    = ::fork();
    if (pid == 0) execChild(parent, pipeFds[0], devNull, argv.get(), environ);
    ::close(pipeFds[0]);
    if (devNull >= 0) ::close(devNull);
    if (pid < 0) {
        ::close(pipeFds[1]);
        return -1;
    }
    // Input is a line or two, far below the pipe's capacity, so this write cannot block.
    [[maybe_unused]] ssize_t written = ::write(pipeFds[1], input.data(), input.size());
    ::close(pipeFds[1]);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    int status          = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct AccountState {
    bool exists       = false;
    bool passwordOk   = false;
    bool loginExpired = false;
};

AccountState socksAccountState() {
    AccountState state;
    const std::string user(Dante::kUser);
    std::vector<char> buffer(16384);
    passwd pw{};
    passwd* pwFound = nullptr;
    if (::getpwnam_r(user.c_str(), &pw, buffer.data(), buffer.size(), &pwFound) != 0 || !pwFound)
        return state;
    state.exists = true;
    spwd sp{};
    spwd* spFound = nullptr;
    if (::getspnam_r(user.c_str(), &sp, buffer.data(), buffer.size(), &spFound) != 0 || !spFound)
        return state;
    auto data = std::make_unique<crypt_data>();
    const std::string password(Dante::kPassword);
    const char* hashed = ::crypt_r(password.c_str(), sp.sp_pwdp, data.get());
    state.passwordOk =
        hashed != nullptr && hashed[0] != '*' && std::strcmp(hashed, sp.sp_pwdp) == 0;
    state.loginExpired = sp.sp_expire == 1;
    return state;
}

// See the comment on Dante in the header. Parallel test processes may race here; each step
// is repeated after a check, so the loser of a race simply finds the work done.
bool ensureSocksAccount(std::string& why) {
    if (::geteuid() != 0) {
        why = "the user/password mode needs root to keep its system account";
        return false;
    }
    const std::string user(Dante::kUser);
    for (int attempt = 0; attempt < 3; ++attempt) {
        AccountState state = socksAccountState();
        if (state.exists && state.passwordOk && state.loginExpired) return true;
        if (!state.exists) {
            const std::string useradd = findProgram("useradd");
            if (useradd.empty()) break;
            runCommand({useradd, "--system", "--no-create-home", "--home-dir", "/nonexistent",
                        "--shell", "/usr/sbin/nologin", "--gid", "nogroup", "--comment",
                        "Torvex test SOCKS user", user},
                       "");
            continue;
        }
        if (!state.passwordOk) {
            const std::string chpasswd = findProgram("chpasswd");
            if (chpasswd.empty()) break;
            runCommand({chpasswd}, user + ":" + std::string(Dante::kPassword) + "\n");
        }
        if (!state.loginExpired) {
            const std::string usermod = findProgram("usermod");
            if (usermod.empty()) break;
            runCommand({usermod, "--expiredate", "1970-01-02", user}, "");
        }
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    why = "could not set up the system account " + user +
          " (useradd, chpasswd and usermod from the passwd package are needed)";
    return false;
}

std::string templateDirectory() {
    return TORVEX_PROXY_TEMPLATE_DIR;
}

} // namespace

ProxyProcess::~ProxyProcess() {
    stop();
    if (!directory_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
}

std::string ProxyProcess::log() const {
    std::string text = logPath_.empty() ? std::string() : readFile(logPath_);
    if (!outputPath_.empty()) {
        const std::string output = readFile(outputPath_);
        if (!output.empty()) text += "--- stdout/stderr ---\n" + output;
    }
    return text;
}

void ProxyProcess::start(const Launch& launch) {
    const std::string executable = findProgram(launch.program);
    if (executable.empty()) {
        reason_ = launch.program + " is not installed (scripts/install-deps.sh installs it)";
        return;
    }
    const std::string templateText = readFile(templateDirectory() + "/" + launch.templateName);
    if (templateText.empty()) {
        reason_ = "cannot read the template " + launch.templateName;
        return;
    }
    std::string pattern =
        (std::filesystem::temp_directory_path() / ("torvex-" + launch.program + "-XXXXXX"))
            .string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        reason_ = "cannot create a temporary directory: " + std::string(std::strerror(errno));
        return;
    }
    directory_                   = pattern;
    logPath_                     = directory_ + "/" + launch.program + ".log";
    outputPath_                  = directory_ + "/output.txt";
    const std::string configPath = directory_ + "/" + launch.program + ".conf";

    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        port_ = freePort();
        if (port_ == 0) break;
        std::map<std::string, std::string> vars = launch.vars;
        vars["PORT"]                            = std::to_string(port_);
        vars["LOG"]                             = logPath_;
        if (!writeFile(configPath, substitute(templateText, vars))) break;
        std::filesystem::remove(logPath_);
        std::vector<std::string> arguments{executable};
        for (const std::string& argument : launch.arguments)
            arguments.push_back(argument == "@CONFIG@" ? configPath : argument);
        if (!spawn(arguments)) break;
        if (waitUntilReady(launch.readyMarker)) {
            reason_.clear();
            return;
        }
        const bool exited = childExited();
        stop();
        // Only an early exit hints at a port taken in the meantime; a hang will not improve.
        if (!exited) break;
    }
    port_   = 0;
    reason_ = launch.program + " did not start; its log:\n" + log();
}

bool ProxyProcess::spawn(const std::vector<std::string>& arguments) {
    Argv argv(arguments);
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "TMPDIR=", 7) != 0) environment.emplace_back(*e);
    environment.push_back("TMPDIR=" + directory_); // Dante keeps lock files there
    Argv envp(std::move(environment));
    const int in  = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = ::open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (in < 0 || out < 0) {
        if (in >= 0) ::close(in);
        if (out >= 0) ::close(out);
        reason_ = "cannot open the output files";
        return false;
    }
    // Dante's helpers outlive its main process by a moment; as a subreaper this process
    // inherits them and can reap them in stop() instead of leaving zombies to init.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const pid_t parent = ::getpid();
    const pid_t pid    = ::fork();
    if (pid == 0) execChild(parent, in, out, argv.get(), envp.get());
    ::close(in);
    ::close(out);
    if (pid < 0) {
        reason_ = "fork failed";
        return false;
    }
    ::setpgid(pid, pid); // also here, so that stop() finds the group even right after fork
    pid_ = pid;
    return true;
}

bool ProxyProcess::childExited() {
    siginfo_t info{};
    // WNOWAIT leaves the zombie, whose id keeps the process group id from being reused.
    return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid_;
}

bool ProxyProcess::waitUntilReady(const std::string& marker) {
    const auto deadline = Clock::now() + kReadyTimeout;
    while (Clock::now() < deadline) {
        if (childExited()) return false;
        if (readFile(logPath_).find(marker) != std::string::npos && canConnect(port_))
            return !childExited();
        std::this_thread::sleep_for(kPoll);
    }
    return false;
}

void ProxyProcess::stop() {
    if (pid_ <= 0) return;
    auto waitExit = [this](auto timeout) {
        const auto deadline = Clock::now() + timeout;
        while (!childExited()) {
            if (Clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    };
    if (::kill(-pid_, SIGTERM) != 0) ::kill(pid_, SIGTERM);
    if (!waitExit(kTermTimeout)) {
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
        waitExit(kKillTimeout);
    }
    // Helpers the proxy forked (Dante has several) go with the group while the leader's zombie
    // still reserves the group id; then the whole group is reaped, leader last.
    ::kill(-pid_, SIGKILL);
    const auto deadline = Clock::now() + kKillTimeout;
    while (Clock::now() < deadline) {
        const pid_t reaped = ::waitpid(-pid_, nullptr, WNOHANG);
        if (reaped < 0 && errno != EINTR) break; // none left
        if (reaped == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
}

TinyProxy::TinyProxy(const Options& options) {
    std::string extra;
    if (!options.viaHeader) extra += "DisableViaHeader Yes\n";
    for (int port : options.connectPorts) extra += "ConnectPort " + std::to_string(port) + "\n";
    if (!options.user.empty()) extra += "BasicAuth " + options.user + " " + options.password + "\n";
    start({"tinyproxy",
           "tinyproxy.conf.in",
           {{"TIMEOUT", std::to_string(options.idleTimeoutSeconds)},
            {"VIA_NAME", std::string(kViaName)},
            {"EXTRA", extra}},
           {"-d", "-c", "@CONFIG@"},
           "Starting main loop"});
}

std::string TinyProxy::url() const {
    return "http://127.0.0.1:" + std::to_string(port());
}

Dante::Dante(const Options& options) {
    if (options.auth == Auth::UserPassword) {
        std::string why;
        if (!ensureSocksAccount(why)) {
            setUnavailable(why);
            return;
        }
    }
    start({"danted",
           "danted.conf.in",
           {{"METHOD", options.auth == Auth::UserPassword ? "username" : "none"}},
           {"-f", "@CONFIG@"},
           "running"});
}

} // namespace torvex::test
