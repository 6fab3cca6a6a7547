#pragma once

#include "http/TransportTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace torvex::test {

// A loopback port nobody listens on: bound by the kernel's choice, then released.
inline int closedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 1;
    sockaddr_in address{};
    address.sin_family      = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length        = sizeof address;
    int port                = 1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// The [general] section of a script aimed at the fixture server, then `more` as it stands.
inline std::string generalFor(int port, std::string_view more = {}) {
    return "[general]\nserver=127.0.0.1\nport=" + std::to_string(port) + "\n" + std::string(more);
}

inline std::string hostLine(int port) {
    return "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
}

// The value of a header line exactly as sent (nothing trimmed), or "<none>".
inline std::string sentHeader(const std::string& requestText, std::string_view name) {
    std::string key = "\r\n" + std::string(name) + ": ";
    std::size_t at  = requestText.find(key);
    std::size_t end = requestText.find("\r\n\r\n");
    if (at == std::string::npos || (end != std::string::npos && at >= end)) return "<none>";
    at += key.size();
    return requestText.substr(at, requestText.find("\r\n", at) - at);
}

inline int countOf(const std::string& text, std::string_view piece) {
    int n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at             = text.find(piece, at + piece.size()))
        ++n;
    return n;
}

inline int totalStatusCount(const CTestSet& testSet) {
    int sum = 0;
    for (const auto& count : testSet.statuscounts) sum += count.load();
    return sum;
}

} // namespace torvex::test
