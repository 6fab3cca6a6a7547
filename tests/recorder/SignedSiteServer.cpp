#include "recorder/SignedSiteServer.h"

#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace torvex::test {

SignedSiteServer::SignedSiteServer(X509* certificate, EVP_PKEY* key, std::string body)
    : body_(std::move(body)) {
    context_ = SSL_CTX_new(TLS_server_method());
    if (context_ == nullptr || SSL_CTX_use_certificate(context_, certificate) != 1 ||
        SSL_CTX_use_PrivateKey(context_, key) != 1)
        throw std::runtime_error("the site's certificate does not load");
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family      = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size          = sizeof address;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("the site cannot listen");
    port_         = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

SignedSiteServer::~SignedSiteServer() {
    stopping_ = true;
    acceptThread_.join();
    {
        std::lock_guard guard(lock_);
        for (const int fd : open_) ::shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& thread : threads_) thread.join();
    ::close(listenFd_);
    SSL_CTX_free(context_);
}

void SignedSiteServer::present(X509* certificate) {
    std::lock_guard guard(lock_); // sessions are made under it
    SSL_CTX_use_certificate(context_, certificate);
}

void SignedSiteServer::acceptLoop() {
    while (!stopping_) {
        pollfd entry{listenFd_, POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        std::lock_guard guard(lock_);
        open_.insert(fd);
        threads_.emplace_back([this, fd] { serve(fd); });
    }
}

void SignedSiteServer::serve(int fd) {
    const timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    SSL* session = nullptr;
    {
        std::lock_guard guard(lock_);
        session = SSL_new(context_);
    }
    SSL_set_fd(session, fd);
    if (SSL_accept(session) == 1) {
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            const int got = SSL_read(session, buffer, sizeof buffer);
            if (got <= 0) break;
            head.append(buffer, static_cast<std::size_t>(got));
        }
        if (head.find("\r\n\r\n") != std::string::npos) {
            ++requests_;
            const std::string answer =
                "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body_.size()) +
                "\r\nConnection: close\r\n\r\n" + body_;
            SSL_write(session, answer.data(), static_cast<int>(answer.size()));
            SSL_shutdown(session);
        }
    }
    SSL_free(session);
    std::lock_guard guard(lock_);
    open_.erase(fd);
    ::close(fd);
}

} // namespace torvex::test
