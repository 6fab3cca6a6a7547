#include "wizards/SettingsSummary.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace torvex;

namespace {

GlobalSettingsValues customProxy(int type, const std::string& server, int port) {
    GlobalSettingsValues v;
    v.useProxy = v.customProxy = 1;
    v.proxyType                = type;
    v.proxyServer              = server;
    v.proxyPort                = port;
    return v;
}

} // namespace

TEST(SettingsSummary, TextFollowsTheChoices) {
    const std::string tail = "+ Protocols versions:\r\n      HTTP version: HTTP 1.1\r\n"
                             "      SSL version: SSL 3.0\r\n\r\n+ Timeout: 120 sec\r\n\r\n";
    auto custom            = [](const std::string& type) {
        return "+ Use proxy:\r\n      Type: " + type +
               "\r\n      Server: h\r\n      Port: 3128\r\n";
    };
    const GlobalSettingsValues http = customProxy(0, "h", 3128);
    GlobalSettingsValues socks = http, utf8 = http, system = http, none = http;
    socks.proxyType = 3, socks.proxyAuth = 1, socks.proxyUser = "tester";
    socks.proxyPassword = "se:cr";
    utf8.proxyType = 1, utf8.proxyAuth = 1, utf8.proxyUser = "u";
    utf8.proxyPassword = "p\xC3\xA4\xE2\x82\xAC"; // three characters in six bytes
    system.customProxy = 0, system.proxyAuth = 1;
    none.useProxy = 0, none.httpVersion = 0, none.sslVersion = 0, none.timeout = 0;

    EXPECT_EQ(settingsSummary(http), "+ Use proxy:\r\n"
                                     "      Type: HTTP\r\n"
                                     "      Server: h\r\n"
                                     "      Port: 3128\r\n"
                                     "      No authentication\r\n\r\n"
                                     "+ Protocols versions:\r\n"
                                     "      HTTP version: HTTP 1.1\r\n"
                                     "      SSL version: SSL 3.0\r\n\r\n"
                                     "+ Timeout: 120 sec\r\n\r\n");
    EXPECT_EQ(settingsSummary(socks),
              custom("SOCKS5") + "      User: tester\r\n      Password: *****\r\n\r\n" + tail);
    EXPECT_EQ(settingsSummary(utf8),
              custom("HTTPS") + "      User: u\r\n      Password: ***\r\n\r\n" + tail);
    EXPECT_EQ(settingsSummary(system),
              "+ Use proxy:\r\n      System proxy settings\r\n\r\n" + tail);
    EXPECT_EQ(settingsSummary(none), "+ Do not use proxy\r\n\r\n+ Protocols versions:\r\n"
                                     "      HTTP version: HTTP 1.0\r\n"
                                     "      SSL version: SSL 2.0\r\n\r\n+ Timeout: 0 sec\r\n\r\n");
}

// Each row repairs the previous row's fault, so the rows follow the order of the checks.
TEST(SettingsSummary, ProxyPageFaultsComeInTheirOrder) {
    const std::pair<std::function<void(GlobalSettingsValues&)>, const char*> rows[] = {
        {[](auto&) {}, "Please select a proxy type."},
        {[](auto& v) { v.proxyType = 2; }, "Please type an address of proxy server."},
        {[](auto& v) { v.proxyServer = "h"; }, "Please select a proxy port."},
        {[](auto& v) { v.proxyPort = 65536; }, "Please select a proxy port."},
        {[](auto& v) { v.proxyPort = 65535; }, "Please type a user name."},
        {[](auto& v) { v.proxyUser = "u"; }, "Please type a password."},
        {[](auto& v) { v.proxyPassword = "p"; }, ""},
    };
    GlobalSettingsValues v = customProxy(-1, "", 0);
    v.proxyAuth            = 1;
    for (const auto& [change, message] : rows) {
        change(v);
        EXPECT_STREQ(proxyPageFaultMessage(firstProxyPageFault(v)), message);
    }
    EXPECT_EQ(firstProxyPageFault(customProxy(4, "h", 1)), ProxyPageFault::Type);

    // Only a custom proxy is checked, and credentials only with authentication.
    GlobalSettingsValues faulty = customProxy(-1, "", 0);
    faulty.proxyAuth            = 1;
    faulty.customProxy          = 0;
    EXPECT_EQ(firstProxyPageFault(faulty), ProxyPageFault::None) << "system proxy";
    faulty.customProxy = 1;
    faulty.useProxy    = 0;
    EXPECT_EQ(firstProxyPageFault(faulty), ProxyPageFault::None) << "no proxy";
    EXPECT_EQ(firstProxyPageFault(customProxy(0, "h", 1)), ProxyPageFault::None);
}
