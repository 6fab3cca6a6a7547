#include "http/Resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace torvex {

bool resolveHost(const char* host, std::uint32_t& address) {
    address = inet_addr(host);
    if (address == INADDR_NONE || address == 0) {
        address = 0;
        addrinfo hints{};
        hints.ai_family   = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found   = nullptr;
        if (getaddrinfo(host, nullptr, &hints, &found) == 0 && found) {
            address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
            freeaddrinfo(found);
        }
    }
    return address != INADDR_NONE && address != 0;
}

} // namespace torvex
