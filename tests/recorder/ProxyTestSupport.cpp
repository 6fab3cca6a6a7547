#include "recorder/ProxyTestSupport.h"

#include <cstdlib>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace torvex::test {

void ProxyTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "torvex-proxy-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = std::filesystem::path(pattern) / "authority";
}

void ProxyTest::TearDown() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_.parent_path(), ignored);
}

RecordingProxy::Options ProxyTest::trustingSites() {
    RecordingProxy::Options options;
    options.verifySites = false;
    return options;
}

std::unique_ptr<RecordingProxy> ProxyTest::startProxy(RecordingProxy::Options options) {
    options.authorityFolder = folder_.string();
    options.onNavigation    = [this](const ProxiedNavigation& navigation) {
        std::lock_guard guard(lock_);
        navigations_.push_back(navigation);
    };
    options.onProblem = [this](const std::string& problem) {
        std::lock_guard guard(lock_);
        problems_.push_back(problem);
    };
    auto proxy = std::make_unique<RecordingProxy>(std::move(options));
    std::string error;
    EXPECT_TRUE(proxy->start(error)) << error;
    EXPECT_GT(proxy->port(), 0);
    return proxy;
}

std::vector<ProxiedNavigation> ProxyTest::navigations() const {
    std::lock_guard guard(lock_);
    return navigations_;
}

std::vector<std::string> ProxyTest::problems() const {
    std::lock_guard guard(lock_);
    return problems_;
}

std::string requestText(const std::string& method, const std::string& target,
                        const std::string& host, const std::string& extra,
                        const std::string& body) {
    std::string text = method + " " + target + " HTTP/1.1\r\nHost: " + host + "\r\n" + extra;
    if (!body.empty()) text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return text + "\r\n" + body;
}

std::string hostOf(const FixtureServer& server) {
    return "127.0.0.1:" + std::to_string(server.port());
}

int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family      = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size          = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace torvex::test
