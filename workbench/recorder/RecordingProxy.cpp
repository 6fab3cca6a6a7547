#include "recorder/RecordingProxy.h"

#include "recorder/AuthorityFiles.h"
#include "recorder/CertificateAuthority.h"
#include "recorder/ProxyConnection.h"
#include "recorder/ProxyShared.h"
#include "recorder/StopSignal.h"
#include "recorder/TlsContexts.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <list>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace torvex {
namespace {

// One browser connection's thread; `done` tells the accepting thread it may be joined.
struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
};

// A listening socket on 127.0.0.1 only: the proxy is for this machine's browsers.
int listenOnLoopback(int port, int& boundPort, std::string& error) {
    // Non-blocking, so that a browser that leaves between poll() and accept() cannot hold up
    // the accepting thread.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot open a socket: ") + std::strerror(errno);
        return -1;
    }
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family      = AF_INET;
    address.sin_port        = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size          = sizeof address;
    if (port < 0 || port > 65535 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, SOMAXCONN) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                (port < 0 || port > 65535 ? "no such port" : std::strerror(errno));
        ::close(fd);
        return -1;
    }
    boundPort = ntohs(address.sin_port);
    return fd;
}

} // namespace

struct RecordingProxy::State {
    Options options;
    int port = 0;
    std::unique_ptr<CertificateAuthority> authority;

    // What runs between start() and stop().
    std::unique_ptr<StopSignal> stop;
    std::unique_ptr<TlsContexts> tls;
    std::unique_ptr<ProxyShared> shared;
    int listenFd = -1;
    std::thread acceptThread;
    std::list<Worker> workers; // touched by the accepting thread only, until it is joined

    std::string folder() const {
        return options.authorityFolder.empty() ? defaultAuthorityFolder() : options.authorityFolder;
    }
    void acceptLoop();
    void joinFinishedWorkers();
};

void RecordingProxy::State::acceptLoop() {
    for (;;) {
        pollfd entries[2] = {{listenFd, POLLIN, 0}, {stop->fd(), POLLIN, 0}};
        const int ready   = ::poll(entries, 2, -1); // the stop signal ends the wait
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || entries[1].revents != 0) return;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors: wait a moment (or for the stop) rather than spin.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                ::poll(&entries[1], 1, 100);
            continue;
        }
        joinFinishedWorkers();
        Worker& worker = workers.emplace_back();
        worker.thread  = std::thread([this, fd, &worker] {
            ProxyConnection(*shared, fd).run();
            worker.done = true;
        });
    }
}

void RecordingProxy::State::joinFinishedWorkers() {
    for (auto it = workers.begin(); it != workers.end();) {
        if (!it->done) {
            ++it;
            continue;
        }
        it->thread.join();
        it = workers.erase(it);
    }
}

RecordingProxy::RecordingProxy(Options options) : state_(std::make_unique<State>()) {
    state_->options = std::move(options);
}

RecordingProxy::~RecordingProxy() {
    stop();
}

bool RecordingProxy::start(std::string& error) {
    State& state = *state_;
    if (state.stop) {
        error = "the recording proxy runs already";
        return false;
    }
    state.authority = CertificateAuthority::open(state.folder(), error);
    if (!state.authority) return false;
    auto tls = TlsContexts::create(*state.authority, state.options, error);
    if (!tls) return false;
    auto stopSignal = std::make_unique<StopSignal>();
    if (!stopSignal->valid()) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    const int listenFd = listenOnLoopback(state.options.port, state.port, error);
    if (listenFd < 0) return false;

    state.stop         = std::move(stopSignal);
    state.tls          = std::move(tls);
    state.shared       = std::make_unique<ProxyShared>(state.options, *state.tls, *state.stop);
    state.listenFd     = listenFd;
    state.acceptThread = std::thread([&state] { state.acceptLoop(); });
    return true;
}

void RecordingProxy::stop() {
    State& state = *state_;
    if (!state.stop) return;
    state.stop->trigger();
    state.acceptThread.join();
    for (Worker& worker : state.workers) worker.thread.join();
    state.workers.clear();
    ::close(state.listenFd);
    state.listenFd = -1;
    state.shared.reset();
    state.tls.reset();
    state.stop.reset();
}

int RecordingProxy::port() const {
    return state_->port;
}

std::string RecordingProxy::authorityCertificatePath() const {
    return state_->folder() + "/" + CertificateAuthority::kCertFile;
}

std::string RecordingProxy::authorityCertificatePem() const {
    if (state_->authority) return state_->authority->certificatePem();
    std::string text, error;
    if (readSmallFile(authorityCertificatePath(), text, error) != FileRead::Read) return {};
    return text;
}

std::string RecordingProxy::hostKeyPin() const {
    return state_->authority ? state_->authority->hostKeyPin() : std::string();
}

} // namespace torvex
