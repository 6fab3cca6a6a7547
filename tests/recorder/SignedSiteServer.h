#pragma once

#include <openssl/ssl.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace torvex::test {

// An HTTPS site on 127.0.0.1 that presents the certificate it is given (say, one signed by a
// test authority), answers each request with `body` and closes. Every wait gives up after five
// seconds.
class SignedSiteServer {
public:
    SignedSiteServer(X509* certificate, EVP_PKEY* key, std::string body);
    ~SignedSiteServer();
    SignedSiteServer(const SignedSiteServer&)            = delete;
    SignedSiteServer& operator=(const SignedSiteServer&) = delete;

    // Presents `certificate` (for the same key) from the next connection on.
    void present(X509* certificate);

    int port() const { return port_; }
    std::string authority() const { return "127.0.0.1:" + std::to_string(port_); }
    // Connections accepted so far, and requests answered.
    int connections() const { return connections_; }
    int requests() const { return requests_; }

private:
    void acceptLoop();
    void serve(int fd);

    SSL_CTX* context_ = nullptr;
    std::string body_;
    int listenFd_ = -1;
    int port_     = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> requests_{0};
    std::mutex lock_;
    std::set<int> open_; // shut down when the server goes, so no thread waits on
    std::vector<std::thread> threads_;
    std::thread acceptThread_;
};

} // namespace torvex::test
