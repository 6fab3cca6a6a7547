#include "http/ProxyNegotiation.h"

#include "api/CaseInsensitive.h"
#include "http/Base64.h"
#include "http/Connection.h"
#include "http/ProxySelection.h"
#include "http/Resolver.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdarg>

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace torvex {
namespace {

// A proxy that never ends its header block is refused rather than buffered without end.
constexpr std::size_t kLongestConnectReply   = 65536;
constexpr std::size_t kLongestConnectRequest = 255;

bool sendAll(CConnection& connection, std::string_view bytes) {
    while (!bytes.empty()) {
        long sent = connection.rawSend(bytes.data(), bytes.size());
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// Reads exactly `size` bytes: a reply split over several TCP segments is still read whole, and
// nothing of it is left to be mistaken for the server's first bytes.
bool receiveExactly(CConnection& connection, unsigned char* buffer, std::size_t size) {
    for (std::size_t got = 0; got < size;) {
        long n = connection.rawReceive(reinterpret_cast<char*>(buffer) + got, size - got);
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// Adds why a SOCKS handshake failed to the messages, and fails.
int explain(std::string& messages, const char* format, ...) __attribute__((format(printf, 2, 3)));
int explain(std::string& messages, const char* format, ...) {
    char text[320];
    va_list arguments;
    va_start(arguments, format);
    int n = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (n > 0) messages.append(text, std::min(static_cast<std::size_t>(n), sizeof text - 1));
    return -1;
}

constexpr const char* kNoSend    = "The proxy closed the connection.\r\n";
constexpr const char* kNoReply   = "No complete reply from the proxy.\r\n";
constexpr const char* kNotSocks5 = "The proxy's reply is not SOCKS 5.\r\n";

// Where the CONNECT reply's header block ends (after its blank line), or npos. A block whose
// blank line is followed directly by "Content-Range:" runs on to the next blank line.
std::size_t connectHeaderEnd(std::string_view reply) {
    std::size_t end = reply.find("\r\n\r\n");
    if (end == std::string_view::npos) return end;
    end += 4;
    if (startsWithIgnoringCase(reply.substr(end), "Content-Range:")) {
        std::size_t next = reply.find("\r\n\r\n", end);
        return next == std::string_view::npos ? next : next + 4;
    }
    return end;
}

// The status of "HTTP/... ddd ...\r\n", or -1 when the line has no such form.
int connectStatus(std::string_view block) {
    if (!block.starts_with("HTTP/")) return -1;
    std::size_t lineEnd = block.find("\r\n");
    std::size_t space   = block.find(' ');
    if (space == std::string_view::npos || space + 3 >= lineEnd) return -1;
    int status = 0;
    for (std::size_t i = space + 1; i <= space + 3; ++i) {
        if (block[i] < '0' || block[i] > '9') return -1;
        status = status * 10 + (block[i] - '0');
    }
    return status;
}

int connectTunnel(CConnection& connection, const std::string& host, int port,
                  const std::string& credentials, std::string& messages) {
    char line[300];
    int n = std::snprintf(line, sizeof line, "CONNECT %.*s:%d HTTP/1.0\r\n",
                          static_cast<int>(kLongestConnectRequest), host.c_str(), port);
    std::string request(line, static_cast<std::size_t>(n));
    if (!credentials.empty()) {
        request += "Proxy-Authorization: Basic ";
        appendBase64(request, credentials);
        request += "\r\n";
    }
    request += "\r\n";
    if (request.size() > kLongestConnectRequest) return -1;
    messages += request;
    if (!sendAll(connection, request)) return -1;

    std::string reply;
    std::size_t end;
    char piece[256];
    while ((end = connectHeaderEnd(reply)) == std::string::npos) {
        if (reply.size() > kLongestConnectReply) return -1;
        long got = connection.rawReceive(piece, sizeof piece);
        if (got <= 0) return -1;
        reply.append(piece, static_cast<std::size_t>(got));
    }
    std::string_view block(reply.data(), end);
    messages += "Server response:\r\n";
    messages += block;
    if (end < reply.size()) {
        messages.append(reply, end);
        messages += "\r\n";
    }
    int status = connectStatus(block);
    if (status == 200) return 0;
    if (status >= 0) messages += "Server rejected CONNECT request.\r\n";
    return -1;
}

void appendPortAndAddress(std::string& packet, int port, std::uint32_t address, bool portFirst) {
    std::uint16_t networkPort = htons(static_cast<std::uint16_t>(port));
    std::string_view portBytes(reinterpret_cast<const char*>(&networkPort), 2);
    std::string_view addressBytes(reinterpret_cast<const char*>(&address), 4);
    if (portFirst) {
        packet += portBytes;
        packet += addressBytes;
    } else {
        packet += addressBytes;
        packet += portBytes;
    }
}

int socks4(CConnection& connection, const std::string& host, int port,
           const std::string& credentials, std::string& messages) {
    messages += "Connected to SOCK4 proxy.\r\n";
    std::uint32_t address;
    if (!resolveHost(host.c_str(), address))
        return explain(messages, "Failed to resolve hostname: %.255s.\r\n", host.c_str());
    std::string request{'\x04', '\x01'};
    appendPortAndAddress(request, port, address, true);
    request += credentials.empty() ? "noname" : credentials;
    request += '\0';
    if (!sendAll(connection, request)) return explain(messages, kNoSend);
    unsigned char reply[8];
    if (!receiveExactly(connection, reply, sizeof reply)) return explain(messages, kNoReply);
    if (reply[0] == 0 && reply[1] == 90) return 0;
    return explain(messages, "SOCKS 4 proxy refused the connection (reply %d).\r\n", reply[1]);
}

// RFC 1929: version 1, then the user name and the password, each after its length byte.
int socks5Login(CConnection& connection, std::string_view credentials, std::string& messages) {
    std::size_t colon = credentials.find(':');
    std::string_view user =
        colon == std::string_view::npos ? credentials : credentials.substr(0, colon);
    std::string_view password =
        colon == std::string_view::npos ? std::string_view{} : credentials.substr(colon + 1);
    if (user.empty() || password.empty() || user.size() > 255 || password.size() > 255)
        return explain(messages, "SOCKS 5 proxy asks for a user name and password.\r\n");
    std::string login{'\x01'};
    login += static_cast<char>(user.size());
    login += user;
    login += static_cast<char>(password.size());
    login += password;
    if (!sendAll(connection, login)) return explain(messages, kNoSend);
    unsigned char reply[2];
    if (!receiveExactly(connection, reply, sizeof reply)) return explain(messages, kNoReply);
    if (reply[1] == 0) return 0;
    return explain(messages, "SOCKS 5 proxy refused the user name and password.\r\n");
}

// The rest of a connect reply after its first four bytes: the bound address, by its type, and
// the port.
bool skipBoundAddress(CConnection& connection, unsigned char addressType) {
    unsigned char rest[257 + 2];
    std::size_t length;
    switch (addressType) {
    case 1:
        length = 4 + 2;
        break;
    case 4:
        length = 16 + 2;
        break;
    case 3:
        if (!receiveExactly(connection, rest, 1)) return false;
        length = rest[0] + 2u;
        break;
    default:
        return false;
    }
    return receiveExactly(connection, rest, length);
}

int socks5(CConnection& connection, const std::string& host, int port,
           const std::string& credentials, std::string& messages) {
    messages += "Connected to SOCK5 proxy.\r\n";
    std::uint32_t address;
    if (!resolveHost(host.c_str(), address))
        return explain(messages, "Failed to resolve hostname: %.255s.\r\n", host.c_str());
    const bool login = credentials.find(':') != std::string::npos;
    const std::string greeting{'\x05', '\x01', login ? '\x02' : '\x00'};
    if (!sendAll(connection, greeting)) return explain(messages, kNoSend);
    unsigned char choice[2];
    if (!receiveExactly(connection, choice, sizeof choice)) return explain(messages, kNoReply);
    if (choice[0] != 5) return explain(messages, kNotSocks5);
    if (choice[1] == 2) {
        if (socks5Login(connection, credentials, messages) != 0) return -1;
    } else if (choice[1] != 0) {
        return explain(messages,
                       "SOCKS 5 proxy accepts none of the offered authentication methods.\r\n");
    }

    std::string request{'\x05', '\x01', '\x00', '\x01'};
    appendPortAndAddress(request, port, address, false);
    if (!sendAll(connection, request)) return explain(messages, kNoSend);
    unsigned char reply[4];
    if (!receiveExactly(connection, reply, sizeof reply)) return explain(messages, kNoReply);
    if (reply[0] != 5) return explain(messages, kNotSocks5);
    if (reply[1] != 0)
        return explain(messages, "SOCKS 5 proxy refused the connection (reply %d).\r\n", reply[1]);
    return skipBoundAddress(connection, reply[3]) ? 0 : explain(messages, kNotSocks5);
}

} // namespace

int negotiateProxy(CConnection& connection, const std::string& host, int port,
                   const std::string& credentials, int kind, std::string& messages) {
    switch (kind) {
    case kDirect:
    case kHttpProxy:
        return 0;
    case kConnectProxy:
        return connectTunnel(connection, host, port, credentials, messages);
    case kSocks4Proxy:
        return socks4(connection, host, port, credentials, messages);
    case kSocks5Proxy:
        return socks5(connection, host, port, credentials, messages);
    default:
        return -1;
    }
}

} // namespace torvex
