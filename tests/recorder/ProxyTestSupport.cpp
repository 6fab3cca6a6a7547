#include "recorder/ProxyTestSupport.h"

#include <cstdlib>

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

} // namespace torvex::test
