#pragma once

#include "http/support/FixtureServer.h"
#include "recorder/RecordingProxy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace torvex::test {

// A recording proxy on loopback with a fresh authority folder, and what it reported.
class ProxyTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Started proxy; the test fails when it does not start. Unless told otherwise it trusts
    // every site, as most tests use self-signed fixture servers.
    std::unique_ptr<RecordingProxy> startProxy(RecordingProxy::Options options = trustingSites());
    static RecordingProxy::Options trustingSites();

    std::vector<ProxiedNavigation> navigations() const;
    std::vector<std::string> problems() const;

    std::filesystem::path folder_;

private:
    mutable std::mutex lock_;
    std::vector<ProxiedNavigation> navigations_;
    std::vector<std::string> problems_;
};

// "GET <target> HTTP/1.1" with Host and the given extra lines (each ending in CR LF).
std::string requestText(const std::string& method, const std::string& target,
                        const std::string& host, const std::string& extra = {},
                        const std::string& body = {});

// "127.0.0.1:<port>" of the fixture server.
std::string hostOf(const FixtureServer& server);

// A loopback port with nothing listening on it.
int closedPort();

} // namespace torvex::test
