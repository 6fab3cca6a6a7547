// Plays a server that answers any request with the input's bytes and closes: the engine reads the
// response (status line, headers, 100 Continue blocks, Content-Length, chunked or until close)
// through a real loopback connection, then walks its headers for Location and cookies as a
// request does. The first input byte picks the timing mode, keep-alive and a small body limit.

#include "api/TestSet.h"
#include "http/Connection.h"
#include "http/Exchange.h"
#include "http/HttpSession.h"
#include "http/ResponseHeaders.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

namespace {

// The listening socket the engine connects to, opened once for the whole run.
struct Listener {
    int fd   = -1;
    int port = 0;

    Listener() {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family      = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length        = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 16) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::perror("fuzz listener");
            __builtin_trap();
        }
        port = ntohs(address.sin_port);
    }
};

// Writes the whole response, then ends the stream; stops early once the engine has closed.
void serve(int peer, std::string response) {
    std::size_t sent = 0;
    while (sent < response.size()) {
        ssize_t n = ::send(peer, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    ::shutdown(peer, SHUT_WR);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Listener listener;
    static torvex::CTestSet testSet;
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    testSet.timingmode      = mode % 3;
    testSet.timeout         = 5; // a wait never needed: the peer always closes
    testSet.round           = (mode & 0x10) ? 10.0 : 0.0;

    torvex::HttpSession session(testSet);
    if (mode & 0x08) session.keptBodyLimit = 16;
    session.request.append("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");

    torvex::CConnection connection(session.waits);
    connection.setTarget(htonl(INADDR_LOOPBACK), listener.port);
    if (connection.connect() != 0) __builtin_trap();
    const int peer = ::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0) __builtin_trap();
    std::thread server(serve, peer, std::string(reinterpret_cast<const char*>(data) + 1, size - 1));

    const int outcome = torvex::exchange(session, connection, (mode & 0x04) != 0);
    connection.close(); // unblocks a server still writing what the engine did not read
    server.join();
    ::close(peer);

    if (outcome >= 0) {
        // As a request does with an accepted response.
        int minor = 0, status = 0;
        if (std::sscanf(session.response.text(), "HTTP/1.%d %d", &minor, &status) != 2) status = 0;
        std::string location;
        const std::size_t body =
            torvex::processHeaders(session.response.view(), status, session.cookies, location);
        if (body > session.response.length()) __builtin_trap();
        torvex::TextBuffer cookieLine(64);
        session.cookies.appendHeader(cookieLine);
    }
    return 0;
}
